#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "ads/foundation/DZFileSystem.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/cache/DZGCacheURLLoader.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/dmsg/DZGCacheDMSGHandler.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZNotification.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"

using namespace ads;

namespace {

// The core page as a script: records the commands, answers them with a
// set reply on the main queue.
class ScriptedCore final : public DZGCacheSDKCore {
public:
    void executeExportedJavaScriptCommand(std::string_view function,
                                          std::optional<core::Dictionary> parameters,
                                          CommandCompletion completion) override {
        functions.emplace_back(function);
        this->parameters.push_back(parameters.value_or(core::Dictionary()));
        if (!completion) return;
        core::Queue::main()->async(
            [completion, reply = reply, error = error] { completion(reply, error); });
    }
    std::shared_ptr<DZResourceCache> resourceCacheForFileURL(const core::URL& fileURL) override {
        return running && running->fileURL() == fileURL ? running : nullptr;
    }

    core::Dictionary reply;
    std::optional<Error> error;
    std::shared_ptr<DZResourceCache> running;
    std::vector<std::string> functions;
    std::vector<core::Dictionary> parameters;
};

struct Loaded {
    bool called = false;
    std::shared_ptr<DZResourceCache> cache;
    std::optional<Error> error;
};

const core::URL kGCacheURL =
    *core::URL::create("gcache://resource?url=https%3A%2F%2Fmedia.test%2Fv.mp4%3Fa%3D1&url=x");

Loaded load(const DZGCacheURLLoader& loader, const core::URL& url) {
    Loaded loaded;
    loader.loadGCacheURL(url, [&](const core::URL& asked, auto cache, auto error) {
        EXPECT_EQ(asked, url);
        EXPECT_TRUE(core::RunLoop::isMainThread());
        loaded = Loaded{true, std::move(cache), std::move(error)};
    });
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return loaded.called; }, 5.0));
    return loaded;
}

// A file in the SDK cache folder, as the core page would have written it.
core::URL cachedFile(const std::string& name, std::string_view bytes) {
    const auto folder = DZCacheDirectoryPath(std::nullopt, nullptr);
    const std::string path = *folder->fileSystemPath() + "/" + name;
    EXPECT_TRUE(core::FileManager::writeAtomically(path, bytes));
    return core::URL::fileURL(path);
}

}  // namespace

TEST(DZGCacheTargetURL, IsTheUnescapedFirstURLParameterOfAGCacheURL) {
    EXPECT_EQ(DZGCacheTargetURL(kGCacheURL), core::URL::create("https://media.test/v.mp4?a=1"));
    EXPECT_FALSE(DZGCacheTargetURL(*core::URL::create("gcache://resource?other=1")));
    EXPECT_FALSE(DZGCacheTargetURL(*core::URL::create("GCACHE://r?url=https%3A%2F%2Fm.test%2F")));
    EXPECT_FALSE(DZGCacheTargetURL(*core::URL::create("https://r.test/?url=https%3A%2F%2Fm.test")));
}

TEST(DZGCacheURLLoader, WrapsThePagesFileInACache) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const DZGCacheURLLoader loader(sdkCore);
    const auto file = cachedFile("page-copy.mp4", "0123456789");
    sdkCore->reply = {{"fileurl", file.absoluteString()},
                      {"content-type", "video/mp4"},
                      {"content-length", "10"}};

    const auto loaded = load(loader, kGCacheURL);
    ASSERT_TRUE(loaded.cache) << (loaded.error ? loaded.error->message : "");
    EXPECT_EQ(loaded.cache->fileURL(), file);
    EXPECT_EQ(loaded.cache->request().url(), core::URL::create("https://media.test/v.mp4?a=1"));
    EXPECT_EQ(loaded.cache->contentType(), "video/mp4");
    EXPECT_EQ(loaded.cache->contentLength(), 10);
    EXPECT_EQ(loaded.cache->cachedContentSize(), 10);
    EXPECT_TRUE(loaded.cache->completed());

    ASSERT_EQ(sdkCore->functions, std::vector<std::string>{"DUZO_GCache"});
    EXPECT_EQ(sdkCore->parameters[0]["gcache_url"].stringValue(), kGCacheURL.absoluteString());
    EXPECT_TRUE(sdkCore->parameters[0]["environment"].isDictionary());

    // A download the page's handler still runs is shared, not wrapped again.
    sdkCore->running = DZResourceCache::create(core::URLRequest(kGCacheURL), file, false);
    EXPECT_EQ(load(loader, kGCacheURL).cache, sdkCore->running);

    // Dropping the wrapping cache leaves the page's file alone.
    EXPECT_TRUE(core::FileManager::fileExists(*file.fileSystemPath()));
}

