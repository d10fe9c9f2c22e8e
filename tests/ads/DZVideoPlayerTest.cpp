// The in-ad video player on the scripted engine and a manual clock: what the
// page hears of a source, stalls waited out, buffering notifications, sound
// reports, the event log, the video's size, load failures and the switch
// that keeps a player away from the audio-video manager.

#include "ads/video/DZVideoPlayer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SawmillTesting.h"
#include "VideoLoadingTesting.h"
#include "VideoTesting.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/video/DZAudioVideoManager.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoReportingSlot.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "core/NotificationCenter.h"

namespace {

using ads::DZVideoPlayer;
using videotesting::kClipURL;

using Events = std::vector<std::string>;

// Counts the buffering notifications of one player.
class BufferingLog {
public:
    explicit BufferingLog(const DZVideoPlayer* player) {
        auto& center = core::NotificationCenter::defaultCenter();
        for (const char* name : {DZVideoPlayer::WillStartBufferingNotification,
                                 DZVideoPlayer::DidStopBufferingNotification}) {
            tokens_.push_back(center.addObserver(
                name, player, nullptr, [this](const core::Notification& notification) {
                    entries.push_back(notification.name ==
                                              DZVideoPlayer::WillStartBufferingNotification
                                          ? "will"
                                          : "did");
                }));
        }
    }
    ~BufferingLog() {
        for (const auto token : tokens_) core::NotificationCenter::defaultCenter().removeObserver(token);
    }
    Events entries;

private:
    std::vector<core::NotificationCenter::Token> tokens_;
};

class FixedSlot : public ads::DZVideoReportingSlot {
public:
    explicit FixedSlot(std::optional<bool> answer) : answer_(answer) {}
    std::optional<bool> shouldDisableVideoEventReportToAudioVideoManager(
        ads::DZAudioVideoManager* manager) override {
        asked = manager;
        return answer_;
    }
    ads::DZAudioVideoManager* asked = nullptr;

private:
    std::optional<bool> answer_;
};

class DZVideoPlayerTest : public testing::Test {
protected:
    DZVideoPlayerTest() { video.engine->script(kClipURL, videotesting::clip(2)); }

    std::shared_ptr<DZVideoPlayer> makePlayer() { return DZVideoPlayer::create(page.adView); }
    void setSource(const std::shared_ptr<DZVideoPlayer>& player, const std::string& url = kClipURL,
                   std::shared_ptr<ads::DZVideoConfiguration> configuration = nullptr) {
        player->setSourceURL(core::URL::create(url), nullptr, std::move(configuration));
        video.settle();
    }
    [[nodiscard]] static std::shared_ptr<ads::DZAudioVideoManager> manager() {
        return ads::DZMobileAds::sharedInstance().audioVideoManager();
    }
    [[nodiscard]] static double density() {
        const double density = ads::DZDevice::sharedInstance()->mainScreenDensity();
        EXPECT_GT(density, 0);
        return density;
    }

    videotesting::ScriptedVideoScope video;
    videotesting::RecordingAdView page;
    adwebtesting::ConstantsScope constants;
    // The core page has no copy of any gcache resource.
    videoloading::SharedCoreScope gcache;
};

TEST_F(DZVideoPlayerTest, ASourceTellsThePageItsEventsInOrder) {
    const auto player = makePlayer();
    setSource(player);
    const auto ready = page.arguments("onVideoEvent");
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0]["event"], core::Value("canplaythrough"));
    EXPECT_EQ(ready[0]["duration"], core::Value("2.000000"));
    EXPECT_DOUBLE_EQ(ready[0]["videoWidth"].doubleValue(), 640 / density());
    EXPECT_DOUBLE_EQ(ready[0]["videoHeight"].doubleValue(), 360 / density());
    EXPECT_DOUBLE_EQ(ready[0]["screenDensity"].doubleValue(), density());
    page.clear();

    player->playNativePlayer();
    video.clock.advance(1);
    player->pauseNativePlayer();
    video.clock.advance(1);  // no time updates at rate 0
    player->playNativePlayer();
    video.clock.advance(5);
    EXPECT_EQ(page.videoEvents(),
              (Events{"play", "timeupdate", "timeupdate", "timeupdate", "timeupdate", "pause",
                      "play", "timeupdate", "timeupdate", "timeupdate", "timeupdate", "pause",
                      "ended"}));
    std::vector<std::string> times;
    for (const auto& argument : page.arguments("onVideoEvent"))
        if (argument["event"].stringValue() == "timeupdate")
            times.push_back(argument["time"].stringValue());
    EXPECT_EQ(times.front(), "0.250000");
    EXPECT_EQ(times.back(), "2.000000");
}

