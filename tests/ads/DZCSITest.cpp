#include "ads/foundation/DZCSI.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "CSITesting.h"
#include "ads/core/request/DZRequest.h"
#include "support/ManualClockScope.h"

namespace {

using ads::DZCSI;
using ads::DZCSIConfiguration;
using testsupport::CSISamplingScope;

std::shared_ptr<DZCSIConfiguration> reportingConfiguration() {
    auto configuration = std::make_shared<DZCSIConfiguration>("dzmob_sdk");
    configuration->setServer("");  // nothing leaves the machine
    return configuration;
}

TEST(DZCSIConfigurationTest, SamplingDecidesOnceAtTheRateBoundaries) {
    struct Case {
        float probability;
        std::int64_t draw;
        bool reports;
    };
    const std::vector<Case> cases = {
        {0.05f, 0, true},   {0.05f, 49, true}, {0.05f, 50, false}, {0.05f, 999, false},
        {0.0f, 0, false},   {1.0f, 999, true}, {1.0f, 0, true},    {0.5f, 499, true},
        {0.5f, 500, false}, {-1.0f, 0, false}, {7.0f, 999, true},
    };
    for (const auto& c : cases) {
        CSISamplingScope sampling({c.draw});
        DZCSIConfiguration configuration("dzmob_sdk");
        EXPECT_TRUE(configuration.reportingEnabled());
        configuration.setReportingProbability(c.probability);
        EXPECT_EQ(configuration.reportingEnabled(), c.reports)
            << "p=" << c.probability << " draw=" << c.draw;
        EXPECT_EQ(sampling.drawsMade(), 1u);
    }
}

TEST(DZCSIConfigurationTest, DefaultConfigurationReadsTheServerSettings) {
    {
        CSISamplingScope sampling({49, 50});
        auto first = DZCSIConfiguration::defaultConfiguration();
        auto second = DZCSIConfiguration::defaultConfiguration();
        EXPECT_TRUE(first->reportingEnabled());  // 0.05 when nothing is stored
        EXPECT_FALSE(second->reportingEnabled());
        EXPECT_EQ(first->server(), DZCSIConfiguration::kDefaultServer);
        EXPECT_EQ(first->serviceName(), "dzmob_sdk");
        EXPECT_EQ(first->version(), 3);
    }
    {
        CSISamplingScope sampling({899, 900});
        auto defaults = core::UserDefaults::standard();
        defaults->setDouble(std::string(DZCSIConfiguration::kReportingProbabilityKey), 0.9);
        defaults->setString(std::string(DZCSIConfiguration::kReportingURLKey),
                            "https://timing.example/report");
        EXPECT_TRUE(DZCSIConfiguration::defaultConfiguration()->reportingEnabled());
        auto second = DZCSIConfiguration::defaultConfiguration();
        EXPECT_FALSE(second->reportingEnabled());
        EXPECT_EQ(second->server(), "https://timing.example/report");
    }
}

TEST(DZCSIConfigurationTest, DeviceVersionFromTheMachineCode) {
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine("iPhone10,6"), "iPhone/10.6");
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine("iPhone9,3"), "iPhone/9.3");
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine("box,a,b"), "box.a.b");
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine("7,1"), "/7.1");
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine(""), "Unknown");
    EXPECT_EQ(DZCSIConfiguration::deviceVersionStringForMachine(std::nullopt), "Unknown");
}

TEST(DZCSITest, NoRecordersWhileNotSampledOrWithoutAction) {
    auto configuration = reportingConfiguration();
    configuration->setReportingEnabled(false);
    EXPECT_EQ(DZCSI::create(configuration)->timeRecorderForAction("load_ad_ios"), nullptr);
    EXPECT_EQ(DZCSI::create(reportingConfiguration())->timeRecorderForAction(""), nullptr);
}

TEST(DZCSITest, NewRecorderCarriesTheSDKVersionAndLaterLookupsTheQueryID) {
    auto hub = DZCSI::create(reportingConfiguration());
    hub->setDWSQueryID("q-1");
    auto recorder = hub->timeRecorderForAction("load_ad_ios");
    ASSERT_NE(recorder, nullptr);
    const std::string version = ads::DZRequest::sdkVersion();
    EXPECT_EQ(recorder->experimentIDs(), std::vector<std::string>{version});
    EXPECT_EQ(recorder->customizedParameters(), (core::Dictionary{{"sdkVersion", version}}));

    hub->setDWSQueryID("q-2");
    EXPECT_EQ(hub->timeRecorderForAction("load_ad_ios"), recorder);
    EXPECT_EQ(recorder->customizedParameters()["gqi"].stringValue(), "q-2");
    EXPECT_EQ(recorder->experimentIDs().size(), 1u);
    EXPECT_NE(hub->timeRecorderForAction("other"), recorder);
}

TEST(DZCSITest, ConcurrentLookupsOfOneActionShareOneRecorder) {
    constexpr int kThreads = 8;
    for (int round = 0; round < 20; ++round) {
        auto hub = DZCSI::create(reportingConfiguration());
        std::vector<std::shared_ptr<ads::DZCSITimeRecorder>> found(kThreads);
        std::latch ready(kThreads);
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&, i] {
                ready.arrive_and_wait();
                found[i] = hub->timeRecorderForAction("load_ad_ios");
                const std::string key = "t" + std::to_string(i);
                found[i]->addCompletedVariable(ads::DZCSIVariableTiming::create(key, 1.0));
            });
        }
        for (auto& thread : threads) thread.join();
        const auto registered = hub->timeRecorderForAction("load_ad_ios");
        for (const auto& recorder : found) ASSERT_EQ(recorder, registered) << "round " << round;
        EXPECT_EQ(registered->completedVariables().size(), static_cast<size_t>(kThreads));
        EXPECT_EQ(registered->experimentIDs().size(), 1u);
    }
}

TEST(DZCSITest, TimestampsByLabelUntilTheNextReport) {
    testsupport::ManualClockScope clock;
    clock->setWallSeconds(1700000000.1234);
    auto hub = DZCSI::create(reportingConfiguration());
    hub->recordTimestampForLabel("start");
    hub->setTimestamp(-5, "given");
    hub->setTimestamp(1, "");
    EXPECT_EQ(hub->timestampForLabel("start"), 1700000000123);
    EXPECT_EQ(hub->timestampForLabel("given"), -5);
    EXPECT_EQ(hub->timestampForLabel("absent"), 0);
    EXPECT_EQ(hub->timestampForLabel(""), 0);

    hub->sendReport();
    EXPECT_EQ(hub->timestampForLabel("start"), 0);
}

}  // namespace
