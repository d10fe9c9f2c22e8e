#include "ads/foundation/DZCrashReporter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "ads/foundation/DZDevice.h"
#include "ads/web/net/DZPinger.h"
#include "core/Bundle.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"
#include "support/TestEnvironment.h"

// Throwers with exported names: a crash inside the SDK and one outside it.
// Each runs as a thread's whole body, so nothing catches what it throws.
// The compiler moves a throw into a cold part of its function that the
// loader cannot name, so the SDK's frame is the caller of the throwing one.
namespace ads::crashfixture {
__attribute__((noinline)) void raise(const char* reason) {
    if (reason) throw std::logic_error(reason);
}
__attribute__((noinline)) void explode(const char* reason) {
    raise(reason);
    asm volatile("");
}
}  // namespace ads::crashfixture

namespace crashfixture {
__attribute__((noinline)) void explodeOutsideTheSDK(const char* reason) {
    if (reason) throw std::runtime_error(reason);
}

[[noreturn]] void previousTerminateHandler() {
    std::fputs("previous terminate handler ran\n", stderr);
    std::abort();
}
}  // namespace crashfixture

namespace {

using ads::DZCrashReporter;

constexpr const char* kPreviousHandlerRan = "previous terminate handler ran";
// How a death test's child, a new run of this binary with a home of its
// own, finds the parent's user defaults file and ad server.
constexpr const char* kParentHomeVariable = "VANTOR_CRASH_TEST_PARENT_HOME";
constexpr const char* kParentEndpointVariable = "VANTOR_CRASH_TEST_PARENT_ENDPOINT";

bool inDeathTestChild() {
    return !GTEST_FLAG_GET(internal_run_death_test).empty();
}

void adoptParentEnvironment() {
    const char* home = std::getenv(kParentHomeVariable);
    const char* endpoint = std::getenv(kParentEndpointVariable);
    if (!home || !endpoint) return;
    core::UserDefaults::resetSharedInstancesForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(testsupport::testHome(), ignored);  // the child ends by abort
    setenv("VANTOR_HOME", home, 1);
    DZCrashReporter::setEndpointForTesting(endpoint);
}

// Runs in the death test's child: the reporter is made there, over the
// handler the child installs first.
void crashOnAThread(void (*thrower)(const char*), const char* reason, bool reporting = true) {
    adoptParentEnvironment();
    std::set_terminate(&crashfixture::previousTerminateHandler);
    DZCrashReporter::sharedInstance()->setReportingEnabled(reporting);
    std::thread(thrower, reason).join();
}

class DZCrashReporterService : public testing::Test {
protected:
    // Death tests run in a new process: forking one with threads running
    // can leave it stuck on a lock some other thread held.
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        DZCrashReporter::setEndpointForTesting(server_.urlString("/crash"));
        if (!inDeathTestChild()) {
            setenv(kParentHomeVariable, testsupport::testHome().c_str(), 1);
            setenv(kParentEndpointVariable, server_.urlString("/crash").c_str(), 1);
        }
        forgetReports();
    }
    void TearDown() override {
        unsetenv(kParentHomeVariable);
        unsetenv(kParentEndpointVariable);
        DZCrashReporter::setEndpointForTesting(std::nullopt);
        forgetReports();
        ads::DZPinger::resetSharedInstanceForTesting();
    }

    // Also written out, so that the crashing child starts from a clean file.
    static void forgetReports() {
        auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(DZCrashReporter::kRetryGroupKey);
        defaults->removeObjectForKey(ads::DZCrashReport::kExperimentIDStringKey);
        ASSERT_TRUE(defaults->synchronize());
    }

    // What a new start of the app finds in the user defaults file.
    static core::Dictionary storedReportsAfterRestart() {
        core::UserDefaults::resetSharedInstancesForTesting();
        return core::UserDefaults::standard()
            ->dictionaryForKey(DZCrashReporter::kRetryGroupKey)
            .value_or(core::Dictionary());
    }

    fixtures::AdServer server_;
};

