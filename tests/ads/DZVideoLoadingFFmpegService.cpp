// In-ad video on the FFmpeg engine: each way of loading plays the fixture
// clips of the local ad server to their end, throttled and failing sources
// tell the page, and a player released while the engine waits for bytes is
// gone at once. The clock is manual: tests step it and wait for the
// engine's threads in real time.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "VideoLoadingTesting.h"
#include "VideoTesting.h"
#include "ads/video/DZAssetLoadingVideoPlayerItem.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/TestCertificates.h"
#include "media/FFmpegEngine.h"

namespace {

using fixtures::FixtureVideos;
using namespace videoloading;
using Events = std::vector<std::string>;

media::FFmpegOptions engineOptions() {
    media::FFmpegOptions options;
    options.trustedCertificatesFile = fixtures::TestCertificates::shared().authorityFile();
    return options;
}

class DZVideoLoadingFFmpegService : public testing::Test {
protected:
    DZVideoLoadingFFmpegService() {
        ads::DZMobileAds::resetForTesting();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
        ads::DZVideoAssetLoader::resetForTesting();
    }
    ~DZVideoLoadingFFmpegService() override { ads::DZMobileAds::resetForTesting(); }

    // A player of the page with the source set.
    std::shared_ptr<ads::DZVideoPlayer> start(const core::URL& url,
                                              const core::Dictionary& configuration = {}) {
        page.clear();
        auto player = ads::DZVideoPlayer::create(page.adView);
        player->setSourceURL(url, nullptr, ads::DZVideoConfiguration::create(configuration));
        return player;
    }
    // The same, once it can play through or failed.
    std::shared_ptr<ads::DZVideoPlayer> load(const core::URL& url,
                                             const core::Dictionary& configuration = {}) {
        auto player = start(url, configuration);
        EXPECT_TRUE(
            waitFor([&] { return player->hasPostedCanPlayThrough() || failed(*player); }, 20));
        return player;
    }
    static bool failed(const ads::DZVideoPlayer& player) {
        return player.player()->status() == media::Player::Status::failed;
    }
    bool ended() const {
        const auto events = page.videoEvents();
        return !events.empty() && events.back() == "ended";
    }
    // Plays (or lets play on, without start), stepping the clock whenever
    // time can move; a stall is left to the player to wait out.
    void playToEnd(const std::shared_ptr<ads::DZVideoPlayer>& player, bool start = true) {
        const auto& avPlayer = player->player();
        bool itemEnded = false;
        const auto token = core::NotificationCenter::defaultCenter().addObserver(
            media::PlayerItem::kDidPlayToEndTimeNotification, avPlayer->currentItem().get(),
            nullptr, [&](const core::Notification&) { itemEnded = true; });
        const auto over = [&] { return itemEnded || failed(*player); };
        if (start) player->playNativePlayer();
        for (int steps = 0; steps < 400 && !over(); ++steps) {
            if (!waitFor(
                    [&] {
                        return over() || (avPlayer->rate() > 0 &&
                                          avPlayer->timeControlStatus() ==
                                              media::Player::TimeControlStatus::playing);
                    },
                    20)) {
                break;
            }
            if (!over()) clock.advance(0.1);
        }
        core::NotificationCenter::defaultCenter().removeObserver(token);
    }

    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create(engineOptions())};
    fixtures::AdServer server;
    videotesting::RecordingAdView page;
};

TEST_F(DZVideoLoadingFFmpegService, ClipsPlayToTheirEndOverHttpAndHttps) {
    const double density = ads::DZDevice::sharedInstance()->mainScreenDensity();
    for (const char* name : {FixtureVideos::kMoovFirst, FixtureVideos::kMoovLast}) {
        for (const bool secure : {false, true}) {
            SCOPED_TRACE(std::string(name) + (secure ? " https" : " http"));
            const auto player = load(secure ? server.secureVideoURL(name) : server.videoURL(name));
            ASSERT_TRUE(player->hasPostedCanPlayThrough());
            ASSERT_FALSE(page.arguments("onVideoEvent").empty());
            const auto ready = page.arguments("onVideoEvent").front();
            EXPECT_NEAR(std::stod(ready["duration"].stringValue()), 4, 0.05);
            EXPECT_DOUBLE_EQ(ready["videoWidth"].doubleValue(), 160 / density);
            EXPECT_DOUBLE_EQ(ready["videoHeight"].doubleValue(), 96 / density);
            playToEnd(player);
            const auto events = page.videoEvents();
            ASSERT_GE(events.size(), 2u);
            EXPECT_EQ(events[1], "play");
            EXPECT_EQ(events.back(), "ended");
        }
    }
    // Turned a quarter: the size on screen is the turned one, positive.
    const auto turned = load(server.videoURL(FixtureVideos::kRotated));
    EXPECT_EQ(turned->videoSize(), (gfx::Size{96 / density, 160 / density}));
}

TEST_F(DZVideoLoadingFFmpegService, AGCacheClipStreamsThroughDzStream) {
    SharedCoreScope core;
    const core::URL gcacheURL = *core::URL::create(
        "gcache://video?url=" + server.videoURL(FixtureVideos::kMoovFirst).absoluteString());
    const std::string clip = FixtureVideos::bytes(FixtureVideos::kMoovFirst);
    ASSERT_FALSE(clip.empty());
    core.answer(cachedFile("page-clip.gcache", clip), "video/mp4", std::int64_t(clip.size()));
    const auto player = load(gcacheURL);
    ASSERT_TRUE(player->hasPostedCanPlayThrough());
    EXPECT_EQ(player->playerItem()->asset()->url().scheme(), "dz-stream");
    EXPECT_EQ(player->sourceURL(), gcacheURL);
    playToEnd(player);
    EXPECT_TRUE(ended());
    EXPECT_TRUE(server.requestsTo("/videos/moov-first.mp4").empty());

    // Half a file that promises the whole: it fails or ends, never hangs.
    const std::string half = FixtureVideos::bytes(FixtureVideos::kHalf);
    core.answer(cachedFile("page-half.gcache", half), "video/mp4", std::int64_t(clip.size()));
    const auto truncated = load(gcacheURL);
    if (truncated->hasPostedCanPlayThrough()) playToEnd(truncated);
    EXPECT_TRUE(failed(*truncated) || ended());
}

