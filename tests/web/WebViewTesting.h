#pragma once
// Shared by the web view service tests: a delegate that records what a view
// tells it and decides navigations as a test says, views made on one page
// size, and waits on the main loop for real loads.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/RunLoop.h"
#include "core/URLProtocolFactory.h"
#include "fixtures/LoopbackServer.h"
#include "support/ValuePrinting.h"
#include "web/WebView.h"

namespace webtesting {

// Seconds a real load may take, sanitizers included.
constexpr double kLoadLimit = 20;

class RecordingDelegate : public web::WebViewDelegate {
public:
    // "start", "commit", "finish", "fail <code> <failing URL>", in order.
    std::vector<std::string> events;
    std::vector<web::NavigationAction> navigations;
    std::vector<web::LoadError> errors;
    std::vector<gfx::Size> contentSizes;
    std::vector<web::WebProcessTermination> terminations;
    std::vector<std::string> alerts;  // "<title>|<message>"
    // Alerts are answered at once unless this keeps their completions.
    std::vector<std::function<void()>>* unansweredAlerts = nullptr;
    // Refuses what it answers false for; allows everything by default.
    std::function<bool(const web::NavigationAction&)> decide;
    std::function<bool(const core::HTTPURLResponse&, bool mainFrame)> acceptResponse;

    bool shouldStartLoad(web::WebView&, const web::NavigationAction& action) override;
    void didStartLoad(web::WebView&) override { events.push_back("start"); }
    void didCommitLoad(web::WebView&) override { events.push_back("commit"); }
    void didFinishLoad(web::WebView&) override { events.push_back("finish"); }
    void didFailLoad(web::WebView&, const web::LoadError& error) override;
    bool shouldAcceptResponse(web::WebView&, const core::HTTPURLResponse& response,
                              bool mainFrame) override;
    void runJavaScriptAlert(web::WebView&, const std::string& title, const std::string& message,
                            std::function<void()> completion) override;
    void webProcessDidTerminate(web::WebView&, web::WebProcessTermination reason) override {
        terminations.push_back(reason);
    }
    void contentSizeDidChange(web::WebView&, gfx::Size size) override {
        contentSizes.push_back(size);
    }
    void didChangeHistory(web::WebView&) override { ++historyChanges; }
    size_t historyChanges = 0;

    [[nodiscard]] size_t count(const std::string& prefix) const;
    // The navigations asked about whose URL ends with suffix.
    [[nodiscard]] std::vector<web::NavigationAction> navigationsTo(const std::string& suffix) const;
};

[[nodiscard]] inline web::WebViewConfiguration
configurationOf(web::WebViewConfiguration::Kind kind) {
    web::WebViewConfiguration configuration;
    configuration.kind = kind;
    return configuration;
}

// A URL protocol that records each request of the app's URL layer whose
// URL holds a text, with the page its mark named, and takes none (register
// it with core::URLProtocolRegistry).
class OfferRecorder final : public core::URLProtocolFactory {
public:
    struct Offer {
        std::string method;
        std::string url;
        std::string mainDocument;  // empty without one
        std::optional<std::uint64_t> pageId;
        bool marked = false;  // the page field still on it
    };

    explicit OfferRecorder(std::string within = {}) : within_(std::move(within)) {}
    bool canInit(const core::URLRequest& request) const override;
    std::shared_ptr<core::URLProtocol> make(core::URLRequest,
                                            std::shared_ptr<core::URLProtocolClient>) const override {
        return nullptr;
    }
    [[nodiscard]] std::vector<Offer> offers() const;
    [[nodiscard]] std::vector<Offer> offersEndingWith(const std::string& suffix) const;

private:
    const std::string within_;
    mutable std::mutex mutex_;
    mutable std::vector<Offer> offers_;
};

// A view of the kind with the delegate; fails the test when it cannot be made.
std::shared_ptr<web::WebView> makeView(const std::shared_ptr<RecordingDelegate>& delegate,
                                       web::WebViewConfiguration configuration = {},
                                       gfx::Rect frame = {0, 0, 320, 240});

// Runs the main loop until predicate holds; false after kLoadLimit seconds.
[[nodiscard]] bool waitFor(const std::function<bool()>& predicate, double limit = kLoadLimit);
// Loads and waits until the load has finished or failed.
[[nodiscard]] bool loadAndWait(web::WebView& view, RecordingDelegate& delegate,
                               const core::URL& url);
[[nodiscard]] bool loadHTMLAndWait(web::WebView& view, RecordingDelegate& delegate,
                                   const std::string& html, const core::URL& base);
// Evaluates and waits for the result.
[[nodiscard]] web::JSResult evaluateScript(web::WebView& view, const std::string& script);
// The script's value; null (and a test failure) when it threw.
[[nodiscard]] core::Value evaluate(web::WebView& view, const std::string& script);
// What the page noted in window.obs, each value as its text; empty when it
// noted nothing or could not be read.
[[nodiscard]] std::map<std::string, std::string> pageObservations(web::WebView& view);

// Clears the cookies and storage of the engine's context of the kind's
// views; false when that did not finish in time. The contexts outlive
// tests: what one test's pages stored would reach another's.
[[nodiscard]] bool clearWebsiteData(web::WebViewConfiguration::Kind kind);
// Serves text/html.
void serveHTML(fixtures::LoopbackServer& server, const std::string& path, std::string html,
               int delayMs = 0);
// A small opaque PNG of the colour.
[[nodiscard]] std::string pngBytes(int width, int height, gfx::Color color);

// Both kinds, for tests that hold for each.
inline const std::vector<web::WebViewConfiguration::Kind> kKinds = {
    web::WebViewConfiguration::Kind::WK, web::WebViewConfiguration::Kind::UI};
// "WK" or "UI", as traces and test names call a kind.
[[nodiscard]] const char* kindLabel(web::WebViewConfiguration::Kind kind);
[[nodiscard]] std::string
kindName(const testing::TestParamInfo<web::WebViewConfiguration::Kind>& info);

}  // namespace webtesting
