// The core page's downloads into the SDK cache folder, as the page sees
// them through "DUZO_resourceCache": progress, status checks, removals and
// the cleanup, what it may not do with files outside the folder, and the
// gcache round trip from a loader through the page and back.

#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "SDKCoreTesting.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/web/cache/DZGCacheCoreBridge.h"
#include "ads/web/cache/DZGCacheURLLoader.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "fixtures/ResponseGate.h"

namespace {

using namespace sdkcoretesting;
using Report = core::Value;

std::string statusOf(const Report& report) {
    return report["cache"]["status"].stringValue();
}

class DZSDKCoreCacheService : public SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        makeController();
        ASSERT_TRUE(loadPage());
        folder = *ads::DZCacheDirectoryPath(std::nullopt, nullptr)->fileSystemPath();
    }

    void cacheResource(const std::string& requestID, const std::string& url,
                       const std::string& cacheID) {
        sendFromPage("cacheResource", {{"request_id", requestID},
                                       {"url", url},
                                       {"cache_id", cacheID},
                                       {"headers", R"({"X-Page":"1"})"}});
    }
    void statusCheck(const std::string& requestID, const std::string& fileURL,
                     const std::string& cacheID = "asked") {
        sendFromPage("resourceStatusCheck",
                     {{"request_id", requestID}, {"fileurl", fileURL}, {"cache_id", cacheID}});
    }
    // The reports the page got, once there are count of them.
    std::vector<Report> reports(size_t count) const { return logged("DUZO_resourceCache", count); }
    // The reports, once the last one has this status for this cache id.
    std::vector<Report> reportsUntil(const std::string& status, const std::string& cacheID) const {
        std::vector<Report> all;
        (void)waitFor([&] {
            all = logged("DUZO_resourceCache", 0);
            return !all.empty() && statusOf(all.back()) == status &&
                   all.back()["cache"]["cache_id"].stringValue() == cacheID;
        });
        return all;
    }
    static std::string fileURLOf(const std::string& cacheID) {
        return ads::DZResourceCache::fileURLForCacheID(cacheID, nullptr)->absoluteString();
    }
    [[nodiscard]] ads::DZSDKCoreDMSGHandler& handler() const {
        return *page().SDKCoreDMSGHandler();
    }

    std::string folder;
};

TEST_F(DZSDKCoreCacheService, ADownloadRunsThenSucceedsWithItsFileAndTheDisk) {
    server.serve("/clip", fixtures::LoopbackResponse::bytes(std::string(3000, 'c'), "video/mp4"));
    const auto before = static_cast<std::int64_t>(::time(nullptr));
    cacheResource("1", server.urlString("/clip"), "clip");
    const auto all = reportsUntil("succeed", "clip");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(statusOf(all[0]), "running");  // started: the file exists
    EXPECT_EQ(all[0]["file"]["fileurl"].stringValue(), fileURLOf("clip"));
    EXPECT_EQ(statusOf(all[1]), "running");  // the response
    const Report& done = all[2];
    EXPECT_EQ(done["file"]["fileurl"].stringValue(), fileURLOf("clip"));
    EXPECT_EQ(done["file"]["size"].intValue(), 3000);
    EXPECT_GE(done["file"]["creation_timestamp_in_seconds"].intValue(), before - 1);
    EXPECT_EQ(done["cache"]["headers"]["Content-Type"].stringValue(), "video/mp4");
    EXPECT_GT(done["environment"]["disk_total_bytes"].uintValue(), 0u);
    ASSERT_TRUE(done["environment"].dictionary());
    EXPECT_TRUE(done["environment"].dictionary()->contains("disk_free_bytes"));
    ASSERT_TRUE(done.dictionary());
    EXPECT_FALSE(done.dictionary()->contains("error"));
    EXPECT_TRUE(handler().resourceCaches().empty());
    const auto requests = server.requestsTo("/clip");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].headers.value("X-Page"), "1");
}

TEST_F(DZSDKCoreCacheService, OneDownloadPerRequestIDAndPerCacheID) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server.serve("/held", fixtures::LoopbackResponse::bytes(std::string(1000, 'h')).meteredBy(gate));
    server.serve("/other", fixtures::LoopbackResponse::bytes("other"));
    cacheResource("1", server.urlString("/held"), "shared");
    ASSERT_EQ(reports(2).size(), 2u);  // started, response
    // The same request id again does nothing at all.
    cacheResource("1", server.urlString("/other"), "elsewhere");
    // Another request for the file of the running download: it is running.
    cacheResource("2", server.urlString("/other"), "shared");
    const auto all = reports(3);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(statusOf(all[2]), "running");
    EXPECT_EQ(all[2]["cache"]["cache_id"].stringValue(), "shared");
    EXPECT_EQ(handler().resourceCaches().size(), 1u);

    gate->openTo(1000);
    const auto done = reportsUntil("succeed", "shared");
    gate->release();
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back()["file"]["size"].intValue(), 1000);
    EXPECT_TRUE(server.requestsTo("/other").empty());
    EXPECT_EQ(core::FileManager::readFile(folder + "/" + ads::DZStringHashHex("shared") + ".gcache")
                  .value(),
              std::string(1000, 'h'));
}