TEST(DZGCacheURLLoader, FailsWithoutAUsableFileInTheCacheFolder) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const DZGCacheURLLoader loader(sdkCore);
    const auto inside = cachedFile("inside.bin", "x");
    const std::string folder = *inside.fileSystemPath();
    const std::string failure = "Failed to load gcache URL " + kGCacheURL.absoluteString();
    const std::vector<std::pair<core::Value, std::string>> replies = {
        {core::Value(), failure},
        {core::Value(""), failure},
        {core::Value("file:///etc/passwd"), failure},
        {core::Value("file://" + folder + "/../../../../Documents/x"), failure},
        {core::Value(inside.absoluteString() + "-absent"), failure},
        {core::Value(42), failure},
    };
    for (const auto& [fileURL, message] : replies) {
        SCOPED_TRACE(fileURL.stringValue());
        sdkCore->reply = {{"fileurl", fileURL}};
        const auto loaded = load(loader, kGCacheURL);
        EXPECT_FALSE(loaded.cache);
        ASSERT_TRUE(loaded.error);
        EXPECT_EQ(loaded.error->code, kDZErrorInternalError);
        EXPECT_EQ(loaded.error->message, message);
    }

    // The page's own error comes through as it is.
    sdkCore->reply = {{"fileurl", inside.absoluteString()}};
    sdkCore->error = DZErrorWithCodeDescription(kDZErrorTimeout, "timed out");
    const auto timedOut = load(loader, kGCacheURL);
    ASSERT_TRUE(timedOut.error);
    EXPECT_EQ(timedOut.error->message, "timed out");
}

TEST(DZGCacheURLLoader, RefusesOtherSchemesAtOnce) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const DZGCacheURLLoader loader(sdkCore);
    for (const char* text : {"GCACHE://r?url=https%3A%2F%2Fm.test%2F", "https://m.test/v.mp4"}) {
        const auto url = *core::URL::create(text);
        bool called = false;
        loader.loadGCacheURL(url, [&](const core::URL&, auto cache, auto error) {
            called = true;
            EXPECT_FALSE(cache);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->message,
                      "Provided URL " + url.absoluteString() + " isn't a valid gcache URL.");
        });
        EXPECT_TRUE(called);
    }
    EXPECT_TRUE(sdkCore->functions.empty());

    // A prefetch only asks the page, without awaiting a reply.
    loader.prefetchGCacheURL(kGCacheURL);
    EXPECT_EQ(sdkCore->functions.size(), 1u);
}

TEST(DZGCacheURLLoader, OpensTheCheckedFileAndNeverALinkPutInItsPlace) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const DZGCacheURLLoader loader(sdkCore);
    const auto target = cachedFile("link-target.bin", "cached");
    const std::string folder = *DZCacheDirectoryPath(std::nullopt, nullptr)->fileSystemPath();
    const std::string link = folder + "/link.bin";
    const std::string outside = folder + "/../outside-secret.bin";
    ASSERT_TRUE(core::FileManager::writeAtomically(outside, "secret"));
    (void)core::FileManager::removeItem(link);
    ASSERT_EQ(::symlink(target.fileSystemPath()->c_str(), link.c_str()), 0);

    sdkCore->reply = {{"fileurl", core::URL::fileURL(link).absoluteString()}};
    const auto loaded = load(loader, kGCacheURL);
    ASSERT_TRUE(loaded.cache);
    // Re-pointing the page's link after the check changes nothing read.
    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), link.c_str()), 0);
    const auto read = loaded.cache->dataWithRange(0, 6, nullptr);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(read->begin(), read->end()), "cached");

    // The checked file itself swapped for a link is not followed either.
    ASSERT_TRUE(core::FileManager::removeItem(*target.fileSystemPath()));
    ASSERT_EQ(::symlink(outside.c_str(), target.fileSystemPath()->c_str()), 0);
    Error error;
    EXPECT_FALSE(loaded.cache->dataWithRange(0, 6, &error));
    (void)core::FileManager::removeItem(link);
    (void)core::FileManager::removeItem(*target.fileSystemPath());
    (void)core::FileManager::removeItem(outside);
}

