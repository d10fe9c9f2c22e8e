// The asset-loading player item on the scripted engine and a manual clock:
// the engine's loading requests for the private "video" URL are served from
// ranged downloads of a local server that grow as far as the test opens
// them, throttled by the buffer ahead of the player's position.

#include "ads/video/DZAssetLoadingVideoPlayerItem.h"

#include <gtest/gtest.h>

#include "VideoLoadingTesting.h"
#include "VideoTesting.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"

namespace {

using namespace videoloading;
using Range = media::AssetResourceLoadingRequest::DataRange;

constexpr std::int64_t kLength = 200000;

class DZAssetLoadingVideoPlayerItemService : public testing::Test {
protected:
    DZAssetLoadingVideoPlayerItemService() { ads::DZVideoAssetLoader::resetForTesting(); }

    // The server's file at path through an asset-loading item; the engine
    // plays media for it.
    std::shared_ptr<ads::DZAssetLoadingVideoPlayerItem>
    start(const core::Dictionary& configuration,
          media::ScriptedMedia media = videotesting::clip(10),
          const std::string& path = "/clip.mp4") {
        assetURL = "video://127.0.0.1" + path;
        video.engine->script(assetURL, std::move(media));
        player->setSourceURL(server.server.url(path), nullptr,
                             ads::DZVideoConfiguration::create(configuration));
        const auto& loader = player->videoLoader();
        item_ = loader ? loader->assetLoadingPlayerItem() : nullptr;
        settle();
        return item_;
    }
    // Runs the main queue and the item's queue until the work between them
    // has run.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            video.settle();
            if (item_) (void)item_->loadingState();
        }
    }
    std::shared_ptr<media::AssetResourceLoadingRequest> request(bool information,
                                                                std::optional<Range> range) {
        auto sent = video.engine->sendLoadingRequest(assetURL, information, range);
        settle();
        return sent;
    }
    [[nodiscard]] std::vector<std::string> ranges(const std::string& path = "/clip.mp4") const {
        std::vector<std::string> ranges;
        for (const auto& request : server.server.requestsTo(path))
            ranges.push_back(request.headers.value("Range").value_or(""));
        return ranges;
    }

    videotesting::ScriptedVideoScope video;
    MeteredServer server{"/clip.mp4", countingBytes(kLength)};
    std::shared_ptr<ads::DZVideoPlayer> player = ads::DZVideoPlayer::create(nullptr);
    std::string assetURL;
    std::shared_ptr<ads::DZAssetLoadingVideoPlayerItem> item_;
};

const media::MediaError kTooManyBadAttempts{"com.dozuza.ads", 11, "Too many bad attempts."};

TEST_F(DZAssetLoadingVideoPlayerItemService, RequestsAreServedFromRangedDownloadsOneAtATime) {
    const auto item = start({{"maxBufferMs", 30000}});
    ASSERT_TRUE(item);
    EXPECT_EQ(item->playerItem()->asset()->url().absoluteString(), assetURL);
    const auto information = request(true, std::nullopt);
    EXPECT_EQ(endOf(information), Outcome::finished);
    EXPECT_EQ(information->contentInformationRequest()->contentLength(), kLength);
    EXPECT_EQ(information->contentInformationRequest()->contentType(), "public.mpeg-4");

    const auto first = request(false, Range{0, kLength, true});
    server.gate->openTo(5000);
    ASSERT_TRUE(waitFor([&] { return first->respondedLength() == 5000; }));
    EXPECT_EQ(first->outcome(), Outcome::pending);
    // No refresh interval: no check timer; the download's updates served it.
    EXPECT_FALSE(item->hasCheckSourceTimer());

    video.clock.advance(1);  // the download runs at 5,000 bytes a second
    const auto second = request(false, Range{100000, kLength - 100000, true});
    EXPECT_EQ(endOf(first), Outcome::failed);
    EXPECT_EQ(first->error(),
              (media::MediaError{"com.dozuza.ads", 11,
                                 "Video asset loader's loading cancelled by new request."}));
    ASSERT_TRUE(waitFor([&] { return second->respondedLength() == 5000; }));
    EXPECT_EQ(second->takeData(), countingBytes(kLength).substr(100000, 5000));
    EXPECT_EQ(ranges(), (std::vector<std::string>{"bytes=0-", "bytes=100000-"}));
    const auto state = item->loadingState();
    EXPECT_EQ(state.resourceCache->fileURL().lastPathComponent(), "video_asset_1.cache");
    EXPECT_EQ(state.resourceCacheStartingByteOffset, 100000);

    // A range the download holds is finished in the same pass.
    const auto held = request(false, Range{101000, 1000, false});
    EXPECT_EQ(held->outcome(), Outcome::finished);
    EXPECT_EQ(held->takeData(), countingBytes(kLength).substr(101000, 1000));
    server.gate->release();
}

