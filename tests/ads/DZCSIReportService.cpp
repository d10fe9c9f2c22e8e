#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "CSITesting.h"
#include "DeviceSignalsTesting.h"
#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZCSIReporter.h"
#include "core/Bundle.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"

namespace {

using ads::DZCSI;
using ads::DZCSIConfiguration;
using testsupport::CSISamplingScope;

constexpr double kNetworkLimit = 10;

class DZCSIReportService : public testing::Test {
protected:
    // Hubs made from here on report to the local server.
    void pointReportsAtServer() {
        core::UserDefaults::standard()->setString(std::string(DZCSIConfiguration::kReportingURLKey),
                                                  server_.urlString("/csi"));
    }

    [[nodiscard]] bool waitForReports(size_t count) const {
        return server_.waitForRequestsTo("/csi", count, kNetworkLimit);
    }

    [[nodiscard]] std::vector<std::string> reportedActions() const {
        std::vector<std::string> actions;
        for (const auto& request : server_.requestsTo("/csi")) {
            actions.push_back(request.queryValue("action").value_or("<none>"));
        }
        return actions;
    }

    // A report of one 1 ms timing from a hub of its own that reports.
    void sendSentinel() {
        CSISamplingScope sampling({0});
        pointReportsAtServer();
        auto hub = DZCSI::create();
        auto recorder = hub->timeRecorderForAction("sentinel");
        recorder->startTimingVariableWithName("x");
        clock_.advance(0.001);
        recorder->endTimingVariableWithName("x");
        hub->sendReport();
    }

    fixtures::AdServer server_;
    testsupport::ManualClockScope clock_;
};

TEST_F(DZCSIReportService, ReportQueryAndUserAgentForTheFixtureDevice) {
    testsupport::DeviceProfileOverride device(
        R"({"name": "csi", "screen": {"width": 375, "height": 812}, "machine": "phone10,6",
            "system": {"name": "iOS", "version": "12.4.1"}, "locale": "zh_CN"})");
    ASSERT_EQ(ui::DeviceProfile::current().name, "csi");
    CSISamplingScope sampling({49});  // default rate 0.05: 49 is the last draw that reports
    pointReportsAtServer();
    auto hub = DZCSI::create();
    hub->setDWSQueryID("gq-7");
    auto recorder = hub->timeRecorderForAction("load_ad_ios");
    ASSERT_NE(recorder, nullptr);
    ASSERT_EQ(hub->timeRecorderForAction("load_ad_ios"), recorder);
    recorder->addExperimentID("318475");
    recorder->startTimingVariableWithName("rur_ios");
    clock_.advance(0.153);
    recorder->endTimingVariableWithName("rur_ios");
    recorder->startTimingVariableWithName("jsf_ios");
    clock_.advance(0.047);
    recorder->endTimingVariableWithName("jsf_ios");
    hub->sendReport();

    ASSERT_TRUE(waitForReports(1));
    const auto request = server_.requestsTo("/csi").at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.rawQuery,
              "s=dzmob_sdk&v=3&action=load_ad_ios&sdkVersion=duzo-sdk-i-v7.22.0&gqi=gq-7"
              "&e=duzo-sdk-i-v7.22.0%2C318475&it=rur_ios.153%2Cjsf_ios.47");
    const auto bundle = core::Bundle::main();
    const std::string app = bundle->objectForInfoDictionaryKey("CFBundleName").stringValue();
    const std::string build = bundle->objectForInfoDictionaryKey("CFBundleVersion").stringValue();
    ASSERT_FALSE(app.empty());
    EXPECT_EQ(request.header("User-Agent"),
              "DozuzaCsi/1.0 (phone/10.6; U; CPU iOS 12_4_1; zh-CN) " + app + "/" + build);
}

TEST_F(DZCSIReportService, CompletionGetsTheAnswerOnTheMainThread) {
    CSISamplingScope sampling({0});
    pointReportsAtServer();
    server_.serve("/csi", fixtures::LoopbackResponse::empty(503));
    auto recorder = ads::DZCSITimeRecorder::create("load_ad_ios");
    recorder->startTimingVariableWithName("nwl_ios");
    clock_.advance(0.002);
    recorder->endTimingVariableWithName("nwl_ios");

    std::optional<int> status;
    bool onMainThread = false;
    ads::DZCSIReporter(DZCSIConfiguration::defaultConfiguration())
        .reportTimeRecorder(recorder, [&](const auto& response, const auto&) {
            onMainThread = core::RunLoop::isMainThread();
            status = response ? response->statusCode() : -1;
        });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return status.has_value(); }, kNetworkLimit));
    EXPECT_EQ(*status, 503);  // reported to the caller, never retried
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(server_.requestsTo("/csi").size(), 1u);
    EXPECT_TRUE(recorder->completedVariables().empty());
}

