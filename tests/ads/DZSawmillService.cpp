#include <gtest/gtest.h>

#include <thread>

#include "SawmillTesting.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillJSCoreCommandExecutor.h"
#include "ads/foundation/DZSawmillTimerCommandExecutor.h"
#include "ads/web/cache/DZVersionedCache.h"
#include "ads/web/view/DZSawmillAdViewCommandExecutor.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "fixtures/SawmillScript.h"
#include "support/ManualClockScope.h"
#include "web/JSContext.h"

using namespace ads;
using fixtures::SawmillBatch;

namespace {

constexpr double kLimit = 10.0;

core::Dictionary event(const char* name) {
    return *DZSawmillEvent(name, core::Dictionary{{"n", name}});
}

core::Array marker(const char* name) {
    return core::Array{core::Dictionary{{"id", "test"}, {"params", event(name)}}};
}

core::Array probe(const char* tag, core::Dictionary request) {
    return core::Array{core::Dictionary{
        {"id", "test"},
        {"params",
         core::Dictionary{{"netio_probe", core::Dictionary{{"tag", tag}, {"request", request}}}}}}};
}

class DZSawmillService : public ::testing::Test {
protected:
    void SetUp() override {
        DZVersionedCache::removeStoredCache(DZSawmill::kCacheID);
        fixtures::serveSawmillScript(server_, "/sawmill.js");
        server_.serve("/broken.js", fixtures::LoopbackResponse::text("function DUZO_Sawmill( {"));
    }
    void TearDown() override {
        DZSawmill::resetSharedInstanceForTesting();
        DZVersionedCache::removeStoredCache(DZSawmill::kCacheID);
    }

    void configure(const std::string& scriptPath, const std::string& version,
                   core::Dictionary extra = {}) {
        core::Dictionary settings{{"enabled", true},
                                  {"use_js_core", true},
                                  {"beacon_interval_in_sec", 30},
                                  {"script_url", server_.urlString(scriptPath)},
                                  {"version", version}};
        for (const auto& [key, value] : extra) settings.set(key, value);
        testsupport::SawmillSettingsScope::set(std::move(settings));
    }

    static std::shared_ptr<DZSawmill> loadedSawmill() {
        const auto sawmill = DZSawmill::sharedInstance();
        sawmill->updateIfNeeded();
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return sawmill->isLoaded(); }, kLimit));
        return sawmill;
    }

    [[nodiscard]] std::vector<SawmillBatch> waitForBatches(size_t count) const {
        EXPECT_TRUE(core::RunLoop::main().runUntil(
            [&] { return fixtures::sawmillBatches(server_).size() >= count; }, kLimit));
        return fixtures::sawmillBatches(server_);
    }

    [[nodiscard]] core::Dictionary waitForResult(const std::string& tag) const {
        core::Dictionary found;
        EXPECT_TRUE(core::RunLoop::main().runUntil(
            [&] {
                for (const auto& result : fixtures::sawmillResults(server_)) {
                    if (result["tag"] == core::Value(tag)) found = result;
                }
                return !found.empty();
            },
            kLimit));
        return found;
    }

    testsupport::ManualClockScope clock_;
    testsupport::SawmillSettingsScope settings_;
    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZSawmillService, DownloadsTheScriptOncePerVersion) {
    configure("/sawmill.js", "v1");
    ASSERT_TRUE(loadedSawmill()->isLoaded());
    EXPECT_EQ(server_.requestsTo("/sawmill.js").size(), 1u);

    DZSawmill::resetSharedInstanceForTesting();
    ASSERT_TRUE(loadedSawmill()->isLoaded()) << "the stored script of an unchanged version runs";
    EXPECT_EQ(server_.requestsTo("/sawmill.js").size(), 1u);
    DZSawmill::sharedInstance()->asynchronouslyExecuteCommands(marker("stored"));
    EXPECT_EQ(waitForBatches(1).size(), 1u);

    configure("/sawmill.js", "v2");
    DZSawmill::resetSharedInstanceForTesting();
    ASSERT_TRUE(loadedSawmill()->isLoaded());
    EXPECT_EQ(server_.requestsTo("/sawmill.js").size(), 2u);
}

