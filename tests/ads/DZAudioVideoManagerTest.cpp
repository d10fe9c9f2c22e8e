// The audio policy of ad video over a session of its own: which players
// count, what the shared audio session goes through, and the app-managed
// session.

#include "ads/video/DZAudioVideoManager.h"

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "DeviceSignalsTesting.h"
#include "core/Queue.h"

namespace {

using ads::DZAudioVideoManager;
using ui::AudioSession;

// The app plays its own music, mixed, while another app's audio plays too.
constexpr std::string_view kProfile = R"({
    "screen": {"width": 375, "height": 667},
    "audio": {"category": "Playback", "mode": "SpokenAudio", "categoryOptions": 1,
              "otherAudioPlaying": true}
})";

class RecordingManagerDelegate : public ads::DZAudioVideoManagerDelegate {
public:
    std::vector<std::string> calls;
    void audioVideoManagerWillPlayVideo(DZAudioVideoManager&) override { calls.push_back("video"); }
    void audioVideoManagerDidPauseAllVideo(DZAudioVideoManager&) override {
        calls.push_back("paused all");
    }
    void audioVideoManagerWillPlayAudio(DZAudioVideoManager&) override { calls.push_back("audio"); }
    void audioVideoManagerDidStopPlayingAudio(DZAudioVideoManager&) override {
        calls.push_back("audio stopped");
    }
};

class DZAudioVideoManagerTest : public testing::Test {
protected:
    DZAudioVideoManagerTest() { manager->setDelegate(delegate); }

    static std::shared_ptr<media::Player> player(bool muted = false, float volume = 1) {
        auto player = media::Player::create();
        player->setMuted(muted);
        player->setVolume(volume);
        return player;
    }
    void expectAppState() const {
        EXPECT_EQ(session.category(), AudioSession::CategoryPlayback);
        EXPECT_EQ(session.mode(), AudioSession::ModeSpokenAudio);
    }

    testsupport::DeviceProfileOverride profile{kProfile};
    adwebtesting::ConstantsScope constants;
    AudioSession& session = AudioSession::shared();
    std::unique_ptr<ads::DZAudioSession> audio = ads::DZAudioSession::create(session);
    std::shared_ptr<DZAudioVideoManager> manager = DZAudioVideoManager::create(*audio);
    std::shared_ptr<RecordingManagerDelegate> delegate = std::make_shared<RecordingManagerDelegate>();
};

TEST_F(DZAudioVideoManagerTest, MutedVideoMixesWithOtherAudioAndTheLastPauseRestoresTheApp) {
    const auto first = player(true);
    const auto second = player(false, 0);
    manager->playerWillStartPlayingVideo(first);
    EXPECT_EQ(session.category(), AudioSession::CategoryAmbient);
    EXPECT_TRUE(session.isActive());
    manager->playerWillStartPlayingVideo(first);
    manager->playerWillStartPlayingVideo(second);
    EXPECT_EQ(manager->playingVideoCount(), 2u);
    EXPECT_EQ(manager->soundVideoCount(), 0u);

    manager->playerDidPauseVideo(first);
    EXPECT_EQ(session.category(), AudioSession::CategoryAmbient);
    manager->playerDidPauseVideo(second);
    manager->playerDidPauseVideo(second);
    expectAppState();
    EXPECT_FALSE(audio->isStateSaved());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"video", "paused all"}));
}

TEST_F(DZAudioVideoManagerTest, SoundSilencesOtherAudioAndItsEndLetsThatAudioResume) {
    const auto loud = player();
    loud->play();
    manager->playerWillStartPlayingVideo(loud);
    EXPECT_TRUE(manager->isPlayingSound(loud));
    EXPECT_EQ(session.category(), AudioSession::CategorySoloAmbient);
    EXPECT_TRUE(audio->wasOtherAppAudioInterrupted());

    // The only video goes quiet: back to mixing, the other app may resume,
    // and the video plays on.
    manager->playerDidStopPlayingSound(loud);
    EXPECT_EQ(session.category(), AudioSession::CategoryAmbient);
    EXPECT_FALSE(session.isActive());
    EXPECT_EQ(session.lastDeactivationOptions(), AudioSession::OptionNotifyOthersOnDeactivation);
    EXPECT_FALSE(audio->wasOtherAppAudioInterrupted());
    EXPECT_EQ(loud->rate(), 1);
    EXPECT_TRUE(manager->isPlayingVideo(loud));

    manager->playerWillStartPlayingSound(loud);
    manager->playerDidPauseVideo(loud);
    expectAppState();
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"audio", "video", "audio stopped", "audio",
                                                         "audio stopped", "paused all"}));
}

TEST_F(DZAudioVideoManagerTest, APausedVideoStaysPausedWhenItsSoundStops) {
    const auto quiet = player();
    manager->playerWillStartPlayingVideo(quiet);
    manager->playerDidStopPlayingSound(quiet);
    EXPECT_EQ(quiet->rate(), 0);
}

TEST_F(DZAudioVideoManagerTest, AnAppManagedSessionIsLeftAloneUnlessSoundTakesIt) {
    manager->setAudioSessionIsApplicationManaged(true);
    EXPECT_FALSE(audio->isEnabled());
    const auto muted = player(true);
    manager->playerWillStartPlayingVideo(muted);
    expectAppState();

    // Sound takes the session all the same, and gives it back after.
    const auto loud = player();
    manager->playerWillStartPlayingSound(loud);
    EXPECT_TRUE(audio->isEnabled());
    EXPECT_EQ(session.category(), AudioSession::CategorySoloAmbient);
    manager->playerDidStopPlayingSound(loud);
    expectAppState();
    EXPECT_FALSE(audio->isEnabled());

    // With the server's category control, sound leaves it alone too.
    constants.set(DZAudioVideoManager::kUnmutedAudioCategoryControlKey, true);
    manager->playerWillStartPlayingSound(loud);
    EXPECT_FALSE(audio->isEnabled());
    expectAppState();

    manager->setAudioSessionIsApplicationManaged(false);
    EXPECT_TRUE(audio->isEnabled());
}

}  // namespace