TEST_F(DZVideoPlayerTest, PlayAndPauseBeforeReadinessSendNothingAndReadinessCountsOnce) {
    auto media = videotesting::clip(2);
    media.readyAtOnce = false;
    video.engine->script(kClipURL, media);
    const auto player = makePlayer();
    setSource(player);
    player->play();
    player->playNativePlayer();
    player->pauseNativePlayer();
    player->pause();
    EXPECT_TRUE(page.videoEvents().empty());

    video.engine->makeReady(kClipURL);
    video.engine->setBufferFull(kClipURL, true);
    video.engine->setLikelyToKeepUp(kClipURL, false);
    video.engine->setLikelyToKeepUp(kClipURL, true);
    player->play();
    EXPECT_EQ(page.videoEvents(), (Events{"canplaythrough", "play"}));
    EXPECT_TRUE(player->hasPostedCanPlayThrough());
}

TEST_F(DZVideoPlayerTest, AStallIsWaitedOutUntilTheThresholdIsLoadedAhead) {
    auto media = videotesting::clip(6);
    media.loadedRanges = std::vector<media::TimeRange>{media::TimeRange::fromSeconds(0, 1)};
    video.engine->script(kClipURL, media);
    const auto configuration = ads::DZVideoConfiguration::create(
        {{"bufferForPlaybackMs", "2500"}, {"bufferForPlaybackAfterRebufferMs", 1000}});
    ASSERT_FALSE(configuration->enableAVPlayerPlaybackBuffering());
    const auto player = makePlayer();
    setSource(player, kClipURL, configuration);
    EXPECT_FALSE(player->player()->automaticallyWaitsToMinimizeStalling());
    player->playNativePlayer();
    video.clock.advance(2);
    EXPECT_TRUE(player->playbackStalled());
    EXPECT_EQ(player->player()->rate(), 0);
    EXPECT_NEAR(player->player()->currentTime().toSeconds(), 1, 1e-6);

    const auto load = [&](double end) {
        video.engine->setLoadedRanges(kClipURL, {media::TimeRange::fromSeconds(0, end)});
    };
    load(3.4);  // 2.4 s ahead
    EXPECT_EQ(player->player()->rate(), 0);
    load(3.5);
    EXPECT_EQ(player->player()->rate(), 1);
    EXPECT_FALSE(player->playbackStalled());
    EXPECT_TRUE(player->hasPlaybackStalledAtLeastOnce());

    video.clock.advance(3);  // to 3.5 and stalled again
    EXPECT_TRUE(player->playbackStalled());
    load(4.4);
    EXPECT_EQ(player->player()->rate(), 0);
    load(4.5);
    EXPECT_EQ(player->player()->rate(), 1);

    // A paused player is not resumed by loading.
    video.clock.advance(2);
    player->pauseNativePlayer();
    load(6);
    EXPECT_EQ(player->player()->rate(), 0);
}

