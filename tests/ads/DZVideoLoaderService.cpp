// Choosing how a video loads, serving "dz-stream" requests from a gcache
// download as it grows, and the ranged downloads of the asset loader, on
// the scripted engine and a manual clock.

#include "ads/video/DZVideoLoader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "AdWebTesting.h"
#include "VideoLoadingTesting.h"
#include "VideoTesting.h"
#include "ads/video/DZAssetLoadingVideoPlayerItem.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoResourceLoading.h"
#include "core/FileManager.h"

namespace {

using namespace videoloading;
using ads::DZVideoLoader;
using Range = media::AssetResourceLoadingRequest::DataRange;

constexpr const char* kGCacheURL = "gcache://r?url=https%3A%2F%2Fads.example%2Fclip.mp4";

class LoaderLog : public ads::DZVideoLoaderDelegate {
public:
    void videoLoaderDidStartLoadingURL(DZVideoLoader&, const std::optional<core::URL>&) override {
        events.push_back("start");
    }
    void videoLoaderDidFailToLoadURL(DZVideoLoader&, const std::optional<core::URL>&,
                                     const ads::Error& error) override {
        events.push_back("fail: " + error.message);
    }
    std::vector<std::string> events;
};

class DZVideoLoaderTest : public testing::Test {
protected:
    std::shared_ptr<DZVideoLoader> load(const std::string& url,
                                        std::shared_ptr<ads::DZResourceCache> cache = nullptr,
                                        const core::Dictionary& configuration = {}) {
        auto loader = DZVideoLoader::create({});
        loader->setDelegate(log);
        loader->loadURL(core::URL::create(url), cache,
                        ads::DZVideoConfiguration::create(configuration));
        video.settle();
        return loader;
    }
    std::shared_ptr<media::AssetResourceLoadingRequest>
    send(const DZVideoLoader& loader, bool information, std::optional<Range> range) {
        auto request = video.engine->sendLoadingRequest(
            loader.playerItem()->asset()->url().absoluteString(), information, range);
        (void)endOf(request, 0.5);
        return request;
    }