TEST_F(DZVideoLoadingFFmpegService, AdvanceControlPlaysFromRangedDownloadsInNumberedFiles) {
    std::set<std::string> files;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        std::string(ads::kDZResourceCacheDidUpdateCacheNotification), nullptr, nullptr,
        [&](const core::Notification& notification) {
            // Posted by the cache itself, which is alive while it posts.
            const auto* cache = static_cast<const ads::DZResourceCache*>(notification.object);
            files.insert(cache->fileURL().lastPathComponent());
        });
    const auto player = load(server.videoURL(FixtureVideos::kMoovFirst, "rate=40000"),
                             {{"maxBufferMs", 30000},
                              {"videoAssetLoaderMaxDownloadWaitTimeMs", 10000},
                              {"videoAssetLoaderMaxContentSizeInBytes", 6000}});
    ASSERT_TRUE(player->hasPostedCanPlayThrough());
    playToEnd(player);
    core::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_TRUE(ended());
    const auto ranges = server.rangesRequested("/videos/moov-first.mp4");
    ASSERT_GE(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], "bytes=0-");
    // Later downloads start where the bytes handed out end.
    for (size_t i = 1; i < ranges.size(); ++i) {
        EXPECT_EQ(ranges[i].rfind("bytes=", 0), 0u);
        EXPECT_NE(ranges[i], "bytes=0-");
    }
    EXPECT_TRUE(files.contains("video_asset_0.cache"));
    EXPECT_TRUE(files.contains("video_asset_1.cache"));
}

TEST_F(DZVideoLoadingFFmpegService, AThrottledSourceWithoutWaitingStallsAndResumes) {
    // The clip's 13 kB take over 3 s to arrive.
    const auto player = load(server.videoURL(FixtureVideos::kMoovFirst, "rate=4000"),
                             {{"bufferForPlaybackMs", 500}});
    ASSERT_TRUE(player->hasPostedCanPlayThrough());
    EXPECT_FALSE(player->player()->automaticallyWaitsToMinimizeStalling());
    player->playNativePlayer();
    clock.advance(3);  // past what has arrived
    const auto pausedEvent = [&] {
        const auto events = page.videoEvents();
        return std::find(events.begin(), events.end(), "pause") != events.end();
    };
    ASSERT_TRUE(waitFor(pausedEvent, 10));
    // The player plays on by itself once the bytes caught up.
    playToEnd(player, false);
    EXPECT_TRUE(player->hasPlaybackStalledAtLeastOnce());
    const auto events = page.videoEvents();
    const auto paused = std::find(events.begin(), events.end(), "pause");
    ASSERT_NE(paused, events.end());
    EXPECT_NE(std::find(paused, events.end(), "play"), events.end());
    EXPECT_EQ(events.back(), "ended");
}

TEST_F(DZVideoLoadingFFmpegService, FailingDownloadsEndInTooManyBadAttempts) {
    const auto player =
        start(server.videoURL(FixtureVideos::kMoovFirst, "failAfter=500"),
              {{"maxBufferMs", 30000}, {"assetLoadingPlayerItemMaxDataLoadingFailedAttempts", 1}});
    // A broken download is followed by the next pass after a pause.
    for (int pause = 0; pause < 5 && !waitFor([&] { return failed(*player); }, 2); ++pause)
        clock.advance(ads::DZAssetLoadingVideoPlayerItem::kFailedDownloadRetryDelay);
    ASSERT_TRUE(failed(*player));
    EXPECT_FALSE(player->hasPostedCanPlayThrough());
    ASSERT_TRUE(player->player()->error());
    EXPECT_EQ(player->player()->error()->message, "Too many bad attempts.");
    EXPECT_EQ(page.videoEvents(), (Events{"error"}));
}

TEST_F(DZVideoLoadingFFmpegService, APlayerReleasedDuringABlockedReadIsGoneWithinASecond) {
    MeteredServer held("/held.mp4", FixtureVideos::bytes(FixtureVideos::kMoovFirst));
    SharedCoreScope core;
    const auto file = cachedFile("held.gcache", "");
    core.core->running = ads::DZResourceCache::create(core::URLRequest(held.url()), file, false);
    core.core->running->start();
    core.answer(file);
    for (const bool stream : {true, false}) {
        SCOPED_TRACE(stream ? "dz-stream" : "asset-loading item");
        auto player = ads::DZVideoPlayer::create(page.adView);
        player->setSourceURL(
            stream ? *core::URL::create("gcache://held?url=x") : held.url(), nullptr,
            ads::DZVideoConfiguration::create(stream ? core::Dictionary{}
                                                     : core::Dictionary{{"maxBufferMs", 30000}}));
        ASSERT_TRUE(waitFor([] { return media::FFmpegEngine::runningThreads() == 1; }));
        ASSERT_TRUE(waitFor([&] { return held.gate->heldCount() >= (stream ? 1 : 2); }));
        const auto released = std::chrono::steady_clock::now();
        player.reset();
        EXPECT_TRUE(waitFor([] { return media::FFmpegEngine::runningThreads() == 0; }, 1.0));
        EXPECT_LT(std::chrono::steady_clock::now() - released, std::chrono::seconds(1));
    }
    held.gate->release();
}

}  // namespace
