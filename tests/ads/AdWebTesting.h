#pragma once
// Shared by the tests of the ad web view layer: delegates that record what
// web views and ad views tell them, server constants set for one test, and
// waits on the main loop for real page loads.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZCallLog.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "ads/web/view/DZWebView.h"
#include "core/PendingWork.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "support/ValuePrinting.h"
#include "web/JSResult.h"

namespace adwebtesting {

// Seconds a real load may take, sanitizers and a busy machine included (a
// load that takes half a second alone takes many on a machine running the
// whole suite): a guard against a hang, not a measure of speed.
constexpr double kLoadLimit = 60;

// How long a wait has gone on, in real seconds, and for how long of that
// nothing was under way (core::PendingWork).
struct WaitProgress {
    double seconds = 0;
    double idleSeconds = 0;
};
// While set, told of each wait's progress until it answers true (once per
// wait): a fixture's way to act on a wait that goes on for too long.
inline std::function<bool(const WaitProgress&)>& waitObserver() {
    static std::function<bool(const WaitProgress&)> observer;
    return observer;
}

[[nodiscard]] inline bool waitFor(const std::function<bool()>& predicate,
                                  double limit = kLoadLimit) {
    using Steady = std::chrono::steady_clock;
    const auto started = Steady::now();
    auto busy = started;
    bool acted = false;
    return core::RunLoop::main().runUntil(
        [&] {
            if (predicate()) return true;
            if (acted || !waitObserver()) return false;
            const auto now = Steady::now();
            if (core::PendingWork::any()) busy = now;
            acted = waitObserver()({std::chrono::duration<double>(now - started).count(),
                                    std::chrono::duration<double>(now - busy).count()});
            return false;
        },
        limit);
}

// Runs the main queue until everything submitted to it before now has run.
[[nodiscard]] inline bool drainMainQueue() {
    bool reached = false;
    core::Queue::main()->async([&] { reached = true; });
    return waitFor([&] { return reached; });
}

// Server constants for one test; removed afterwards.
class ConstantsScope {
public:
    ConstantsScope() = default;
    ConstantsScope(const ConstantsScope&) = delete;
    ConstantsScope& operator=(const ConstantsScope&) = delete;
    ~ConstantsScope() {
        for (const auto& key : keys_) core::UserDefaults::standard()->removeObjectForKey(key);
    }
    void set(std::string_view key, core::Value value) {
        keys_.emplace_back(key);
        core::UserDefaults::standard()->setObject(std::string(key), std::move(value));
    }

private:
    std::vector<std::string> keys_;
};

class RecordingWebViewDelegate : public ads::DZWebViewDelegate,
                                 public ads::DZWebViewContentSizeDelegate {
public:
    // "start", "finish", "fail <code>".
    std::vector<std::string> events;
    // "<navigation type> <url>".
    std::vector<std::string> decisions;
    std::vector<ads::Error> errors;
    std::vector<gfx::Size> sizes;
    std::vector<std::string> alerts;
    std::function<bool(const core::URLRequest&)> decide;

    bool shouldStartLoadWithRequest(ads::DZWebView&, const core::URLRequest& request,
                                    long type) override {
        decisions.push_back(std::to_string(type) + " " + request.url().absoluteString());
        return decide ? decide(request) : true;
    }
    void webViewDidStartLoad(ads::DZWebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ads::DZWebView&) override { events.push_back("finish"); }
    void didFailLoadWithError(ads::DZWebView&, const ads::Error& error) override {
        events.push_back("fail " + std::to_string(error.code));
        errors.push_back(error);
    }
    void runJavaScriptAlertPanelWithTitle(ads::DZWebView&, const std::string& title,
                                          const std::string& message,
                                          std::function<void()> completion) override {
        alerts.push_back(title + "|" + message);
        completion();
    }
    void didChangeScrollViewContentSize(ads::DZWebView&, gfx::Size size) override {
        sizes.push_back(size);
    }
};

class RecordingAdViewDelegate : public ads::DZAdViewDelegateProtocol {
public:
    std::vector<std::string> events;
    std::vector<std::string> decisions;
    std::vector<ads::Error> errors;
    std::function<bool(const core::URLRequest&)> decide;