TEST_F(DZVideoPlayerTest, ANewSourceWithoutAConfigurationEndsTheWaitOfAStall) {
    auto media = videotesting::clip(6);
    media.loadedRanges = std::vector<media::TimeRange>{media::TimeRange::fromSeconds(0, 1)};
    video.engine->script(kClipURL, media);
    const auto configuration = [] {
        return ads::DZVideoConfiguration::create({{"bufferForPlaybackMs", "2500"}});
    };
    const auto player = makePlayer();
    setSource(player, kClipURL, configuration());
    player->playNativePlayer();
    video.clock.advance(2);
    ASSERT_TRUE(player->playbackStalled());

    // The page's "new" message: a source of nothing, with no configuration,
    // while the stalled item goes on loading.
    player->setSourceURL(std::nullopt, nullptr, nullptr);
    video.settle();
    EXPECT_FALSE(player->configuration());
    EXPECT_FALSE(player->playbackStalled());
    video.engine->setLoadedRanges(kClipURL, {media::TimeRange::fromSeconds(0, 6)});
    video.settle();

    // The next source with a configuration waits out its own stalls.
    const std::string second = "https://ads.example/second.mp4";
    video.engine->script(second, media);
    setSource(player, second, configuration());
    player->playNativePlayer();
    video.clock.advance(2);
    ASSERT_TRUE(player->playbackStalled());
    video.engine->setLoadedRanges(second, {media::TimeRange::fromSeconds(0, 3.5)});
    EXPECT_EQ(player->player()->rate(), 1);
    EXPECT_FALSE(player->playbackStalled());
}

TEST_F(DZVideoPlayerTest, EachSourceGivesOnePairOfBufferingNotifications) {
    auto player = makePlayer();
    BufferingLog log(player.get());
    player->setSourceURL(std::nullopt, nullptr, nullptr);  // an empty player, as "new" makes
    video.settle();
    setSource(player);
    EXPECT_EQ(log.entries, (Events{"will", "did"}));
    video.engine->setLikelyToKeepUp(kClipURL, false);
    video.engine->setLikelyToKeepUp(kClipURL, true);
    setSource(player);
    EXPECT_EQ(log.entries, (Events{"will", "did", "will", "did"}));

    auto waiting = videotesting::clip(2);
    waiting.readyAtOnce = false;
    video.engine->script("https://ads.example/late.mp4", waiting);
    setSource(player, "https://ads.example/late.mp4");
    EXPECT_TRUE(player->isBuffering());
    player.reset();  // going away ends the buffering
    EXPECT_EQ(log.entries, (Events{"will", "did", "will", "did", "will", "did"}));
}

TEST_F(DZVideoPlayerTest, VolumeAndMuteReportSoundToTheManager) {
    const auto player = makePlayer();
    setSource(player);
    const auto& avPlayer = player->player();
    player->playNativePlayer();
    EXPECT_TRUE(manager()->isPlayingVideo(avPlayer));
    EXPECT_TRUE(manager()->isPlayingSound(avPlayer));

    player->setVolume(-0.5f);
    player->setVolume(std::nanf(""));
    EXPECT_EQ(player->volume(), 1.0f);
    EXPECT_TRUE(manager()->isPlayingSound(avPlayer));

    player->setVolume(0);
    EXPECT_EQ(player->volume(), 0.0f);
    EXPECT_EQ(avPlayer->volume(), 0.0f);
    EXPECT_FALSE(manager()->isPlayingSound(avPlayer));

    player->setVolume(0.5f);
    EXPECT_TRUE(manager()->isPlayingSound(avPlayer));
    player->setMuted(true);
    EXPECT_TRUE(avPlayer->isMuted());
    EXPECT_FALSE(manager()->isPlayingSound(avPlayer));
    player->setMuted(false);
    EXPECT_TRUE(manager()->isPlayingSound(avPlayer));

    // Paused, a louder volume is no sound yet.
    player->pauseNativePlayer();
    EXPECT_FALSE(manager()->isPlayingVideo(avPlayer));
    player->setVolume(0.8f);
    EXPECT_FALSE(manager()->isPlayingSound(avPlayer));
}