TEST_F(DZSawmillService, FirstEventAfterLoadGoesOutAfterFramingAndBuffer) {
    core::UserDefaults::standard()->setObject(std::string(DZSawmillLogger::kExperimentIDsKey),
                                              "exp-1");
    testsupport::SawmillSettingsScope::set(core::Dictionary{{"enabled", true}});
    const auto logger = DZSawmillLogger::create();
    ASSERT_TRUE(logger);
    logger->reportEvent(event("A"));
    logger->reportEvent(event("B"));

    configure("/sawmill.js", "order");
    loadedSawmill();
    logger->reportEvent(event("C"));

    const auto batches = waitForBatches(4);
    ASSERT_EQ(batches.size(), 4u);
    ASSERT_FALSE(batches[0].commands.empty());
    EXPECT_TRUE(batches[0].commands[0]["params"]["env"]["device"].dictionary());
    ASSERT_FALSE(batches[1].commands.empty());
    EXPECT_EQ(batches[1].commands[0]["params"]["experiments"], core::Value("exp-1"));
    const auto buffered = testsupport::paramsOf(batches[2].commands);
    ASSERT_EQ(buffered.size(), 3u);
    EXPECT_TRUE(buffered[0]["sawmill"]["created"].dictionary());
    EXPECT_EQ(buffered[1], core::Value(event("A")));
    EXPECT_EQ(buffered[2], core::Value(event("B")));
    ASSERT_EQ(batches[3].commands.size(), 1u);
    EXPECT_EQ(batches[3].commands[0]["params"], core::Value(event("C")));
    for (const SawmillBatch& batch : batches) {
        for (const core::Value& command : batch.commands) {
            EXPECT_EQ(command["id"], core::Value(logger->sawmillID()));
        }
    }
}

TEST_F(DZSawmillService, LoggerReleasedBeforeTheScriptLoadsSendsNothing) {
    testsupport::SawmillSettingsScope::set(core::Dictionary{{"enabled", true}});
    auto logger = DZSawmillLogger::create();
    const std::string id = logger->sawmillID();
    logger->reportEvent(event("A"));
    logger.reset();

    configure("/sawmill.js", "released");
    loadedSawmill()->asynchronouslyExecuteCommands(marker("after"));
    const auto batches = waitForBatches(1);
    ASSERT_EQ(batches.size(), 1u);
    ASSERT_FALSE(batches[0].commands.empty());
    EXPECT_EQ(batches[0].commands[0]["params"], core::Value(event("after")));
}

TEST_F(DZSawmillService, BeaconEveryThirtySecondsOnTheClock) {
    configure("/sawmill.js", "beacon");
    const auto sawmill = loadedSawmill();
    const auto executor =
        std::dynamic_pointer_cast<DZSawmillTimerCommandExecutor>(sawmill->commandExecutor());
    ASSERT_TRUE(executor);
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return executor->timer() != nullptr; }, kLimit));
    EXPECT_DOUBLE_EQ(executor->timer()->tolerance(), 3.0);

    clock_.advance(29);
    sawmill->asynchronouslyExecuteCommands(marker("before"));
    clock_.advance(1);
    const auto batches = waitForBatches(2);
    ASSERT_EQ(batches.size(), 2u);
    ASSERT_FALSE(batches[0].commands.empty());
    EXPECT_EQ(batches[0].commands[0]["params"], core::Value(event("before")));
    const core::Value beacon(
        core::Dictionary{{"beacon", core::Dictionary{{"time_interval_sec", 30.0}}}});
    EXPECT_EQ(batches[1].commands, core::Array{beacon});
}