    bool shouldStartLoadWithRequest(ads::DZAdView&, const core::URLRequest& request,
                                    long type) override {
        decisions.push_back(std::to_string(type) + " " + request.url().absoluteString());
        return decide ? decide(request) : true;
    }
    void adViewDidStartLoad(ads::DZAdView&) override { events.push_back("start"); }
    void adViewDidFinishLoad(ads::DZAdView&) override { events.push_back("finish"); }
    void didFailLoadWithError(ads::DZAdView&, const ads::Error& error) override {
        events.push_back("fail " + std::to_string(error.code));
        errors.push_back(error);
    }
    [[nodiscard]] size_t count(const std::string& event) const {
        return size_t(std::count(events.begin(), events.end(), event));
    }
};

// Stands between an ad view's web view and the ad view for its life:
// records each decision the web view asks for, with the request's
// User-Agent field (which the ad view's step reads), and passes every call
// on to the ad view.
class DecisionSpy : public ads::DZWebViewDelegate {
public:
    struct Decision {
        std::string url;
        long type = 0;
        std::optional<std::string> agent;
        bool allowed = false;
    };

    [[nodiscard]] static std::shared_ptr<DecisionSpy>
    install(std::shared_ptr<ads::DZAdView> adView) {
        auto spy = std::make_shared<DecisionSpy>(adView);
        adView->webView()->setDelegate(spy);
        return spy;
    }
    explicit DecisionSpy(std::shared_ptr<ads::DZAdView> adView) : adView_(std::move(adView)) {}
    ~DecisionSpy() override { adView_->webView()->setDelegate(adView_); }

    // The decisions asked for URLs that start with prefix, in order.
    [[nodiscard]] std::vector<Decision> decisionsFor(std::string_view prefix) const {
        std::vector<Decision> found;
        for (const auto& decision : decisions)
            if (decision.url.rfind(prefix, 0) == 0) found.push_back(decision);
        return found;
    }

    bool shouldStartLoadWithRequest(ads::DZWebView& webView, const core::URLRequest& request,
                                    long type) override {
        const bool allowed = adView_->shouldStartLoadWithRequest(webView, request, type);
        decisions.push_back(
            {request.url().absoluteString(), type, request.value("User-Agent"), allowed});
        return allowed;
    }
    void webViewDidStartLoad(ads::DZWebView& webView) override {
        adView_->webViewDidStartLoad(webView);
    }
    void webViewDidFinishLoad(ads::DZWebView& webView) override {
        adView_->webViewDidFinishLoad(webView);
    }
    void didFailLoadWithError(ads::DZWebView& webView, const ads::Error& error) override {
        adView_->didFailLoadWithError(webView, error);
    }
    void webViewWebProcessDidTerminate(ads::DZWebView& webView) override {
        adView_->webViewWebProcessDidTerminate(webView);
    }
    void webViewDidChangeHistory(ads::DZWebView& webView) override {
        adView_->webViewDidChangeHistory(webView);
    }
    void runJavaScriptAlertPanelWithTitle(ads::DZWebView& webView, const std::string& title,
                                          const std::string& message,
                                          std::function<void()> completion) override {
        adView_->runJavaScriptAlertPanelWithTitle(webView, title, message, std::move(completion));
    }

    std::vector<Decision> decisions;

private:
    const std::shared_ptr<ads::DZAdView> adView_;
};

// The engine's answer to the script in the web view's page; none when no
// answer came.
[[nodiscard]] inline std::optional<web::JSResult> answerTo(ads::DZWebView& view,
                                                           const std::string& script) {
    std::optional<web::JSResult> result;
    view.webView()->evaluateJavaScript(script,
                                       [&](web::JSResult answer) { result = std::move(answer); });
    if (!waitFor([&] { return result.has_value(); })) return std::nullopt;
    return result;
}

// The script's value in the web view's page, as JSON gives it; null (and a
// test failure) when it threw or no answer came.
[[nodiscard]] inline core::Value evaluate(ads::DZWebView& view, const std::string& script) {
    const auto result = answerTo(view, script);
    if (!result) {
        ADD_FAILURE() << "no answer to " << script;
        return {};
    }
    EXPECT_TRUE(result->ok()) << script << ": "
                              << (result->exception() ? result->exception()->description() : "");
    return result->value();
}

// The call-log entries that begin with prefix, in order.
[[nodiscard]] inline std::vector<std::string> callsStartingWith(std::string_view prefix) {
    std::vector<std::string> found;
    for (auto& entry : ads::DZCallLog::entries())
        if (entry.rfind(prefix, 0) == 0) found.push_back(std::move(entry));
    return found;
}

}  // namespace adwebtesting