TEST_F(DZAssetLoadingVideoPlayerItemService, WithoutACheckTimerAFinishedDownloadLeadsToTheNext) {
    // Downloads stop at 50,000 bytes; nothing but their own updates runs
    // the passes.
    const auto item = start({{"maxBufferMs", 30000},
                             {"videoAssetLoaderMaxContentSizeInBytes", 50000},
                             {"videoAssetLoaderMaxDownloadWaitTimeMs", 10000}});
    ASSERT_TRUE(item);
    server.gate->release();
    // What the resource is: the first download starts, and has ended by the
    // time the data is asked for, so it gives no more updates.
    EXPECT_EQ(endOf(request(true, std::nullopt)), Outcome::finished);
    const auto first = item->assetLoader()->ownResourceCache().cache;
    ASSERT_TRUE(first);
    ASSERT_TRUE(waitFor([&] { return first->completed(); }));
    const auto sent = request(false, Range{0, kLength, true});
    EXPECT_EQ(endOf(sent), Outcome::finished);
    EXPECT_FALSE(item->hasCheckSourceTimer());
    EXPECT_EQ(sent->takeData(), countingBytes(kLength));
    // Each download starts where the bytes handed out ended, never before
    // the one before (a download stops at the first chunk that reaches its
    // limit, or earlier when released between requests).
    const auto asked = ranges();
    ASSERT_GE(asked.size(), 2u);
    std::int64_t previous = -1;
    for (const auto& range : asked) {
        ASSERT_EQ(range.rfind("bytes=", 0), 0u);
        const std::int64_t from = std::stoll(range.substr(6));
        EXPECT_GE(from, previous) << range;
        previous = from;
    }
}

TEST_F(DZAssetLoadingVideoPlayerItemService,
       WithoutACheckTimerAFailedDownloadIsTriedAgainAfterAPause) {
    server.server.on("GET", "/missing.mp4", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::empty(404);
    });
    const auto item = start({{"maxBufferMs", 30000}}, videotesting::clip(10), "/missing.mp4");
    ASSERT_TRUE(item);
    const auto sent = request(false, Range{0, kLength, true});
    const auto asked = [&] { return server.server.requestsTo("/missing.mp4").size(); };
    ASSERT_TRUE(waitFor([&] { return asked() == 1; }));
    // Not asked again while the clock stands, however fast the server fails.
    EXPECT_FALSE(waitFor([&] { return asked() > 1; }, 0.3));
    video.clock.advance(ads::DZAssetLoadingVideoPlayerItem::kFailedDownloadRetryDelay);
    EXPECT_TRUE(waitFor([&] { return asked() == 2; }));
    EXPECT_FALSE(waitFor([&] { return asked() > 2; }, 0.3));
    // Without a data attempt limit the request waits on.
    EXPECT_EQ(sent->outcome(), Outcome::pending);
    EXPECT_EQ(item->loadingState().numberOfFailedResourceCache, 1);
}

TEST_F(DZAssetLoadingVideoPlayerItemService, LoadingFollowsTheBufferCanPlayThroughAndSeeks) {
    for (const bool ignore : {false, true}) {
        SCOPED_TRACE(ignore ? "ignoring canplaythrough" : "after canplaythrough");
        auto media = videotesting::clip(10);
        media.readyAtOnce = false;
        const auto item = start({{"maxBufferMs", 2000},
                                 {"minBufferMs", 500},
                                 {"videoBufferShouldIgnoreCanPlayThrough", ignore}},
                                media);
        ASSERT_TRUE(item);
        video.engine->setLoadedRanges(assetURL, {media::TimeRange::fromSeconds(0, 5)});
        settle();
        EXPECT_EQ(item->isLoadingEnabled(), !ignore);

        video.engine->makeReady(assetURL);
        settle();
        ASSERT_TRUE(player->hasPostedCanPlayThrough());
        video.engine->setLoadedRanges(assetURL, {media::TimeRange::fromSeconds(0, 6)});
        settle();
        EXPECT_FALSE(item->isLoadingEnabled());

        // Playing runs the buffer down below the minimum.
        player->playNativePlayer();
        video.clock.advance(5.75);
        settle();
        EXPECT_TRUE(item->isLoadingEnabled());
        player->pauseNativePlayer();
        player->seekToTime(1);
        settle();
        EXPECT_FALSE(item->isLoadingEnabled());
        // A seek out of the loaded range.
        player->seekToTime(8);
        settle();
        EXPECT_TRUE(item->isLoadingEnabled());
    }
}

