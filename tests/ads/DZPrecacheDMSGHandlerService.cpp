// The page's "precache" messages: downloads of video sources into the
// Precache folder, the "onPrecacheEvent" reports the page gets, aborts, the
// byte threshold, and which sources a download is made from.

#include "ads/web/dmsg/DZPrecacheDMSGHandler.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "VideoTesting.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "fixtures/AdServer.h"
#include "fixtures/ResponseGate.h"

namespace {

using adwebtesting::waitFor;

class DZPrecacheDMSGHandlerService : public testing::Test {
protected:
    void precache(core::Dictionary parameters) {
        handler->adViewDidReceivePrecacheNotification(page.adView, parameters);
    }
    [[nodiscard]] std::vector<core::Value> events() const {
        return page.arguments("onPrecacheEvent");
    }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& event : events()) found.push_back(event["event"].stringValue());
        return found;
    }
    [[nodiscard]] bool waitForSize(std::int64_t size) const {
        return waitFor([&] {
            const auto& cache = handler->resourceCache();
            return cache && cache->cachedContentSize() == size;
        });
    }
    [[nodiscard]] bool waitForEnd() const {
        return waitFor([&] {
            const auto& cache = handler->resourceCache();
            return cache && cache->completed();
        });
    }
    [[nodiscard]] std::string cachePath() const {
        return *handler->resourceCache()->fileURL().fileSystemPath();
    }

    fixtures::AdServer server;
    videotesting::RecordingAdView page;
    std::shared_ptr<ads::DZPrecacheDMSGHandler> handler =
        std::make_shared<ads::DZPrecacheDMSGHandler>();
};

TEST_F(DZPrecacheDMSGHandlerService, AnAbortBeforeAnyDownloadReportsNothingCached) {
    precache({{"abort", "1"}});
    const auto all = events();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0], (core::Value(core::Dictionary{{"bytesLoaded", 0},
                                                    {"totalBytes", 0},
                                                    {"event", "precacheCanceled"},
                                                    {"src", ""},
                                                    {"cachedSrc", ""}})));
    EXPECT_FALSE(handler->resourceCache());
}

TEST_F(DZPrecacheDMSGHandlerService, AThresholdSendsOneProgressFromTheData) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server.serve("/video", fixtures::LoopbackResponse::bytes(std::string(3000, 'v'), "video/mp4")
                               .meteredBy(gate));
    const std::string source = server.urlString("/video");
    precache({{"src", source}, {"notifyBytes", "1000"}});
    ASSERT_TRUE(handler->resourceCache());
    EXPECT_EQ(handler->byteThresholdToNotify(), 1000);
    // The response is reported before any byte.
    ASSERT_TRUE(waitFor([&] { return handler->resourceCache()->responseHeadersReceived(); }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    for (const size_t open : {600u, 900u, 1200u, 2400u}) {
        gate->openTo(open);
        ASSERT_TRUE(waitForSize(static_cast<std::int64_t>(open)));
    }
    gate->openTo(3000);
    ASSERT_TRUE(waitForEnd());
    gate->release();

    const auto all = events();
    ASSERT_EQ(names(), (std::vector<std::string>{"precacheProgress", "precacheProgress",
                                                 "precacheComplete"}));
    EXPECT_EQ(all[0]["bytesLoaded"].intValue(), 0);  // the response
    EXPECT_EQ(all[1]["bytesLoaded"].intValue(), 1200);
    EXPECT_EQ(all[2]["bytesLoaded"].intValue(), 3000);
    for (const auto& event : all) {
        EXPECT_EQ(event["totalBytes"].intValue(), 3000);
        EXPECT_EQ(event["src"].stringValue(), source);
        EXPECT_EQ(event["cachedSrc"].stringValue(),
                  handler->resourceCache()->fileURL().absoluteString());
    }
    const auto folder = ads::DZCacheDirectoryPath("Precache", nullptr);
    EXPECT_EQ(handler->resourceCache()->fileURL().absoluteString().rfind(
                  folder->absoluteString() + "/precache_", 0),
              0u);
    EXPECT_EQ(core::FileManager::readFile(cachePath()).value(), std::string(3000, 'v'));
}

TEST_F(DZPrecacheDMSGHandlerService, AnAbortAfterCompletionDeletesTheFileAndReportsItsSize) {
    server.serve("/video", fixtures::LoopbackResponse::bytes(std::string(500, 'v')));
    precache({{"src", server.urlString("/video")}});
    ASSERT_TRUE(waitForEnd());
    const std::string path = cachePath();
    ASSERT_TRUE(core::FileManager::fileExists(path));
    precache({{"abort", "1"}});
    EXPECT_FALSE(core::FileManager::fileExists(path));
    const auto all = events();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back()["event"].stringValue(), "precacheCanceled");
    EXPECT_EQ(all.back()["bytesLoaded"].intValue(), 500);
    EXPECT_EQ(all.back()["totalBytes"].intValue(), 500);
    EXPECT_FALSE(handler->hasStartedPreloading());
}