TEST_F(DZSDKCoreCacheService, OnlyHTTPResourcesAreDownloaded) {
    cacheResource("1", "file:///etc/hostname", "local");
    const auto all = reportsUntil("failed", "local");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_NE(all[0]["error"].stringValue().find("Only http and https"), std::string::npos);
    ASSERT_TRUE(all[0]["file"].dictionary());
    EXPECT_TRUE(all[0]["file"].dictionary()->empty());
    EXPECT_FALSE(core::FileManager::fileExists(
        *ads::DZResourceCache::fileURLForCacheID("local", nullptr)->fileSystemPath()));
    EXPECT_TRUE(handler().resourceCaches().empty());
}

TEST_F(DZSDKCoreCacheService, AStatusCheckAnswersRunningSucceedNotRunningOrFailed) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server.serve("/held", fixtures::LoopbackResponse::bytes(std::string(100, 'h')).meteredBy(gate));
    cacheResource("1", server.urlString("/held"), "held");
    ASSERT_EQ(reports(2).size(), 2u);
    statusCheck("check-1", fileURLOf("held"));
    auto all = reports(3);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(statusOf(all[2]), "running");
    EXPECT_EQ(all[2]["cache"]["cache_id"].stringValue(), "held");  // the download's, not "asked"
    EXPECT_EQ(all[2]["file"]["size"].intValue(), 0);

    // A download that has ended but whose end the page has not heard of yet
    // (its report held back here) has succeeded.
    const auto cache = handler().resourceCaches().at("1");
    cache->setDelegate({});
    gate->openTo(100);
    ASSERT_TRUE(waitFor([&] { return cache->completed(); }));
    statusCheck("check-2", fileURLOf("held"));
    all = reports(4);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(statusOf(all[3]), "succeed");
    EXPECT_EQ(all[3]["file"]["size"].intValue(), 100);
    gate->release();

    // A file in the folder that nothing downloads.
    const std::string idle = folder + "/idle.gcache";
    ASSERT_TRUE(core::FileManager::writeAtomically(idle, "idle"));
    statusCheck("check-3", core::URL::fileURL(idle).absoluteString());
    all = reports(5);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(statusOf(all[4]), "not_running");
    EXPECT_EQ(all[4]["cache"]["cache_id"].stringValue(), "asked");
    EXPECT_EQ(all[4]["file"]["size"].intValue(), 4);
    EXPECT_EQ(all[4]["file"]["creation_timestamp_in_seconds"].intValue(),
              core::FileManager::creationTime(idle).value());

    // No file at all.
    statusCheck("check-4", core::URL::fileURL(folder + "/missing.gcache").absoluteString());
    all = reports(6);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(statusOf(all[5]), "failed");
    ASSERT_TRUE(all[5]["file"].dictionary());
    EXPECT_TRUE(all[5]["file"].dictionary()->empty());
}

TEST_F(DZSDKCoreCacheService, RemovingARunningDownloadFailsItAndDeletesItsFile) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server.serve("/held", fixtures::LoopbackResponse::bytes(std::string(1000, 'h')).meteredBy(gate));
    cacheResource("1", server.urlString("/held"), "doomed");
    gate->openTo(300);
    const std::string path =
        *ads::DZResourceCache::fileURLForCacheID("doomed", nullptr)->fileSystemPath();
    ASSERT_TRUE(waitFor([&] {
        const auto size = core::FileManager::fileSize(path);
        return size && size.value() == 300;
    }));

    sendFromPage("removeResource", {{"fileurl", fileURLOf("doomed")}});
    const auto all = reportsUntil("failed", "doomed");
    gate->release();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back()["error"].stringValue(), "Delete cached resource.");
    ASSERT_TRUE(all.back()["file"].dictionary());
    EXPECT_TRUE(all.back()["file"].dictionary()->empty());
    EXPECT_FALSE(core::FileManager::fileExists(path));
    EXPECT_TRUE(handler().resourceCaches().empty());

    // A finished file goes too.
    const std::string idle = folder + "/idle.gcache";
    ASSERT_TRUE(core::FileManager::writeAtomically(idle, "idle"));
    sendFromPage("removeResource", {{"fileurl", core::URL::fileURL(idle).absoluteString()}});
    EXPECT_TRUE(waitFor([&] { return !core::FileManager::fileExists(idle); }));
}