TEST_F(DZCSIReportService, DuplicateKeysAndLeftoversOverSuccessiveReports) {
    CSISamplingScope sampling({0}, {77});
    pointReportsAtServer();
    auto hub = DZCSI::create();
    auto recorder = hub->timeRecorderForAction("load_ad_ios");
    ASSERT_NE(recorder, nullptr);
    recorder->startTimingVariableWithName("spanning");
    for (const double seconds : {0.010, 0.020}) {
        recorder->startTimingVariableWithName("jsf_ios");
        clock_.advance(seconds);
        recorder->endTimingVariableWithName("jsf_ios");
    }
    (void)recorder->completedVariables();
    core::NotificationCenter::defaultCenter().post(ui::Application::WillResignActiveNotification);
    recorder->endTimingVariableWithName("spanning");
    std::vector<std::string> keys;
    for (const auto& variable : recorder->completedVariables()) keys.push_back(variable.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"jsf_ios", "jsf_ios77", "spanning"}));

    hub->sendReport();
    ASSERT_TRUE(waitForReports(1));
    EXPECT_EQ(server_.requestsTo("/csi")[0].queryValue("it"), "jsf_ios.10,jsf_ios.20");

    // Only the invalid leftover remains: an empty "it".
    hub->sendReport();
    ASSERT_TRUE(waitForReports(2));
    EXPECT_EQ(server_.requestsTo("/csi")[1].queryValue("it"), "");

    recorder->startTimingVariableWithName("rur_ios");
    clock_.advance(0.005);
    recorder->endTimingVariableWithName("rur_ios");
    hub->sendReport();
    ASSERT_TRUE(waitForReports(3));
    EXPECT_EQ(server_.requestsTo("/csi")[2].queryValue("it"), "rur_ios.5");
    ASSERT_EQ(recorder->completedVariables().size(), 1u);
    EXPECT_EQ(recorder->completedVariables()[0].key, "spanning");
}

TEST_F(DZCSIReportService, SamplingBoundariesDecideWhetherAReportIsSent) {
    struct Case {
        const char* action;
        std::optional<double> probability;  // none: the default 0.05
        std::int64_t draw;
        bool reports;
    };
    const std::vector<Case> cases = {
        {"at_rate", std::nullopt, 49, true},
        {"above_rate", std::nullopt, 50, false},
        {"below_rate", std::nullopt, 0, true},
        {"never", 0.0, 0, false},
        {"always", 1.0, 999, true},
        {"half_below", 0.5, 499, true},
        {"half_at", 0.5, 500, false},
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        CSISamplingScope sampling({c.draw});
        pointReportsAtServer();
        if (c.probability) {
            core::UserDefaults::standard()->setDouble(
                std::string(DZCSIConfiguration::kReportingProbabilityKey), *c.probability);
        }
        auto hub = DZCSI::create();
        auto recorder = hub->timeRecorderForAction(c.action);
        EXPECT_EQ(recorder != nullptr, c.reports) << c.action;
        if (!recorder) {
            // A reporter of the same configuration sends nothing either.
            recorder = ads::DZCSITimeRecorder::create(c.action);
        }
        recorder->startTimingVariableWithName("x");
        clock_.advance(0.001);
        recorder->endTimingVariableWithName("x");
        auto completed = std::make_shared<bool>(false);
        ads::DZCSIReporter(hub->configuration())
            .reportTimeRecorder(recorder,
                                [completed](const auto&, const auto&) { *completed = true; });
        if (c.reports) {
            expected.push_back(c.action);
            ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return *completed; }, kNetworkLimit));
        } else {
            EXPECT_FALSE(*completed) << c.action;
            EXPECT_EQ(recorder->completedVariables().size(), 1u) << c.action;
        }
    }
    sendSentinel();
    expected.push_back("sentinel");
    ASSERT_TRUE(waitForReports(expected.size()));
    EXPECT_EQ(reportedActions(), expected);
}

}  // namespace