TEST_F(DZAssetLoadingVideoPlayerItemService, BrokenDownloadsCountTowardsTheAttemptLimits) {
    server.server.on("GET", "/missing.mp4", [](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::empty(404);
    });
    struct Case {
        core::Dictionary configuration;
        bool information;
        std::int64_t failures;
    };
    for (const auto& [configuration, information, failures] :
         {Case{{}, true, 1},
          Case{{{"assetLoadingPlayerItemMaxContentLoadingFailedAttempts", 3}}, true, 3},
          Case{{{"assetLoadingPlayerItemMaxDataLoadingFailedAttempts", 2}}, false, 2}}) {
        core::Dictionary settings = configuration;
        settings.set("maxBufferMs", 30000);
        const auto item = start(settings, videotesting::clip(10), "/missing.mp4");
        ASSERT_TRUE(item);
        const auto sent =
            information ? request(true, std::nullopt) : request(false, Range{0, kLength, true});
        // Each broken download is followed by the next after a pause. A loaded
        // machine may take a while over each loopback answer.
        for (int pause = 0; pause < 10 && endOf(sent, 1.5) == Outcome::pending; ++pause)
            video.clock.advance(ads::DZAssetLoadingVideoPlayerItem::kFailedDownloadRetryDelay);
        EXPECT_EQ(sent->outcome(), Outcome::failed);
        EXPECT_EQ(sent->error(), kTooManyBadAttempts);
        EXPECT_EQ(item->loadingState().numberOfFailedResourceCache, failures);
    }
}

TEST_F(DZAssetLoadingVideoPlayerItemService, TheDownloadsByteLimitFollowsTheBitRate) {
    auto media = videotesting::clip(60);
    media.tracks[0].estimatedDataRate = 4'000'000;
    media.loadedRanges = {{media::TimeRange::fromSeconds(0, 1)}};
    const auto item = start({{"maxBufferMs", 30000},
                             {"minBufferMs", 2000},
                             {"videoAssetLoaderMaxDownloadWaitTimeMs", 10000},
                             {"videoAssetLoaderMaxContentSizeInBytes", 100000}},
                            media);
    ASSERT_TRUE(item);
    const auto sent = request(false, Range{0, kLength, true});
    server.gate->openTo(1000);
    ASSERT_TRUE(waitFor([&] { return sent->respondedLength() == 1000; }));
    const auto cache = item->loadingState().resourceCache;
    EXPECT_EQ(cache->maxBytes(), 100000);

    player->playNativePlayer();
    video.clock.advance(0.25);
    ASSERT_TRUE(waitFor([&] { return cache->maxBytes() != 100000; }));
    EXPECT_EQ(cache->maxBytes(), 15'000'000);  // 30 s at 4,000,000 bits a second
    EXPECT_EQ(item->loadingState().playerItemCachingStartTimeInterval, 0.25);
    video.clock.advance(0.25);
    ASSERT_TRUE(waitFor([&] { return cache->maxBytes() != 15'000'000; }));
    EXPECT_EQ(cache->maxBytes(), 15'125'000);  // and the quarter second played
    server.gate->release();
}

TEST_F(DZAssetLoadingVideoPlayerItemService, BytesWithoutTheBufferMovingReleaseTheDownload) {
    const auto item = start(
        {{"maxBufferMs", 30000}, {"assetLoadingPlayerItemNoBufferUpdateMaxContentSize", 1000}});
    ASSERT_TRUE(item);
    const auto sent = request(false, Range{0, kLength, true});
    const auto first = item->loadingState().resourceCache;
    ASSERT_TRUE(first);
    server.gate->openTo(3000);
    ASSERT_TRUE(waitFor([&] { return sent->respondedLength() > 1000; }));

    // A pass finds more than 1000 bytes handed out without the position
    // moving: the download stops where it is, the request stays open.
    video.engine->setLoadedRanges(assetURL, {media::TimeRange::fromSeconds(0, 1)});
    ASSERT_TRUE(waitFor([&] { return first->completed(); }));
    EXPECT_TRUE(first->valid());
    EXPECT_EQ(sent->outcome(), Outcome::pending);

    // A later pass downloads again from where the request stands.
    video.engine->setLoadedRanges(assetURL, {media::TimeRange::fromSeconds(0, 2)});
    ASSERT_TRUE(waitFor([&] { return ranges().size() == 2; }));
    const std::int64_t resumed = item->assetLoader()->ownResourceCache().startingByteOffset;
    EXPECT_GT(resumed, 1000);
    EXPECT_LE(resumed, 3000);
    EXPECT_EQ(ranges()[1], "bytes=" + std::to_string(resumed) + "-");
    server.gate->release();
}

TEST_F(DZAssetLoadingVideoPlayerItemService, ACheckTimerRunsOnlyWithAPositiveRefreshInterval) {
    for (const int refreshMs : {0, -5, 100}) {
        SCOPED_TRACE(refreshMs);
        const auto item =
            start({{"maxBufferMs", 30000}, {"assetLoadingPlayerItemRefreshTimeMs", refreshMs}});
        ASSERT_TRUE(item);
        const auto sent = request(false, Range{0, kLength, true});
        ASSERT_EQ(item->loadingState().loadingRequest, sent);
        settle();
        EXPECT_EQ(item->hasCheckSourceTimer(), refreshMs > 0);

        // Without an open request the next tick stops it.
        video.engine->cancelLoadingRequest(sent);
        video.clock.advance(0.1);
        settle();
        EXPECT_FALSE(item->hasCheckSourceTimer());
    }
    server.gate->release();
}

}  // namespace
