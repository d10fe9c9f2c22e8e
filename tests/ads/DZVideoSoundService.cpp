// The sound of an ad's video as the audio policy decides it, heard through
// the audio output's capture sink: a creative of the local ad server plays
// the tone clip muted, then unmuted; the audio-video manager's session
// category meets the device's silent switch; an app that keeps its session
// in the playback category is heard regardless. The picture plays on
// throughout.

#include <gtest/gtest.h>

#include "DeviceSignalsTesting.h"
#include "VideoTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/video/DZAudioVideoManager.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/LoopbackResponse.h"
#include "media/AudioTesting.h"
#include "media/FFmpegEngine.h"
#include "media/VideoOutput.h"
#include "ui/AudioSession.h"

namespace {

using adwebtesting::waitFor;
using fixtures::FixtureVideos;
using ui::AudioSession;
using namespace audiotest;

// Plays the body's clip muted once it can play through, as autoplaying ads
// do; unmute() is the person's tap on the speaker.
constexpr const char* kCreativeScript = R"(
window.log = [];
function send(query) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'dmsg://duzo/video?' + query;
  document.body.appendChild(frame);
}
window.DUZO_ReceiveMessage = function (name, argument) {
  if (name !== 'onVideoEvent') return;
  window.log.push(argument.event);
  if (argument.event === 'canplaythrough') {
    send('action=muted&muted=1');
    send('action=play');
  }
};
window.unmute = function () { send('action=muted&muted=0'); return 0; };
send('action=new&x=0&y=0&w=160&h=96');
send('action=src&src=' + encodeURIComponent(document.body.dataset.video));
)";

class DZVideoSoundService : public testing::Test {
protected:
    DZVideoSoundService() {
        ads::DZMobileAds::resetForTesting();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
        server.serve("/creatives/sound.js",
                     fixtures::LoopbackResponse::text(kCreativeScript, 200, "text/javascript"));
    }
    ~DZVideoSoundService() override { ads::DZMobileAds::resetForTesting(); }

    std::shared_ptr<ads::DZAd> creative() const {
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML("<html><body style='margin:0' data-video='" +
                      server.videoURL(FixtureVideos::kTone440).absoluteString() +
                      "'><script src='/creatives/sound.js'></script></body></html>");
        ad->setAdBaseURL(server.url("/creatives/sound.html"));
        return ad;
    }

    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create()};
    fixtures::AdServer server;
    adwebtesting::ConstantsScope constants;
    Listener listener{clock};
};

TEST_F(DZVideoSoundService, WhatThePolicySilencesIsNotHeardWhileThePicturePlaysOn) {
    auto adView = ads::DZAdView::create({0, 0, 320, 250});
    ASSERT_TRUE(adView);
    const auto delegate = std::make_shared<ads::DZAdViewDelegate>();
    adView->setDelegate(delegate);
    adView->setAd(creative());
    ASSERT_TRUE(waitFor([&] {
        const auto& player = adView->videoPlayer();
        return player && player->isPlaying() && player->muted();
    }));
    auto avPlayer = adView->videoPlayer()->player();
    const auto picture = media::VideoOutput::create();
    avPlayer->currentItem()->addOutput(picture);
    auto& manager = *ads::DZMobileAds::sharedInstance().audioVideoManager();
    auto& session = AudioSession::shared();
    // Muted video: counted as video alone, mixed with other audio.
    EXPECT_TRUE(manager.isPlayingVideo(avPlayer));
    EXPECT_FALSE(manager.isPlayingSound(avPlayer));
    EXPECT_EQ(session.category(), AudioSession::CategoryAmbient);
    ASSERT_TRUE(listener.waitForDevice());
    // Playing, with what the next step plays loaded (a busy machine can
    // hold the engine back behind the manual clock).
    const auto plays = [&] {
        return avPlayer->timeControlStatus() == media::Player::TimeControlStatus::playing &&
               audiotest::loadedThroughStep(*avPlayer->currentItem(), avPlayer->rate());
    };
    const auto pictureAt = [&](double seconds) {
        const media::Time time = media::Time::seconds(seconds);
        return waitFor([&] { return picture->copyPixelBufferForItemTime(time) != nullptr; });
    };

    const Channel muted = listener.listen(0.5, plays);
    EXPECT_EQ(peak(muted, 0, 0.5), 0);
    EXPECT_NEAR(avPlayer->currentTime().toSeconds(), 0.5, 0.02);
    EXPECT_TRUE(pictureAt(0.5));

    // The person unmutes: the manager counts the sound and takes the session
    // for it alone (solo ambient), and it is heard.
    (void)adwebtesting::evaluate(*adView->webView(), "unmute()");
    ASSERT_TRUE(waitFor([&] { return manager.isPlayingSound(avPlayer); }));
    EXPECT_EQ(session.category(), AudioSession::CategorySoloAmbient);
    const Channel heard = listener.listen(0.45, plays);
    EXPECT_NEAR(amplitude(heard, 0, 0.45), FixtureVideos::kToneAmplitude, 0.015);

    {
        // The silent switch silences the category the manager chose.
        testsupport::DeviceProfileOverride silent(
            R"({"screen": {"width": 375, "height": 667}, "audio": {"silentMode": true}})");
        ASSERT_TRUE(session.setCategory(AudioSession::CategorySoloAmbient));
        const Channel switched = listener.listen(0.5, plays);
        EXPECT_EQ(peak(switched, 0.01, 0.5), 0);
        EXPECT_TRUE(manager.isPlayingSound(avPlayer));
        EXPECT_TRUE(pictureAt(1.45));

        // An app that manages its session in the playback category, and keeps
        // it for unmuted ads, is heard whatever the switch says.
        constants.set(ads::DZAudioVideoManager::kUnmutedAudioCategoryControlKey, true);
        manager.setAudioSessionIsApplicationManaged(true);
        ASSERT_TRUE(session.setCategory(AudioSession::CategoryPlayback));
        const Channel app = listener.listen(0.4, plays);
        EXPECT_NEAR(amplitude(app, 0.01, 0.4), FixtureVideos::kToneAmplitude, 0.015);
        manager.setAudioSessionIsApplicationManaged(false);
    }

    // The ad goes: its player with it, and the device with the last sound.
    avPlayer = nullptr;
    adView = nullptr;
    EXPECT_TRUE(waitFor([&] { return !listener.capture.isOpen(); }));
}

}  // namespace