TEST_F(DZPrecacheDMSGHandlerService, ANewSourceWaitsUntilTheRunningDownloadIsAborted) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server.serve("/first", fixtures::LoopbackResponse::bytes(std::string(800, 'f')).meteredBy(gate));
    server.serve("/second", fixtures::LoopbackResponse::bytes(std::string(200, 's')));
    const std::string first = server.urlString("/first");
    const std::string second = server.urlString("/second");
    precache({{"src", first}});
    gate->openTo(100);
    ASSERT_TRUE(waitForSize(100));
    const auto running = handler->resourceCache();

    precache({{"src", second}});
    EXPECT_EQ(handler->resourceCache(), running);
    EXPECT_EQ(handler->sourceURL(), core::URL::create(first));
    gate->openTo(800);
    ASSERT_TRUE(waitForEnd());
    gate->release();
    EXPECT_TRUE(server.requestsTo("/second").empty());
    for (const auto& event : events()) EXPECT_EQ(event["src"].stringValue(), first);

    precache({{"abort", "1"}});
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events().back()["src"].stringValue(), first);
    precache({{"src", second}});
    ASSERT_NE(handler->resourceCache(), running);
    ASSERT_TRUE(waitForEnd());
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events().back()["event"].stringValue(), "precacheComplete");
    EXPECT_EQ(events().back()["src"].stringValue(), second);
    EXPECT_NE(handler->resourceCache()->fileURL(), running->fileURL());
}

TEST_F(DZPrecacheDMSGHandlerService, OnlyHTTPSourcesAreDownloaded) {
    for (const char* source : {"file:///etc/hostname", "ftp://a.example/v.mp4", "not a url"}) {
        SCOPED_TRACE(source);
        precache({{"src", source}});
        EXPECT_FALSE(handler->resourceCache());
        EXPECT_FALSE(handler->sourceURL());
    }
    EXPECT_TRUE(events().empty());
}

// In a fresh process: removes a stale file, makes two handlers precache
// and prints the names of their files and whether the stale one went.
[[noreturn]] void precacheTwiceAndExit() {
    const auto folder = ads::DZCacheDirectoryPath("Precache", nullptr);
    const std::string stale = *folder->fileSystemPath() + "/precache_7.cache";
    bool wiped = core::FileManager::writeAtomically(stale, "stale").ok();
    const auto first = std::make_shared<ads::DZPrecacheDMSGHandler>();
    const auto second = std::make_shared<ads::DZPrecacheDMSGHandler>();
    wiped = wiped && !core::FileManager::fileExists(stale);
    // Nothing answers there: the files are made before any byte arrives.
    const core::Dictionary parameters{{"src", "http://127.0.0.1:9/video"}};
    first->adViewDidReceivePrecacheNotification(nullptr, parameters);
    second->adViewDidReceivePrecacheNotification(nullptr, parameters);
    const std::string names = first->resourceCache()->fileURL().lastPathComponent() + " " +
                              second->resourceCache()->fileURL().lastPathComponent();
    std::fprintf(stderr, "%s %s\n", names.c_str(), wiped ? "wiped" : "kept");
    std::exit(0);
}

// Each process numbers its files from 0, and its first handler removes the
// files of earlier runs.
TEST(DZPrecacheDMSGHandlerDeathTest, AFreshProcessNumbersItsFilesFromZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(precacheTwiceAndExit(), testing::ExitedWithCode(0),
                "precache_0.cache precache_1.cache wiped");
}

}  // namespace