TEST_F(DZVideoPlayerTest, TheAudioMixFollowsTheItemsAudioTracks) {
    const auto player = makePlayer();
    setSource(player);
    const auto& item = player->player()->currentItem();
    player->setAudioMixVolume(0.3f);
    ASSERT_TRUE(item->audioMix());
    ASSERT_EQ(item->audioMix()->inputParameters.size(), 1u);
    EXPECT_EQ(item->audioMix()->inputParameters[0].trackID, 2);
    EXPECT_FLOAT_EQ(item->audioMix()->volumeForTrack(2), 0.3f);
    player->setAudioMixVolume(-4);
    EXPECT_FLOAT_EQ(item->audioMix()->volumeForTrack(2), 0);
    player->setAudioMixVolume(7);
    EXPECT_FALSE(item->audioMix());
}

TEST_F(DZVideoPlayerTest, SeeksGoToTheGivenTimeAndIgnoreNonFiniteOnes) {
    const auto player = makePlayer();
    setSource(player);
    player->seekToTime(1.5);
    player->seekToTime(std::nan(""));
    player->seekToTime(INFINITY);
    EXPECT_EQ(video.engine->seeks(kClipURL), (std::vector<double>{1.5}));
    EXPECT_EQ(player->player()->currentTime(), media::Time::seconds(1.5));
}

TEST_F(DZVideoPlayerTest, TheVideoSizeIsTheTurnedExtentInPoints) {
    auto turned = videotesting::clip(2);
    turned.tracks = {videotesting::videoTrack({640, 360}, {0, 1, -1, 0, 360, 0})};
    video.engine->script("https://ads.example/turned.mp4", turned);
    auto soundOnly = videotesting::clip(2);
    soundOnly.tracks = {videotesting::audioTrack()};
    video.engine->script("https://ads.example/sound.mp4", soundOnly);

    const auto player = makePlayer();
    EXPECT_EQ(player->videoSize(), (gfx::Size{-1, -1}));
    setSource(player, "https://ads.example/turned.mp4");
    EXPECT_EQ(player->videoSize(), (gfx::Size{360 / density(), 640 / density()}));
    setSource(player, "https://ads.example/sound.mp4");
    EXPECT_EQ(player->videoSize(), (gfx::Size{-1, -1}));
}

TEST_F(DZVideoPlayerTest, AFailedGCacheSourceFallsBackToItsTargetAndOtherwiseThePageHearsAnError) {
    const auto player = makePlayer();
    setSource(player, "gcache://load?url=https%3A%2F%2Fads.example%2Fclip.mp4");
    EXPECT_EQ(page.videoEvents(), (Events{"canplaythrough"}));
    EXPECT_EQ(player->sourceURL(), core::URL::create(kClipURL));
    EXPECT_FALSE(player->isBuffering());
    page.clear();

    // No target; a target that is itself a gcache URL without one.
    setSource(player, "gcache://load");
    EXPECT_EQ(page.videoEvents(), (Events{"error"}));
    EXPECT_FALSE(player->isBuffering());
    setSource(player, "gcache://load?url=gcache%3A%2F%2Fnested");
    EXPECT_EQ(page.videoEvents(), (Events{"error", "error"}));
}

TEST_F(DZVideoPlayerTest, AnItemThatFailsTellsThePage) {
    const auto player = makePlayer();
    setSource(player, "https://ads.example/unscripted.mp4");
    EXPECT_EQ(page.videoEvents(), (Events{"error"}));
    EXPECT_EQ(player->player()->status(), media::Player::Status::failed);
}

