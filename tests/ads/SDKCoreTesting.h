#pragma once
// Shared by the tests of the SDK core page: the local ad server over HTTPS
// as the SDK's ad server (its authority trusted by web views and URL
// loading), a controller of its own per test on a manual clock, a requester
// of ad URLs that records what it hears, and reads of the page's call log.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreControllerDelegate.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/core/sdkcore/DZSDKCoreWebViewNotification.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "core/JSON.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"
#include "support/ManualClockScope.h"

namespace sdkcoretesting {

using adwebtesting::waitFor;

class RecordingRequester : public ads::DZSDKCoreControllerDelegate {
public:
    explicit RecordingRequester(core::Dictionary parameters = {{"slotname", "slot"}},
                                std::uint64_t type = 1)
        : parameters_(std::move(parameters)), type_(type) {}

    std::shared_ptr<ads::DZCSITimeRecorder> adLoadActionTimeRecorder() override { return recorder; }
    std::optional<core::Dictionary> requestParameters() override {
        core::Dictionary parameters = parameters_;
        parameters.set("request_id", requestID);
        return parameters;
    }
    std::uint64_t requestedAdType() override { return type_; }
    void setRequestID(const std::string& id) override { requestID = id; }
    void loadAdURLWithParameters(const core::Dictionary& parameters) override {
        events.push_back("url " + parameters["ad_url"].stringValue());
    }
    void loadAd(const std::shared_ptr<ads::DZAd>& loaded,
                const std::optional<core::Dictionary>& loadedHeaders) override {
        ad = loaded;
        headers = loadedHeaders;
        events.push_back("ad");
    }
    void invalidJavaScriptRequest() override { events.push_back("invalid"); }
    void failedJavaScriptFile() override { events.push_back("failed"); }
    void adURLRequestDidTimeOut(const ads::Error& error) override {
        events.push_back("timeout " + std::to_string(error.code));
    }