TEST(DZGCacheURLLoader, FileURLsWithAHostAndUnusableLengthsAreRefused) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const DZGCacheURLLoader loader(sdkCore);
    const auto file = cachedFile("length.bin", "0123");
    sdkCore->reply = {{"fileurl", "file://other.host" + *file.fileSystemPath()}};
    EXPECT_FALSE(load(loader, kGCacheURL).cache);

    // A length that is negative or no 64-bit integer is unknown (0).
    const std::vector<std::pair<core::Value, std::int64_t>> lengths = {
        {core::Value("4"), 4}, {core::Value(4), 4},          {core::Value("-5"), 0},
        {core::Value(-5), 0},  {core::Value(1e300), 0},      {core::Value("1e300"), 0},
        {core::Value("x"), 0}, {core::Value(UINT64_MAX), 0},
    };
    for (const auto& [length, expected] : lengths) {
        SCOPED_TRACE(length.stringValue());
        sdkCore->reply = {{"fileurl", file.absoluteString()}, {"content-length", length}};
        const auto loaded = load(loader, kGCacheURL);
        ASSERT_TRUE(loaded.cache);
        EXPECT_EQ(loaded.cache->contentLength(), expected);
    }
}

TEST(DZGCacheDMSGHandler, StartCacheLetsThePageFetchOnlyGCacheURLs) {
    const auto sdkCore = std::make_shared<ScriptedCore>();
    const auto handler =
        std::make_shared<DZGCacheDMSGHandler>(std::make_shared<DZGCacheURLLoader>(sdkCore));
    const auto send = [&](core::Dictionary parameters) {
        return handler->handleNotification(
            DZNotification::create("gcache", std::move(parameters)), nullptr);
    };
    const std::string accepted = "gcache://load?url=https%3A%2F%2Fm.test%2Fv.mp4";
    EXPECT_TRUE(send({{"action", "start_cache"}, {"url", accepted}}));
    ASSERT_EQ(sdkCore->functions, std::vector<std::string>{"DUZO_GCache"});
    EXPECT_EQ(sdkCore->parameters[0]["gcache_url"].stringValue(), accepted);
    EXPECT_TRUE(sdkCore->parameters[0]["environment"].isDictionary());

    // Claimed, and nothing is fetched.
    for (const core::Dictionary& refused : std::vector<core::Dictionary>{
             {{"action", "start_cache"}, {"url", "GCACHE://load?url=https%3A%2F%2Fm.test%2F"}},
             {{"action", "start_cache"}, {"url", "https://m.test/v.mp4"}},
             {{"action", "start_cache"}, {"url", 7}},
             {{"action", "start_cache"}},
             {{"action", "stop_cache"}, {"url", accepted}},
             {{"url", accepted}},
         }) {
        EXPECT_TRUE(send(refused));
    }
    EXPECT_EQ(sdkCore->functions.size(), 1u);
    EXPECT_FALSE(handler->handleNotification(DZNotification::create("video", {}), nullptr));

    // Ad pages reach it through their delegate's handlers.
    const auto delegate = std::make_shared<DZAdViewDelegate>();
    const auto& handlers = delegate->DMSGHandlers();
    EXPECT_TRUE(std::any_of(handlers.begin(), handlers.end(), [](const auto& listed) {
        return std::dynamic_pointer_cast<DZGCacheDMSGHandler>(listed) != nullptr;
    }));
}
