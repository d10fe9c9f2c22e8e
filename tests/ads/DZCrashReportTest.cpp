#include "ads/foundation/DZCrashReport.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/UserDefaults.h"

namespace crashfixture {
// Exported (the test binary links with -rdynamic), so the loader names it.
__attribute__((noinline)) int plainFunction(int count) {
    volatile int sum = 0;
    for (int i = 0; i < count; ++i) sum = sum + i;
    return sum;
}
}  // namespace crashfixture

namespace {

using ads::DZCrashFrame;
using ads::DZCrashReport;

std::string queryValue(const core::URL& url, std::string_view name) {
    for (const auto& item : url.queryItems()) {
        if (item.name == name) return item.value.value_or("");
    }
    return "<absent>";
}

std::vector<std::string> queryNames(const core::URL& url) {
    std::vector<std::string> names;
    for (const auto& item : url.queryItems()) names.push_back(item.name);
    return names;
}

const std::vector<DZCrashFrame> kPlainStack = {
    {"libc.so.6", "abort"}, {"app", "main"}, {"libc.so.6", "__libc_start_main"}};

TEST(DZCrashReportTest, ReasonNamingTheSDKIsSentWithAddressesMasked) {
    const DZCrashReport report("std::logic_error",
                               "-[DZSlot loadRequest:]: bad state of <DZSlot: 0x7fa3c1d0e2f0>",
                               kPlainStack);
    EXPECT_TRUE(report.implicatesSDK());
    EXPECT_EQ(report.maskedReason(), "-[DZSlot loadRequest:]: bad state of <DZSlot: #>");
    EXPECT_EQ(report.crashLocation(), std::nullopt);

    EXPECT_EQ(DZCrashReport("e", "ZOD view 0xAB and 0Xdeadbeef, 0x", {}).maskedReason(),
              "ZOD view # and #, 0x");
    EXPECT_EQ(DZCrashReport("e", "no address in DZAdView", {}).maskedReason(),
              "no address in DZAdView");
}

TEST(DZCrashReportTest, FrameNamingTheSDKImplicatesItWithTheReasonRedacted) {
    const DZCrashReport report("std::runtime_error", "index 0x10 out of range",
                               {{"libc.so.6", "abort"},
                                {"app", "main"},
                                {"app", "ads::DZAdView::executeJavaScript(std::string const&)"},
                                {"app", "ads::DZSlot::load()"}});
    EXPECT_TRUE(report.implicatesSDK());
    EXPECT_EQ(report.maskedReason(), "redacted");
    EXPECT_EQ(report.crashLocation(), "ads::DZAdView::executeJavaScript(std::string const&)");

    // A function of namespace ads counts even without the prefix.
    EXPECT_EQ(DZCrashReport("e", std::nullopt, {{"app", "ads::detail::parse()"}}).crashLocation(),
              "ads::detail::parse()");
    EXPECT_EQ(DZCrashReport("e", std::nullopt, {{"app", "roads::x()"}}).crashLocation(),
              std::nullopt);
}

TEST(DZCrashReportTest, NothingOfTheSDKMakesNoURL) {
    const DZCrashReport report("std::bad_alloc", "std::bad_alloc (dz lower case)", kPlainStack);
    EXPECT_FALSE(report.implicatesSDK());
    EXPECT_EQ(report.URLWithEndpoint("https://reports.example/crash"), std::nullopt);
    EXPECT_FALSE(DZCrashReport(std::nullopt, std::nullopt, {}).implicatesSDK());
}

TEST(DZCrashReportTest, StackTextKeepsWholeFramesBelowSixHundredUnits) {
    const std::string image(100, 'i');
    auto frameOfLength = [&](size_t length) {
        return DZCrashFrame{image, "DZ" + std::string(length - image.size() - 3, 's')};
    };
    // 300 + 1 + 300 reaches 600: the first line only.
    ASSERT_TRUE(DZCrashReport("e", {}, {frameOfLength(300), frameOfLength(300)}).stackText());
    EXPECT_EQ(DZCrashReport("e", {}, {frameOfLength(300), frameOfLength(300)}).stackText()->size(),
              300u);
    // 299 + 1 + 299 = 599 stays below.
    const auto two =
        DZCrashReport("e", {}, {frameOfLength(299), frameOfLength(299), frameOfLength(120)})
            .stackText();
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(two->size(), 599u);
    EXPECT_EQ(two->find('\n'), 299u);
    // A first frame of 600 leaves no stack text; the report says "error".
    const DZCrashReport tooLong("e", {}, {frameOfLength(600), frameOfLength(120)});
    EXPECT_EQ(tooLong.stackText(), std::nullopt);
    const auto url = tooLong.URLWithEndpoint("https://reports.example/crash");
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(queryValue(*url, "excst"), "error");
    // Units are UTF-16 code units, not bytes: 150 three-byte characters are 150 units.
    std::string wide;
    for (int i = 0; i < 150; ++i) wide.append("\xe6\xb5\x8b");
    const DZCrashReport cjk("e", {}, {{"app", "DZ" + wide}, {"app", "DZ" + wide}});
    const std::string cjkText = cjk.stackText().value_or("");
    EXPECT_EQ(std::count(cjkText.begin(), cjkText.end(), '\n'), 1);
}

TEST(DZCrashReportTest, URLParametersInOrderWithExperimentIDsLast) {
    const DZCrashReport report("std::logic_error", "DZSlot 0x1f",
                               {{"app", "ads::DZSlot::load()"}, {"libc.so.6", ""}});
    auto url = report.URLWithEndpoint("https://reports.example/crash");
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(queryNames(*url),
              (std::vector<std::string>{"os", "appid", "api", "js", "device", "dev-build", "excn",
                                        "excr", "exclc", "excst", "id"}));
    EXPECT_EQ(queryValue(*url, "excn"), "std::logic_error");
    EXPECT_EQ(queryValue(*url, "excr"), "DZSlot #");
    EXPECT_EQ(queryValue(*url, "exclc"), "ads::DZSlot::load()");
    EXPECT_EQ(queryValue(*url, "excst"), "app,ads::DZSlot::load()\nlibc.so.6,");
    EXPECT_EQ(queryValue(*url, "id"), "dzmob-apps-report-exception");
    EXPECT_EQ(queryValue(*url, "js"), "duzo-sdk-i-v7.22.0");
    EXPECT_EQ(queryValue(*url, "dev-build"), "0");

    auto defaults = core::UserDefaults::standard();
    defaults->setString(std::string(DZCrashReport::kExperimentIDStringKey), "11,22");
    url = DZCrashReport("e", std::nullopt, {{"app", "DZ"}}).URLWithEndpoint("http://r.example/c");
    defaults->removeObjectForKey(DZCrashReport::kExperimentIDStringKey);
    ASSERT_TRUE(url.has_value());
    ASSERT_FALSE(queryNames(*url).empty());
    EXPECT_EQ(queryNames(*url).back(), "eids");
    EXPECT_EQ(queryValue(*url, "eids"), "11,22");
    EXPECT_EQ(queryValue(*url, "excn"), "e");
    EXPECT_EQ(queryValue(*url, "excr"), "redacted");

    EXPECT_EQ(report.URLWithEndpoint("file:///tmp/crash"), std::nullopt);
}

TEST(DZCrashReportTest, DevelopmentBuildFlagFromTheProvisioningProfile) {
    const std::string debug =
        "<dict><key>get-task-allow</key>\n\t<true/>\n\t<key>team</key></dict>";
    EXPECT_TRUE(DZCrashReport::developmentBuildFlag(debug));
    EXPECT_FALSE(DZCrashReport::developmentBuildFlag(
        "<key>get-task-allow</key><false/><key>x</key><true/>"));
    EXPECT_FALSE(DZCrashReport::developmentBuildFlag("<key>get-task-allow</key><true/>"));
    EXPECT_FALSE(DZCrashReport::developmentBuildFlag("<key>other</key><true/><x>"));
    EXPECT_FALSE(DZCrashReport::developmentBuildFlag(""));
    EXPECT_FALSE(DZCrashReport::developmentBuildFlag(std::nullopt));
    EXPECT_FALSE(DZCrashReport::isDevelopmentBuild());  // the app bundle has no profile
}

TEST(DZCrashReportTest, SymbolicateNamesImagesAndSymbols) {
    // The address just past the start stands for a return address inside it.
    void* inside = reinterpret_cast<char*>(&crashfixture::plainFunction) + 4;
    const auto frames = DZCrashReport::symbolicate({inside, nullptr});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (DZCrashFrame{"app", "crashfixture::plainFunction(int)"}));
    EXPECT_EQ(frames[1], (DZCrashFrame{"missing", "unavailable"}));
}

TEST(DZCrashReportTest, CaptureNeedsAnExceptionInFlight) {
    EXPECT_EQ(DZCrashReport::captureCurrentException(), std::nullopt);
    try {
        throw std::out_of_range("DZ index");
    } catch (...) {
        const auto report = DZCrashReport::captureCurrentException();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->name(), "std::out_of_range");
        EXPECT_EQ(report->reason(), "DZ index");
    }
    try {
        throw 42;
    } catch (...) {
        const auto report = DZCrashReport::captureCurrentException();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->name(), "int");
        EXPECT_EQ(report->reason(), std::nullopt);
    }
}

}  // namespace