    videotesting::ScriptedVideoScope video;
    adwebtesting::ConstantsScope constants;
    std::shared_ptr<LoaderLog> log = std::make_shared<LoaderLog>();
};

TEST_F(DZVideoLoaderTest, LoadsOnceInTheWayItsArgumentsChoose) {
    const auto standard = load(videotesting::kClipURL);
    EXPECT_EQ(standard->playerItem()->asset()->url().absoluteString(), videotesting::kClipURL);
    EXPECT_FALSE(standard->assetLoadingPlayerItem());
    standard->loadURL(core::URL::create("https://ads.example/other.mp4"), nullptr, nullptr);
    video.settle();
    EXPECT_EQ(log->events, (std::vector<std::string>{"start", "fail: Video loader already used."}));
    EXPECT_EQ(standard->playerItem()->asset()->url().absoluteString(), videotesting::kClipURL);

    // Advance buffering control: an asset-loading item over ranged downloads.
    const auto advance = load(videotesting::kClipURL, nullptr, {{"maxBufferMs", 2000}});
    ASSERT_TRUE(advance->assetLoadingPlayerItem());
    EXPECT_EQ(advance->playerItem()->asset()->url().absoluteString(),
              "video://ads.example/clip.mp4");
    EXPECT_EQ(advance->assetLoadingPlayerItem()->assetLoader()->sourceURL(),
              core::URL::create(videotesting::kClipURL));

    // A given download is the item's main cache, whatever the configuration.
    const auto file = cachedFile("given.mp4", countingBytes(100));
    const auto given =
        ads::DZResourceCache::create(core::URLRequest(file), file, "video/mp4", 100, false);
    const auto withCache = load(videotesting::kClipURL, given);
    ASSERT_TRUE(withCache->assetLoadingPlayerItem());
    EXPECT_EQ(withCache->assetLoadingPlayerItem()->assetLoader()->mainResourceCache(), given);
}

TEST_F(DZVideoLoaderTest, AGCacheURLStreamsThePagesFileOrPlaysItsTargetUnderAdvanceControl) {
    SharedCoreScope core;
    const auto file = cachedFile("page-copy.gcache", countingBytes(1000));
    core.answer(file, "video/mp4", 1000);
    const auto stream = load(kGCacheURL);
    const auto& streamURL = stream->playerItem()->asset()->url();
    EXPECT_EQ(streamURL.scheme(), "dz-stream");
    EXPECT_EQ(streamURL.path(), *file.fileSystemPath());

    // What the resource is: finished once filled in, with no data part.
    const auto information = send(*stream, true, std::nullopt);
    EXPECT_EQ(information->outcome(), Outcome::finished);
    EXPECT_EQ(information->contentInformationRequest()->contentType(), "public.mpeg-4");
    EXPECT_EQ(information->contentInformationRequest()->contentLength(), 1000);
    EXPECT_TRUE(information->contentInformationRequest()->isByteRangeAccessSupported());
    const auto cached = send(*stream, false, Range{100, 200, false});
    EXPECT_EQ(cached->outcome(), Outcome::finished);
    EXPECT_EQ(cached->takeData(), countingBytes(1000).substr(100, 200));
    // Past the end of a finished download: what there is, then finished.
    const auto beyond = send(*stream, false, Range{900, 500, false});
    EXPECT_EQ(beyond->outcome(), Outcome::finished);
    EXPECT_EQ(beyond->respondedLength(), 100);
    // Other schemes are declined.
    const auto other = media::AssetResourceLoadingRequest::create(
        *core::URL::create("https://ads.example/clip.mp4"), false, Range{0, 1, false});
    EXPECT_FALSE(stream->shouldWaitForLoadingOfRequestedResource(
        *media::AssetResourceLoader::create(), other));

    // A file that cannot be read fails the request and the load.
    ASSERT_TRUE(core::FileManager::removeItem(*file.fileSystemPath()));
    const auto unreadable = send(*stream, false, Range{0, 10, false});
    EXPECT_EQ(unreadable->outcome(), Outcome::failed);
    video.settle();
    ASSERT_EQ(log->events.size(), 2u);
    EXPECT_EQ(log->events[1].rfind("fail: ", 0), 0u);

    // With the server's flag: the target URL through an asset-loading item,
    // the page's download as its main cache.
    constants.set(DZVideoLoader::kGCacheAdvanceControlKey, true);
    const auto again = cachedFile("page-copy.gcache", countingBytes(1000));
    const auto advance = load(kGCacheURL);
    ASSERT_TRUE(advance->assetLoadingPlayerItem());
    const auto& assetLoader = advance->assetLoadingPlayerItem()->assetLoader();
    EXPECT_EQ(assetLoader->sourceURL(), core::URL::create("https://ads.example/clip.mp4"));
    EXPECT_EQ(assetLoader->mainResourceCache()->fileURL(), again);

    // No file in the page's answer.
    core.core->reply = {};
    log->events.clear();
    (void)load(kGCacheURL);
    ASSERT_EQ(log->events.size(), 1u);
    EXPECT_EQ(log->events[0], "fail: Failed to load gcache URL " + std::string(kGCacheURL));
}

TEST(DZVideoResourceLoading, MIMETypesHaveTheirTypeIdentifiers) {
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("video/mp4"), "public.mpeg-4");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType(" Video/MP4; codecs=avc1 "), "public.mpeg-4");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("audio/mpeg"), "public.mp3");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("video/mp2t"),
              "public.mpeg-2-transport-stream");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("video/webm"), "public.movie");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("audio/ogg"), "public.audio");
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("text/html"), std::nullopt);
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType("video/"), std::nullopt);
    EXPECT_EQ(ads::DZUniformTypeIdentifierForMIMEType(""), std::nullopt);
}

class DZVideoLoaderService : public DZVideoLoaderTest {};

TEST_F(DZVideoLoaderService, StreamRequestsAreServedAsThePagesDownloadGrows) {
    SharedCoreScope core;
    MeteredServer server("/clip.mp4", countingBytes(4000));
    const auto file = cachedFile("running.gcache", "");
    core.core->running = ads::DZResourceCache::create(core::URLRequest(server.url()), file, false);
    core.core->running->start();
    core.answer(file);
    const auto stream = load(kGCacheURL);
    server.gate->openTo(1000);
    ASSERT_TRUE(MeteredServer::waitForBytes(core.core->running, 1000));

    const auto held = send(*stream, false, Range{0, 500, false});
    EXPECT_EQ(held->outcome(), Outcome::finished);
    const auto later = send(*stream, false, Range{1500, 500, false});
    const auto partial = send(*stream, false, Range{800, 400, false});
    EXPECT_EQ(later->outcome(), Outcome::pending);
    EXPECT_EQ(partial->outcome(), Outcome::pending);
    EXPECT_EQ(partial->takeData(), countingBytes(1000).substr(800));
    EXPECT_EQ(stream->pendingRequestCount(), 2u);

    server.gate->openTo(2500);
    EXPECT_EQ(endOf(later), Outcome::finished);
    EXPECT_EQ(later->takeData(), countingBytes(2000).substr(1500));
    EXPECT_EQ(endOf(partial), Outcome::finished);
    // The rest of its range and nothing past it.
    EXPECT_EQ(partial->takeData(), countingBytes(1200).substr(1000));

    const auto cancelledByEngine = send(*stream, false, Range{3000, 100, false});
    const auto waiting = send(*stream, false, Range{3000, 500, false});
    video.engine->cancelLoadingRequest(cancelledByEngine);
    ASSERT_TRUE(waitFor([&] { return stream->pendingRequestCount() == 1; }));
    stream->cancel();
    EXPECT_EQ(waiting->outcome(), Outcome::failed);
    EXPECT_EQ(waiting->error(), (media::MediaError{"com.dozuza.ads", 11,
                                                   "Video loading has been explicitly canceled."}));
    EXPECT_EQ(stream->pendingRequestCount(), 0u);
    server.gate->release();
}