TEST_F(DZSawmillService, NetworkFunctionSendsBytesAndAnswersTheRightCallback) {
    configure("/sawmill.js", "netio");
    const auto sawmill = loadedSawmill();
    sawmill->asynchronouslyExecuteCommands(probe("bytes", {{"url", server_.urlString("/echo")},
                                                           {"request_type", "PUT"},
                                                           {"body_type", "byte_array"},
                                                           {"body", core::Array{104, 105}}}));
    const auto bytes = waitForResult("bytes");
    EXPECT_EQ(bytes["callback"], core::Value("success"));
    EXPECT_EQ(bytes["answer"]["status_code"], core::Value(204));
    const auto echoed = server_.requestsTo("/echo");
    ASSERT_EQ(echoed.size(), 1u);
    EXPECT_EQ(echoed[0].method, "PUT");
    EXPECT_EQ(echoed[0].body, "hi");

    sawmill->asynchronouslyExecuteCommands(probe("overflow", {{"url", server_.urlString("/echo")},
                                                              {"body_type", "byte_array"},
                                                              {"body", core::Array{104, 256}}}));
    sawmill->asynchronouslyExecuteCommands(probe("no-url", {{"body", "x"}}));
    for (const char* tag : {"overflow", "no-url"}) {
        const auto refused = waitForResult(tag);
        EXPECT_EQ(refused["callback"], core::Value("failure")) << tag;
        EXPECT_EQ(refused["answer"]["error_code"], core::Value(11)) << tag;
        EXPECT_EQ(refused["answer"]["status_code"], core::Value(0)) << tag;
    }
    EXPECT_EQ(server_.requestsTo("/echo").size(), 1u);

    server_.script("/upload", {fixtures::LoopbackResponse::text("gone", 404)});
    sawmill->asynchronouslyExecuteCommands(marker("lost"));
    const auto failed = waitForResult("upload");
    EXPECT_EQ(failed["callback"], core::Value("failure"));
    EXPECT_EQ(failed["answer"]["status_code"], core::Value(404));
    EXPECT_EQ(failed["answer"]["error_code"], core::Value(11));
    EXPECT_EQ(failed["answer"]["error_message"], core::Value("Invalid response received."));
    EXPECT_EQ(failed["answer"]["response"], core::Value("gone"));
}

TEST_F(DZSawmillService, AFailedScriptIsNotInstalledAndTheUpdateIsRetried) {
    configure("/broken.js", "broken");
    const auto sawmill = DZSawmill::sharedInstance();
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] { return server_.requestsTo("/broken.js").size() == 1 && !sawmill->isUpdating(); },
        kLimit));
    EXPECT_FALSE(sawmill->commandExecutor());
    EXPECT_FALSE(sawmill->isLoaded());

    configure("/sawmill.js", "fixed");
    sawmill->updateIfNeeded();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return sawmill->isLoaded(); }, kLimit));
}

TEST_F(DZSawmillService, WebViewModeRunsTheScriptInAPageWithoutABaseURL) {
    DZRegisterSawmillAdViewCommandExecutor();
    fixtures::serveSawmillPageScript(server_, "/sawmill-page.js");
    configure("/sawmill-page.js", "webview", {{"use_js_core", false}});
    const auto sawmill = loadedSawmill();
    const auto wrapper =
        std::dynamic_pointer_cast<DZSawmillTimerCommandExecutor>(sawmill->commandExecutor());
    ASSERT_TRUE(wrapper);
    EXPECT_TRUE(std::dynamic_pointer_cast<DZSawmillAdViewCommandExecutor>(wrapper->executor()));
    sawmill->asynchronouslyExecuteCommands(marker("web"));
    const auto batches = waitForBatches(1);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].commands, marker("web"));
}

TEST_F(DZSawmillService, CommandsFromAnyThreadRunLaterOnTheScriptsThread) {
    configure("/sawmill.js", "threads");
    const auto sawmill = loadedSawmill();
    const auto wrapper =
        std::dynamic_pointer_cast<DZSawmillTimerCommandExecutor>(sawmill->commandExecutor());
    const auto engine =
        std::dynamic_pointer_cast<DZSawmillJSCoreCommandExecutor>(wrapper->executor());
    ASSERT_TRUE(engine);
    const auto sequence = [&] { return engine->context()->evaluate("sawmill.sequence").value(); };

    sawmill->asynchronouslyExecuteCommands(marker("main"));
    EXPECT_EQ(sequence(), core::Value(0)) << "not run inline on the script's own thread";

    std::thread other([&] {
        sawmill->asynchronouslyExecuteCommands(marker("other-1"));
        sawmill->asynchronouslyExecuteCommands(marker("other-2"));
    });
    other.join();
    const auto batches = waitForBatches(3);
    ASSERT_EQ(batches.size(), 3u);
    ASSERT_FALSE(batches[1].commands.empty());
    EXPECT_EQ(batches[1].commands[0]["params"], core::Value(event("other-1")));
    ASSERT_FALSE(batches[2].commands.empty());
    EXPECT_EQ(batches[2].commands[0]["params"], core::Value(event("other-2")));
    EXPECT_EQ(sequence(), core::Value(3));
}