TEST_F(DZCrashReporterService, SDKCrashIsStoredBeforeDeathAndSentAtTheNextStart) {
    auto defaults = core::UserDefaults::standard();
    defaults->setString(std::string(ads::DZCrashReport::kExperimentIDStringKey), "318475,318476");
    ASSERT_TRUE(defaults->synchronize());

    EXPECT_DEATH(crashOnAThread(&ads::crashfixture::explode,
                                "-[DZSlot load]: <DZSlot: 0x7fa3c1d0> at 0XFF00 is gone"),
                 kPreviousHandlerRan);

    const core::Dictionary stored = storedReportsAfterRestart();
    ASSERT_EQ(stored.size(), 1u);
    const std::string reportText = stored.keys()[0];

    // The next start sends it with its first retry pass, 3 s in.
    testsupport::ManualClockScope clock;
    core::UserDefaults::standard()->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey),
                                            false);
    ads::DZPinger::resetSharedInstanceForTesting();
    ads::DZPinger::sharedInstance()->start();
    clock.advance(3);
    ASSERT_TRUE(server_.waitForRequestsTo("/crash", 1, 10));
    core::UserDefaults::standard()->removeObjectForKey(ads::DZPinger::kEnableWebViewPingsKey);
    const auto request = server_.requestsTo("/crash").back();
    EXPECT_EQ(server_.url("/crash?" + request.rawQuery).absoluteString(), reportText);

    std::vector<std::string> names;
    for (const auto& item : request.query) names.push_back(item.name);
    EXPECT_EQ(names, (std::vector<std::string>{"os", "appid", "api", "js", "device", "dev-build",
                                               "excn", "excr", "exclc", "excst", "id", "eids"}));
    // The child ran on the default device profile and never cached the
    // device's static facts, so it had no model.
    const auto device = ads::DZDevice::create(ads::DZDeviceHost::platform());
    const auto bundle = core::Bundle::main();
    EXPECT_EQ(request.queryValue("os"), device->systemVersion());
    EXPECT_EQ(request.queryValue("appid"),
              bundle->objectForInfoDictionaryKey("CFBundleIdentifier").stringValue());
    EXPECT_EQ(request.queryValue("api"),
              bundle->objectForInfoDictionaryKey("CFBundleVersion").stringValue());
    EXPECT_EQ(request.queryValue("device"), "error");
    EXPECT_EQ(request.queryValue("dev-build"), "0");
    EXPECT_EQ(request.queryValue("excn"), "std::logic_error");
    EXPECT_EQ(request.queryValue("excr"), "-[DZSlot load]: <DZSlot: #> at # is gone");
    // Which fixture frame is the location depends on inlining and on whether
    // the throw's own frame kept its name (optimised builds move it to a cold part).
    EXPECT_THAT(request.queryValue("exclc").value_or(""),
                testing::AnyOf("ads::crashfixture::explode(char const*)",
                               "ads::crashfixture::raise(char const*)"));
    const std::string stack = request.queryValue("excst").value_or("");
    EXPECT_NE(stack.find("app,ads::crashfixture::explode(char const*)\n"), std::string::npos)
        << stack;
    EXPECT_EQ(stack.find("DZCrashReport"), std::string::npos) << stack;  // from the throw on
    EXPECT_LT(stack.size(), 600u);
    EXPECT_EQ(request.queryValue("id"), "dzmob-apps-report-exception");
    EXPECT_EQ(request.queryValue("eids"), "318475,318476");
}

TEST_F(DZCrashReporterService, CrashOutsideTheSDKIsNotReported) {
    EXPECT_DEATH(crashOnAThread(&crashfixture::explodeOutsideTheSDK, "plain failure at 0x10"),
                 kPreviousHandlerRan);
    EXPECT_TRUE(storedReportsAfterRestart().empty());
}

TEST_F(DZCrashReporterService, DisabledReportingOnlyPassesTheCrashOn) {
    EXPECT_DEATH(crashOnAThread(&ads::crashfixture::explode, "DZSlot failed", false),
                 kPreviousHandlerRan);
    EXPECT_TRUE(storedReportsAfterRestart().empty());
}

}  // namespace