TEST_F(DZSDKCoreCacheService, FilesOutsideTheCacheFolderAreNeitherReportedNorDeleted) {
    const std::string caches = folder.substr(0, folder.rfind('/'));
    const std::string victim = caches + "/victim.txt";
    const std::string linkedVictim = caches + "/linked.txt";
    ASSERT_TRUE(core::FileManager::writeAtomically(victim, "keep"));
    ASSERT_TRUE(core::FileManager::writeAtomically(linkedVictim, "keep"));
    const std::string link = folder + "/link.gcache";
    ASSERT_EQ(::symlink(linkedVictim.c_str(), link.c_str()), 0);

    const std::vector<std::string> refused = {
        "file://" + folder + "/../victim.txt",
        "file://" + folder + "/%2E%2E/victim.txt",
        core::URL::fileURL(link).absoluteString(),
        "file:///etc/passwd",
    };
    size_t count = 0;
    for (const auto& fileURL : refused) {
        SCOPED_TRACE(fileURL);
        if (fileURL != "file:///etc/passwd") sendFromPage("removeResource", {{"fileurl", fileURL}});
        // Messages are handled in the order the page sends them.
        statusCheck("check", fileURL);
        const auto all = reports(++count);
        ASSERT_EQ(all.size(), count);
        EXPECT_EQ(statusOf(all.back()), "failed");
        ASSERT_TRUE(all.back()["file"].dictionary());
        EXPECT_TRUE(all.back()["file"].dictionary()->empty());
    }
    EXPECT_EQ(core::FileManager::readFile(victim).value(), "keep");
    EXPECT_EQ(core::FileManager::readFile(linkedVictim).value(), "keep");
    EXPECT_TRUE(core::FileManager::fileExists("/etc/passwd"));
    (void)core::FileManager::removeItem(victim);
    (void)core::FileManager::removeItem(linkedVictim);
}

TEST_F(DZSDKCoreCacheService, CleanupRemovesTheFolder) {
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/old.gcache", "old"));
    sendFromPage("cleanupCacheDirectory", {});
    EXPECT_TRUE(waitFor([&] { return !core::FileManager::fileExists(folder); }));
}

TEST_F(DZSDKCoreCacheService, AGCacheURLLoadsThroughThePageIntoACacheOverItsFile) {
    std::string body;
    for (int i = 0; i < 1000; ++i) body.push_back(static_cast<char>('0' + i % 10));
    server.serve("/clip.mp4", fixtures::LoopbackResponse::bytes(body, "video/mp4"));
    server.serve("/gone.mp4", fixtures::LoopbackResponse::text("gone", 404));
    const ads::DZGCacheURLLoader loader(std::make_shared<ads::DZGCacheCoreBridge>(controller));
    struct Loaded {
        std::shared_ptr<ads::DZResourceCache> cache;
        std::optional<ads::Error> error;
        bool done = false;
    };
    const auto load = [&](const std::string& target) {
        Loaded loaded;
        const auto url = *core::URL::create("gcache://load?url=" +
                                            ads::DZPercentEscapedString(server.urlString(target)));
        loader.loadGCacheURL(url, [&](const core::URL&, std::shared_ptr<ads::DZResourceCache> cache,
                                      std::optional<ads::Error> error) {
            EXPECT_TRUE(core::RunLoop::isMainThread());
            loaded = {std::move(cache), std::move(error), true};
        });
        EXPECT_TRUE(waitFor([&] { return loaded.done; }));
        return loaded;
    };

    const Loaded clip = load("/clip.mp4");
    ASSERT_TRUE(clip.cache) << (clip.error ? clip.error->message : "");
    EXPECT_TRUE(clip.cache->completed() && clip.cache->valid());
    EXPECT_EQ(clip.cache->request().url(), server.url("/clip.mp4"));  // the unescaped target
    EXPECT_EQ(clip.cache->contentType(), "video/mp4");
    EXPECT_EQ(clip.cache->contentLength(), 1000);
    EXPECT_EQ(clip.cache->cachedContentSize(), 1000);
    const auto bytes = clip.cache->dataWithRange(990, 100, nullptr);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), body.substr(990));
    const auto asked = logged("DUZO_GCache");
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(asked[0]["args"]["environment"].dictionary());
    EXPECT_TRUE(asked[0]["args"]["environment"].dictionary()->contains("disk_free_bytes"));

    const Loaded gone = load("/gone.mp4");
    EXPECT_FALSE(gone.cache);
    ASSERT_TRUE(gone.error);
    EXPECT_EQ(gone.error->message, "Invalid response received.");
}

}  // namespace