    std::shared_ptr<ads::DZCSITimeRecorder> recorder = ads::DZCSITimeRecorder::create("load_ad");
    std::string requestID;
    std::vector<std::string> events;
    std::shared_ptr<ads::DZAd> ad;
    std::optional<core::Dictionary> headers;

private:
    core::Dictionary parameters_;
    std::uint64_t type_;
};

class CountingObserver : public ads::DZSDKCoreWebViewNotification {
public:
    void didFinishLoadingSDKCoreInSDKCoreWebView(ads::DZSDKCoreWebView&) override { ++count; }
    int count = 0;
};

// A completion's outcomes, in order.
struct Outcomes {
    std::vector<core::Value> results;
    std::vector<std::optional<ads::Error>> errors;
    ads::DZSDKCoreController::Completion completion() {
        return [this](const core::Value& result, const std::optional<ads::Error>& error) {
            results.push_back(result);
            errors.push_back(error);
        };
    }
};

class SDKCoreTest : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable,
                        fixtures::TestCertificates::shared().authorityFile());
        ads::DZServerHosts::setAdServerHost("127.0.0.1:" +
                                            std::to_string(server.server().securePort()));
        clearDefaults();
        adwebtesting::waitObserver() = [this](const adwebtesting::WaitProgress& wait) {
            return moveClockPastLimitsIfStuck(wait);
        };
    }
    void TearDown() override {
        adwebtesting::waitObserver() = nullptr;
        controller.reset();
        // The page's ad view is let go of on the main queue.
        EXPECT_TRUE(adwebtesting::drainMainQueue());
        ads::DZServerHosts::setAdServerHost(std::nullopt);
        clearDefaults();
        // The page's constants named this server's MRAID scripts.
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->restoreDefaultImplementationURLStrings();
        interceptor->setEnabled(true);
    }
    static void clearDefaults() {
        const auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey);
        defaults->removeObjectForKey(ads::DZSDKCoreController::kExperimentIDStringKey);
    }

    // A new controller; its page loads at the first command or request.
    // Tests move the clock while pages load in real time, some many times
    // faster than it: their pages' load deadline is a minute.
    static constexpr double kTestLoadTimeout = 60;
    // For tests whose clock runs far faster than pages load.
    static constexpr double kNoLoadDeadline = 1e7;
    const std::shared_ptr<ads::DZSDKCoreController>& makeController() {
        controller = ads::DZSDKCoreController::create();
        EXPECT_TRUE(controller && controller->activeSDKCoreWebView());
        if (controller) controller->setSDKCoreWebViewLoadTimeout(kTestLoadTimeout);
        return controller;
    }
    [[nodiscard]] ads::DZSDKCoreWebView& page() const {
        return *controller->activeSDKCoreWebView();
    }
    [[nodiscard]] bool waitForState(ads::DZSDKCoreWebView::State state) const {
        return waitFor([&] { return page().state() == state; });
    }
    // The page's value of a script.
    core::Value evaluate(const std::string& script) const {
        return adwebtesting::evaluate(*page().adView()->webView(), script);
    }
    // The page's log entries of that call, once there are at least count.
    std::vector<core::Value> logged(const std::string& name, size_t count = 1) const {
        core::Value entries;
        const std::string script =
            "(window.DUZO_log || []).filter(function (e) { return e.name === '" + name +
            "'; }).map(function (e) { return e.argument; })";
        (void)waitFor([&] {
            // Asked while the page loads, the engine may answer for a
            // document that is going away: that answer is no entry yet.
            const auto answer = adwebtesting::answerTo(*page().adView()->webView(), script);
            if (answer && answer->ok()) entries = answer->value();
            return entries.size() >= count;
        });
        return entries.array() ? *entries.array() : std::vector<core::Value>{};
    }
    // Sends a message from the page as it would itself.
    void sendFromPage(const std::string& name, const core::Dictionary& parameters) const {
        (void)evaluate("DUZO_send('" + name + "', " + core::JSON::write(parameters).value_or("{}") +
                       "), true");
    }
    // Loads the page as the controller does, taking no request identifier.
    [[nodiscard]] bool loadPage() const {
        controller->refreshActiveWebViewSDKCore();
        return waitFor([&] {
            return page().state() == ads::DZSDKCoreWebView::kLoaded &&
                   controller->SDKCoreUpdateHandled();
        });
    }

    // The SDK's time limits (the page's load, an ad URL request's answer)
    // run on the manual clock, which only the test moves: a page that never
    // loads or answers would hold a wait for its whole limit and end it
    // saying nothing. A wait that has gone on far longer than a healthy one
    // on a busy machine (kStuckWait real seconds, or kQuietWait with nothing
    // under way for kQuietFor) moves the clock past those limits once, so
    // what is stuck fails as the SDK fails it, and the test sees that
    // failure before the wait's own limit.
    static constexpr double kStuckWait = 40;
    static constexpr double kQuietWait = 15;
    static constexpr double kQuietFor = 5;
    static_assert(kStuckWait < adwebtesting::kLoadLimit, "the clock moves before a wait ends");
    bool moveClockPastLimitsIfStuck(const adwebtesting::WaitProgress& wait) {
        if (wait.seconds < kStuckWait &&
            (wait.seconds < kQuietWait || wait.idleSeconds < kQuietFor))
            return false;
        double limit = std::max(ads::DZSDKCoreController::kDefaultCompletionTimeout,
                                ads::DZSDKCoreWebView::kDefaultLoadTimeout);
        if (controller) {
            limit = std::max(limit, controller->SDKCoreJavaScriptCompletionBlockTimeoutInterval());
            if (const auto& active = controller->activeSDKCoreWebView();
                active && active->loadTimeout() < kNoLoadDeadline)
                limit = std::max(limit, active->loadTimeout());
        }
        std::cerr << "SDKCoreTest: a wait went on for " << wait.seconds
                  << " s of real time; the clock moves " << limit + 0.5
                  << " s, past the SDK's time limits\n";
        clock.advance(limit + 0.5);
        return true;
    }

    testsupport::ScopedEnvironment environment;
    testsupport::ManualClockScope clock;
    fixtures::AdServer server;
    std::shared_ptr<ads::DZSDKCoreController> controller;
};

}  // namespace sdkcoretesting
