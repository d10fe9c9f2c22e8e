#include "ads/foundation/DZAudioSession.h"

#include <gtest/gtest.h>

#include "DeviceSignalsTesting.h"

namespace {

using ui::AudioSession;

// The app's own state before any ad: playback with mixing, spoken audio.
constexpr std::string_view kProfile = R"({
    "screen": {"width": 375, "height": 667},
    "audio": {"category": "Playback", "mode": "SpokenAudio", "categoryOptions": 1,
              "otherAudioPlaying": true}
})";

class DZAudioSessionTest : public testing::Test {
protected:
    testsupport::DeviceProfileOverride profile_{kProfile};
    AudioSession& session_ = AudioSession::shared();
    std::unique_ptr<ads::DZAudioSession> audio_ = ads::DZAudioSession::create(session_);

    void expectAppState() const {
        EXPECT_EQ(session_.category(), AudioSession::CategoryPlayback);
        EXPECT_EQ(session_.mode(), AudioSession::ModeSpokenAudio);
        EXPECT_EQ(session_.categoryOptions(), AudioSession::OptionMixWithOthers);
    }
};

TEST_F(DZAudioSessionTest, AdsTakeTheSessionAndRestoreGivesTheStateFromBeforeTheFirstAd) {
    audio_->setMixable(true);
    EXPECT_EQ(session_.category(), AudioSession::CategoryAmbient);
    EXPECT_EQ(session_.mode(), AudioSession::ModeDefault);
    EXPECT_EQ(session_.categoryOptions(), 0u);
    EXPECT_TRUE(session_.isActive());

    audio_->setMixable(false);  // a second ad saves nothing
    EXPECT_EQ(session_.category(), AudioSession::CategorySoloAmbient);

    audio_->restoreState();
    expectAppState();

    // After a restore the next ad saves again: the app changed its state.
    ASSERT_TRUE(session_.setCategory(AudioSession::CategoryPlayAndRecord));
    audio_->setMixable(true);
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategoryPlayAndRecord);
}

TEST_F(DZAudioSessionTest, RestoreWithoutAnAdOrTwiceChangesNothing) {
    ASSERT_TRUE(session_.setCategory(AudioSession::CategoryRecord));
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategoryRecord);

    audio_->setMixable(true);
    audio_->restoreState();
    ASSERT_TRUE(session_.setCategory(AudioSession::CategoryRecord));
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategoryRecord);
}

TEST_F(DZAudioSessionTest, DisabledSessionIsLeftAloneAndForgetsItsSavedState) {
    audio_->setMixable(false);
    audio_->disable();
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategorySoloAmbient);

    ASSERT_TRUE(session_.setCategory(AudioSession::CategoryPlayback));
    audio_->setMixable(true);
    EXPECT_EQ(session_.category(), AudioSession::CategoryPlayback);
    audio_->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_FALSE(session_.lastDeactivationOptions());

    // Enabled again, the forgotten state is not restored; a new ad saves anew.
    audio_->enable();
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategoryPlayback);
    audio_->setMixable(true);
    audio_->restoreState();
    EXPECT_EQ(session_.category(), AudioSession::CategoryPlayback);
}

TEST_F(DZAudioSessionTest, NonMixableAdOverOtherAudioHandsItBackOnce) {
    audio_->setMixable(false);
    audio_->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_FALSE(session_.isActive());
    EXPECT_EQ(session_.lastDeactivationOptions(), AudioSession::OptionNotifyOthersOnDeactivation);
    EXPECT_EQ(session_.category(), AudioSession::CategoryAmbient);

    ASSERT_TRUE(session_.setActive(true));
    audio_->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_TRUE(session_.isActive());
}

TEST_F(DZAudioSessionTest, MixableAdOrRestoreLeavesNothingToHandBack) {
    audio_->setMixable(true);
    audio_->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_TRUE(session_.isActive());

    audio_->setMixable(false);
    audio_->restoreState();
    audio_->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_TRUE(session_.isActive());
    EXPECT_FALSE(session_.lastDeactivationOptions());
}

TEST(DZAudioSessionQuietDeviceTest, NonMixableAdWithoutOtherAudioInterruptsNothing) {
    testsupport::DeviceProfileOverride profile(R"({"screen": {"width": 375, "height": 667}})");
    auto audio = ads::DZAudioSession::create(AudioSession::shared());
    audio->setMixable(false);
    audio->resumeBackgroundAppAudioIfInterrupted();
    EXPECT_TRUE(AudioSession::shared().isActive());
}

}  // namespace
