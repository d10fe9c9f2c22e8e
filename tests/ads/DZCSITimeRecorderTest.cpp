#include "ads/foundation/DZCSITimeRecorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "core/NotificationCenter.h"
#include "core/Random.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"

namespace {

using ads::DZCSITimeRecorder;
using ads::DZCSIVariableTiming;

class DZCSITimeRecorderTest : public testing::Test {
protected:
    void TearDown() override { core::Random::install(nullptr); }

    // key -> (name, length in ms) of the completed timings, in order.
    static std::vector<std::tuple<std::string, std::string, long long>>
    completed(const DZCSITimeRecorder& recorder) {
        std::vector<std::tuple<std::string, std::string, long long>> result;
        for (const auto& variable : recorder.completedVariables()) {
            result.emplace_back(variable.key, variable.timing->name(),
                                std::llround(variable.timing->length() * 1000.0));
        }
        return result;
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<DZCSITimeRecorder> recorder_ = DZCSITimeRecorder::create("load_ad_ios");
};

TEST_F(DZCSITimeRecorderTest, EndingMovesTheTimingToCompletedWithItsLength) {
    recorder_->startTimingVariableWithName("rur_ios");
    clock_.advance(0.153);
    recorder_->endTimingVariableWithName("rur_ios");

    EXPECT_TRUE(recorder_->ongoingVariables().empty());
    const auto done = completed(*recorder_);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], std::make_tuple(std::string("rur_ios"), std::string("rur_ios"), 153LL));
    EXPECT_TRUE(recorder_->completedVariables()[0].timing->isValid());
}

TEST_F(DZCSITimeRecorderTest, EndWithoutStartCancelAndMissingNamesLeaveNothing) {
    recorder_->endTimingVariableWithName("never_started");
    recorder_->startTimingVariableWithName("");
    recorder_->startTimingVariableWithName("name", "");
    recorder_->startTimingVariableWithName("cancelled");
    recorder_->cancelTimingVariableWithName("cancelled");
    clock_.advance(1);
    recorder_->endTimingVariableWithName("cancelled");

    EXPECT_TRUE(recorder_->ongoingVariables().empty());
    EXPECT_TRUE(recorder_->completedVariables().empty());
    EXPECT_EQ(recorder_->durationAfterEndTimingVariableWithName("never_started"), 0);
    EXPECT_EQ(recorder_->durationAfterEndTimingVariableWithName(""), 0);
}

TEST_F(DZCSITimeRecorderTest, DurationRoundsHalvesAwayFromZero) {
    recorder_->startTimingVariableWithName("a");
    recorder_->startTimingVariableWithName("b");
    clock_.advance(0.0125);  // 12.5 ms
    EXPECT_EQ(recorder_->durationAfterEndTimingVariableWithName("a"), 13);
    clock_.advance(0.0014);  // 13.9 ms
    EXPECT_EQ(recorder_->durationAfterEndTimingVariableWithName("b"), 14);
    EXPECT_EQ(completed(*recorder_).size(), 2u);
}

TEST_F(DZCSITimeRecorderTest, SecondEndOfTheSameKeyLandsUnderARandomSuffix) {
    core::Random::install(std::make_shared<core::ScriptedRandom>(
        std::vector<std::uint32_t>{4000000000u, 4000000000u}));
    recorder_->startTimingVariableWithName("jsf_ios");
    clock_.advance(0.010);
    recorder_->endTimingVariableWithName("jsf_ios");
    recorder_->startTimingVariableWithName("jsf_ios");
    clock_.advance(0.020);
    recorder_->endTimingVariableWithName("jsf_ios");
    // The same suffix drawn again must not overwrite the second timing.
    recorder_->startTimingVariableWithName("jsf_ios");
    clock_.advance(0.030);
    recorder_->endTimingVariableWithName("jsf_ios");

    const auto done = completed(*recorder_);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0], std::make_tuple(std::string("jsf_ios"), std::string("jsf_ios"), 10LL));
    EXPECT_EQ(done[1],
              std::make_tuple(std::string("jsf_ios4000000000"), std::string("jsf_ios"), 20LL));
    EXPECT_EQ(done[2],
              std::make_tuple(std::string("jsf_ios4000000001"), std::string("jsf_ios"), 30LL));
}

