#include <gtest/gtest.h>

#include "SawmillTesting.h"
#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZBufferedSawmillLogger.h"
#include "ads/foundation/DZSawmillEvent.h"

using namespace ads;
using testsupport::paramsOf;

namespace {

const core::Value kExperiments("e1,e2");

core::Dictionary event(const char* name) {
    return *DZSawmillEvent(name, core::Dictionary{{"n", name}});
}

class DZSawmillLoggerTest : public ::testing::Test {
protected:
    void load() {
        executor_ = std::make_shared<testsupport::RecordingSawmillExecutor>();
        DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor_);
    }
    static void storeExperiments() {
        core::UserDefaults::standard()->setObject(std::string(DZSawmillLogger::kExperimentIDsKey),
                                                  kExperiments);
    }
    [[nodiscard]] std::vector<core::Array> calls() const { return executor_->calls(); }

    testsupport::SawmillSettingsScope settings_{
        core::Dictionary{{"enabled", true}, {"js_config", "cfg"}}};
    std::shared_ptr<testsupport::RecordingSawmillExecutor> executor_;
};

}  // namespace

TEST_F(DZSawmillLoggerTest, ExistsOnlyWhenEnabled) {
    EXPECT_TRUE(DZSawmillLogger::create());
    testsupport::SawmillSettingsScope::set(core::Dictionary{{"enabled", false}});
    EXPECT_FALSE(DZSawmillLogger::create());
    EXPECT_FALSE(DZBufferedSawmillLogger::create());
    core::UserDefaults::standard()->setObject(std::string(DZSawmillConfig::kUserDefaultsKey),
                                              core::Value("enabled"));
    EXPECT_FALSE(DZSawmillLogger::create());
}

TEST_F(DZSawmillLoggerTest, FirstEventAfterLoadSendsFramingThenBufferThenEvent) {
    storeExperiments();
    auto logger = DZSawmillLogger::create();
    ASSERT_TRUE(logger);
    logger->reportEvent(event("A"));
    logger->reportEvent(event("B"));
    load();
    logger->reportEvent(event("C"));

    const auto sent = calls();
    ASSERT_EQ(sent.size(), 4u);
    ASSERT_EQ(sent[0].size(), 1u);
    const core::Value env = paramsOf(sent[0])[0]["env"];
    EXPECT_TRUE(env["device"].dictionary());
    EXPECT_TRUE(env["network"].dictionary());
    EXPECT_EQ(env["sdk_version"], core::Value(DZRequest::sdkVersion()));
    ASSERT_FALSE(sent[1].empty());
    EXPECT_EQ(paramsOf(sent[1])[0], core::Value(core::Dictionary{{"experiments", kExperiments}}));
    const auto buffered = paramsOf(sent[2]);
    ASSERT_EQ(buffered.size(), 3u);
    EXPECT_EQ(
        buffered[0],
        core::Value(core::Dictionary{
            {"sawmill", core::Dictionary{{"created", core::Dictionary{{"js_config", "cfg"}}}}}}));
    EXPECT_EQ(buffered[1], core::Value(event("A")));
    EXPECT_EQ(buffered[2], core::Value(event("B")));
    ASSERT_EQ(sent[3].size(), 1u);
    EXPECT_EQ(paramsOf(sent[3])[0], core::Value(event("C")));
    for (const core::Array& call : sent) {
        for (const core::Value& command : call) {
            EXPECT_EQ(command["id"], core::Value(logger->sawmillID()));
        }
    }

    logger->reportEvent(event("D"));
    EXPECT_EQ(calls().size(), 5u);
    EXPECT_FALSE(logger->isBuffering());
}

TEST_F(DZSawmillLoggerTest, ReleaseBeforeTheScriptLoadsSendsNothing) {
    auto logger = DZSawmillLogger::create();
    logger->reportEvent(event("A"));
    logger.reset();
    load();
    EXPECT_TRUE(calls().empty());
}

TEST_F(DZSawmillLoggerTest, ReleaseAfterLoadFlushesTheBufferBeforeFinish) {
    storeExperiments();
    auto logger = DZSawmillLogger::create();
    const std::string id = logger->sawmillID();
    logger->reportEvent(event("A"));
    load();
    logger.reset();

    const auto sent = calls();
    ASSERT_EQ(sent.size(), 4u);
    ASSERT_FALSE(sent[0].empty());
    EXPECT_TRUE(paramsOf(sent[0])[0]["env"].dictionary());
    ASSERT_FALSE(sent[1].empty());
    EXPECT_EQ(paramsOf(sent[1])[0], core::Value(core::Dictionary{{"experiments", kExperiments}}));
    ASSERT_EQ(sent[2].size(), 2u);
    EXPECT_TRUE(paramsOf(sent[2])[0]["sawmill"]["created"].dictionary());
    EXPECT_EQ(paramsOf(sent[2])[1], core::Value(event("A")));
    ASSERT_FALSE(sent[3].empty());
    EXPECT_EQ(paramsOf(sent[3])[0], core::Value(*DZSawmillFlagEvent("sawmill", "finish")));
    EXPECT_EQ(sent[3][0]["id"], core::Value(id));
}

TEST_F(DZSawmillLoggerTest, ExperimentsAreSentOnceTheyAreStored) {
    auto logger = DZSawmillLogger::create();
    load();
    logger->reportEvent(event("A"));
    auto sent = calls();
    ASSERT_EQ(sent.size(), 3u);  // env, [created], A
    EXPECT_FALSE(logger->experimentIDsReported());

    storeExperiments();
    logger->reportEvent(event("B"));
    logger->reportEvent(event("C"));
    sent = calls();
    ASSERT_EQ(sent.size(), 6u);
    ASSERT_FALSE(sent[3].empty());
    EXPECT_EQ(paramsOf(sent[3])[0], core::Value(core::Dictionary{{"experiments", kExperiments}}));
    ASSERT_FALSE(sent[4].empty());
    EXPECT_EQ(paramsOf(sent[4])[0], core::Value(event("B")));
    ASSERT_FALSE(sent[5].empty());
    EXPECT_EQ(paramsOf(sent[5])[0], core::Value(event("C")));
    EXPECT_TRUE(logger->environmentReported());
}

TEST_F(DZSawmillLoggerTest, BufferedLoggerKeepsCommandsInOrderUntilReported) {
    auto buffer = DZBufferedSawmillLogger::create();
    ASSERT_TRUE(buffer);
    buffer->bufferEvent(std::nullopt);
    buffer->bufferEvent(core::Dictionary{});
    buffer->bufferEvent(event("A"));
    buffer->bufferParameters(core::Array{core::Dictionary{{"id", "x"}}});
    const auto commands = buffer->bufferedCommands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0]["id"], core::Value("buffered"));
    EXPECT_EQ(commands[0]["params"], core::Value(event("A")));

    auto logger = DZSawmillLogger::create();
    load();
    buffer->reportBufferedEventsToLogger(*logger);
    EXPECT_TRUE(buffer->bufferedCommands().empty());
    const auto sent = calls();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].size(), 2u);
    EXPECT_EQ(sent[0][0]["id"], core::Value(logger->sawmillID()));
    EXPECT_EQ(sent[0][1]["id"], core::Value(logger->sawmillID()));
    buffer->reportBufferedEventsToLogger(*logger);
    EXPECT_EQ(calls().size(), 1u);
}