TEST_F(DZVideoPlayerTest, TheEventLogHearsTheSourceReadinessPlayProgressAndFailures) {
    testsupport::SawmillSettingsScope settings;
    const auto executor = std::make_shared<testsupport::RecordingSawmillExecutor>();
    ads::DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor);
    const auto logger = ads::DZSawmillLogger::create();
    ASSERT_TRUE(logger);
    ads::DZLoggingHierarchy::sharedInstance()->setLogger(logger, page.adView);

    const auto player = makePlayer();
    page.adView->createdVideoPlayer(player);
    setSource(player);
    player->playNativePlayer();
    video.clock.advance(0.3);
    player->pauseNativePlayer();
    setSource(player, "gcache://load");

    core::Array logged;
    for (const auto& call : executor->calls())
        for (const auto& params : testsupport::paramsOf(call))
            if (params.dictionary() && params.dictionary()->contains("video_player"))
                logged.push_back(params["video_player"]);
    const core::Value clipURL = core::Dictionary{{"url", kClipURL}, {"is_gcache", 0}};
    ASSERT_EQ(logged.size(), 6u) << core::JSON::write(core::Value(logged)).value_or("");
    EXPECT_EQ(logged[0], core::Value(core::Dictionary{{"loading_started", clipURL}}));
    EXPECT_EQ(logged[1], core::Value(core::Dictionary{{"ready_to_play", clipURL}}));
    EXPECT_EQ(logged[2], core::Value(core::Dictionary{{"play", 1}}));
    EXPECT_EQ(logged[3]["progress"],
              core::Value(core::Dictionary{{"time_ms", 250}, {"duration_ms", 2000}}));
    EXPECT_EQ(logged[4]["loading_started"]["is_gcache"], core::Value(1));
    const core::Value& failed = logged[5]["loading_failed"];
    EXPECT_EQ(failed["url"], core::Value("gcache://load"));
    EXPECT_EQ(failed["error_code"], core::Value(11));
    ads::DZLoggingHierarchy::sharedInstance()->removeObject(page.adView);
}

TEST_F(DZVideoPlayerTest, TheSlotsAnswerOrElseTheServerDecidesWhetherTheManagerHears) {
    const auto routing = std::make_shared<ads::DZAdViewDelegate>();
    page.adView->setDelegate(routing);
    const auto played = [&] {
        const auto player = makePlayer();
        setSource(player);
        player->playNativePlayer();
        const bool heard = manager()->isPlayingVideo(player->player());
        player->pauseNativePlayer();
        return heard;
    };
    EXPECT_TRUE(played());
    constants.set(DZVideoPlayer::kReportingDisabledKey, true);
    EXPECT_FALSE(played());

    const auto keep = std::make_shared<FixedSlot>(false);
    routing->opener()->setVideoReportingSlot(keep);
    EXPECT_TRUE(played());
    EXPECT_EQ(keep->asked, manager().get());

    const auto disable = std::make_shared<FixedSlot>(true);
    routing->opener()->setVideoReportingSlot(disable);
    constants.set(DZVideoPlayer::kReportingDisabledKey, false);
    EXPECT_FALSE(played());

    const auto silent = std::make_shared<FixedSlot>(std::nullopt);
    routing->opener()->setVideoReportingSlot(silent);
    EXPECT_TRUE(played());
}

TEST_F(DZVideoPlayerTest, OtherObjectsPeriodicObserversTickUntilRemoved) {
    const auto player = makePlayer();
    setSource(player);
    std::vector<double> ticks;
    DZVideoPlayer::TimeObserverToken token;
    player->addPeriodicTimeObserver(
        media::Time(1, 2), nullptr, [&](media::Time time) { ticks.push_back(time.toSeconds()); },
        [&](DZVideoPlayer::TimeObserverToken given) { token = given; });
    ASSERT_TRUE(token);
    player->playNativePlayer();
    video.clock.advance(1.2);
    player->removeTimeObserver(token);
    video.clock.advance(0.5);
    EXPECT_EQ(ticks, (std::vector<double>{0.5, 1}));
}

TEST_F(DZVideoPlayerTest, APlayerGoingAwayPausesItsVideoForTheManager) {
    auto player = makePlayer();
    setSource(player);
    player->playNativePlayer();
    const auto avPlayer = player->player();
    ASSERT_TRUE(manager()->isPlayingVideo(avPlayer));
    player.reset();
    EXPECT_FALSE(manager()->isPlayingVideo(avPlayer));
    EXPECT_FALSE(manager()->isPlayingSound(avPlayer));
}

}  // namespace