TEST_F(DZCSITimeRecorderTest, RepeatedDrawsCountPastEveryTakenKeyAndOverwriteNothing) {
    core::Random::install(std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{7}));
    auto inTheWay = DZCSIVariableTiming::create("other", 1.0);
    inTheWay->setLength(0.5);
    recorder_->addCompletedVariable(inTheWay, "mlf9");
    const auto endOne = [&](double seconds) {
        recorder_->startTimingVariableWithName("mlf");
        clock_.advance(seconds);
        recorder_->endTimingVariableWithName("mlf");
    };
    for (int i = 1; i <= 5; ++i) endOne(0.001 * i);
    EXPECT_EQ(completed(*recorder_), (decltype(completed(*recorder_)){{"mlf9", "other", 500},
                                                                      {"mlf", "mlf", 1},
                                                                      {"mlf7", "mlf", 2},
                                                                      {"mlf8", "mlf", 3},
                                                                      {"mlf10", "mlf", 4},
                                                                      {"mlf11", "mlf", 5}}));

    // Keys freed meanwhile may be skipped, but no two timings share one.
    recorder_->removeCompletedVariableForKey("mlf8");
    recorder_->removeCompletedVariableForKey("mlf");
    for (int i = 6; i <= 9; ++i) endOne(0.001 * i);
    const auto done = completed(*recorder_);
    ASSERT_EQ(done.size(), 8u);
    std::set<std::string> keys;
    long long total = 0;
    for (const auto& [key, name, milliseconds] : done) {
        keys.insert(key);
        total += milliseconds;
    }
    EXPECT_EQ(keys.size(), done.size());
    EXPECT_EQ(total, 500 + 2 + 4 + 5 + 6 + 7 + 8 + 9);
}

TEST_F(DZCSITimeRecorderTest, ResigningActiveInvalidatesOnlyRunningTimings) {
    recorder_->startTimingVariableWithName("finished");
    recorder_->startTimingVariableWithName("spanning");
    clock_.advance(0.5);
    recorder_->endTimingVariableWithName("finished");
    (void)recorder_->completedVariables();  // the end has run
    core::NotificationCenter::defaultCenter().post(ui::Application::WillResignActiveNotification);
    clock_.advance(0.5);
    recorder_->endTimingVariableWithName("spanning");

    const auto variables = recorder_->completedVariables();
    ASSERT_EQ(variables.size(), 2u);
    EXPECT_TRUE(variables[0].timing->isValid());
    EXPECT_FALSE(variables[1].timing->isValid());
    EXPECT_EQ(variables[1].timing->start(), -1.0);

    // A timing whose length is taken back runs, and watches, again.
    const auto timing = variables[0].timing;
    const double start = timing->start();
    timing->setLength(DZCSIVariableTiming::kRunning);
    core::NotificationCenter::defaultCenter().post(ui::Application::WillResignActiveNotification);
    EXPECT_EQ(timing->start(), -1.0);
    EXPECT_GT(start, 0.0);
}

TEST_F(DZCSITimeRecorderTest, ReportedTimingsAreRemovedByIdentityNotByKey) {
    auto first = DZCSIVariableTiming::create("x", 1.0);
    first->setLength(0.5);
    auto twin = DZCSIVariableTiming::create("x", 1.0);  // equal in every field
    twin->setLength(0.5);
    recorder_->addCompletedVariable(first);
    recorder_->addCompletedVariable(twin, "x_again");
    recorder_->removeCompletedVariables({first});
    auto remaining = recorder_->completedVariables();
    ASSERT_EQ(remaining.size(), 1u);
    EXPECT_EQ(remaining[0].timing, twin);

    // A timing stored under a reported one's key meanwhile survives its removal.
    auto replacement = DZCSIVariableTiming::create("x", 2.0);
    replacement->setLength(0.25);
    recorder_->addCompletedVariable(twin, "x");
    recorder_->addCompletedVariable(replacement, "x");
    recorder_->removeCompletedVariables({twin});
    remaining = recorder_->completedVariables();
    ASSERT_EQ(remaining.size(), 1u);
    EXPECT_EQ(remaining[0].key, "x");
    EXPECT_EQ(remaining[0].timing, replacement);
}

}  // namespace