TEST_F(DZVideoLoaderService, TheAssetLoaderServesFromTheMainCacheOrStartsNumberedRangedDownloads) {
    ads::DZVideoAssetLoader::resetForTesting();
    const auto folder = *ads::DZCacheDirectoryPath("VideoAsset", nullptr)->fileSystemPath();
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/old.cache", "old"));
    MeteredServer server("/clip.mp4", countingBytes(4000));
    const auto mainFile = cachedFile("main.gcache", "");
    const auto main = ads::DZResourceCache::create(core::URLRequest(server.url()), mainFile, false);
    main->start();
    server.gate->openTo(1000);
    ASSERT_TRUE(MeteredServer::waitForBytes(main, 1000));
    video.clock.advance(1);  // 1000 bytes a second

    const auto loader = ads::DZVideoAssetLoader::create(
        server.url(), main,
        ads::DZVideoConfiguration::create({{"videoAssetLoaderMaxDownloadWaitTimeMs", 1000}}));
    EXPECT_FALSE(core::FileManager::fileExists(folder + "/old.cache"));
    (void)ads::DZCacheDirectoryPath("VideoAsset", nullptr);
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/kept.cache", "kept"));
    (void)ads::DZVideoAssetLoader::create(server.url(), nullptr, nullptr);
    EXPECT_TRUE(core::FileManager::fileExists(folder + "/kept.cache"));  // once per process

    const auto sourceFor = [&](std::int64_t byte) {
        ads::Error error;
        const auto source = loader->getResourceCache(byte, &error);
        EXPECT_TRUE(source) << error.message;
        return source.value_or(ads::DZVideoAssetLoader::Source{});
    };
    EXPECT_EQ(sourceFor(10).cache, main);
    EXPECT_EQ(sourceFor(1500).cache, main);  // about half a second away
    const auto first = sourceFor(2500);
    EXPECT_NE(first.cache, main);
    EXPECT_EQ(first.startingByteOffset, 2500);
    EXPECT_EQ(first.cache->fileURL().lastPathComponent(), "video_asset_0.cache");
    EXPECT_EQ(sourceFor(2600).cache, first.cache);
    const auto second = sourceFor(2000);
    EXPECT_EQ(second.cache->fileURL().lastPathComponent(), "video_asset_1.cache");
    ASSERT_TRUE(waitFor([&] { return server.server.requestsTo("/clip.mp4").size() == 3; }));
    std::vector<std::string> ranges;
    for (const auto& request : server.server.requestsTo("/clip.mp4"))
        ranges.push_back(request.headers.value("Range").value_or(""));
    // The two ranged downloads run side by side: either may reach the server first.
    std::sort(ranges.begin() + 1, ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=2000-", "bytes=2500-"}));

    // A released download of its own stops with its bytes; the main one runs on.
    server.gate->openTo(1200);
    ASSERT_TRUE(MeteredServer::waitForBytes(second.cache, 1200));
    loader->finishedUsingResourceCache(second.cache);
    loader->finishedUsingResourceCache(main);
    ASSERT_TRUE(waitFor([&] { return second.cache->completed(); }));
    EXPECT_TRUE(second.cache->valid());
    EXPECT_EQ(second.cache->dataWithRange(0, 4, nullptr),
              core::Data({2000 & 0xff, 2001 & 0xff, 2002 & 0xff, 2003 & 0xff}));
    EXPECT_FALSE(main->completed());
    server.gate->release();
}

}  // namespace
