#include "ads/foundation/DZCSIReporter.h"

#include <gtest/gtest.h>

#include "support/ManualClockScope.h"

namespace {

using ads::DZCSIConfiguration;
using ads::DZCSIReporter;
using ads::DZCSITimeRecorder;

class DZCSIReporterTest : public testing::Test {
protected:
    std::shared_ptr<DZCSITimeRecorder> recorderWithOneTiming() {
        auto recorder = DZCSITimeRecorder::create("load_ad_ios");
        recorder->startTimingVariableWithName("rur_ios");
        clock_.advance(0.25);
        recorder->endTimingVariableWithName("rur_ios");
        return recorder;
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<DZCSIConfiguration> configuration_ =
        std::make_shared<DZCSIConfiguration>("svc");
};

TEST_F(DZCSIReporterTest, ServerSettingsOtherThanHTTPGiveNoURLAndKeepTheTimings) {
    for (const char* server : {"file:///tmp/csi", "javascript:alert(1)//csi", "ftp://host/csi",
                               "not a url", "/csi", ""}) {
        configuration_->setServer(server);
        auto recorder = recorderWithOneTiming();
        EXPECT_EQ(DZCSIReporter(configuration_).URLForTimeRecorder(recorder), std::nullopt)
            << server;
        EXPECT_EQ(recorder->completedVariables().size(), 1u) << server;
    }
}

TEST_F(DZCSIReporterTest, URLKeepsTheServerQueryAndTakesOutTheListedTimings) {
    configuration_->setServer("HTTPS://timing.example/csi?src=app");
    configuration_->setVersion(4);
    auto recorder = recorderWithOneTiming();
    recorder->setCustomizedParameterValue("override", "action");
    const auto url = DZCSIReporter(configuration_).URLForTimeRecorder(recorder);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->absoluteString(),
              "HTTPS://timing.example/csi?src=app&s=svc&v=4&action=override&it=rur_ios.250");
    EXPECT_TRUE(recorder->completedVariables().empty());
}

}  // namespace
