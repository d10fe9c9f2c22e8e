#pragma once
// The built-in adapter of a network whose credentials carry a ready HTML
// banner ("adxtym_html"), and optionally the URL the creative goes to when
// it has nothing to show ("adxtym_passback_url"). It renders the HTML in a
// web view of its own (the UI kind, transparent), checks five times a
// second whether anything has become visible, and delivers the web view as
// the banner once it has; a navigation to the passback URL, or to any URL
// of the "passback" scheme, is no fill. After 101 checks without content
// it reports nothing more and leaves the network to its timeout; each new
// banner request counts its checks from zero.
//
// Errors are of the SDK's domain: 0 interstitials, 1 no ad (passback),
// 2 bad credentials. Main thread (timer starts and stops move there).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/mediation/adapters/DZMWebViewRenderedChecker.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "web/WebViewDelegate.h"

namespace core {
class Timer;
}

namespace web {
class WebView;
}

namespace ads {

class DZMAdNetworkConnector;

class DZMAdapterHTML : public DZMAdNetworkAdapter,
                       public web::WebViewDelegate,
                       public DZMWebViewRenderedCheckerDelegate,
                       public std::enable_shared_from_this<DZMAdapterHTML> {
public:
    static constexpr const char* kClassName = "DZMAdapterHTML";
    static constexpr const char* kAdapterVersion = "1.1";
    static constexpr double kRenderingCheckInterval = 0.2;
    static constexpr std::uint64_t kMaximumRenderingChecks = 101;
    static constexpr const char* kPassbackScheme = "passback";

    [[nodiscard]] static DZMClassDescription classDescription();

    explicit DZMAdapterHTML(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    // Lets go of the connector, then of the web view.
    ~DZMAdapterHTML() override;
    DZMAdapterHTML(const DZMAdapterHTML&) = delete;
    DZMAdapterHTML& operator=(const DZMAdapterHTML&) = delete;

    // DZMAdNetworkAdapter.
    void getBannerWithSize(const DZAdSize& adSize) override;
    // Both fail with code 0.
    void getInterstitial() override;
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& root) override;
    void stopBeingDelegate() override;

    // DZMWebViewRenderedCheckerDelegate: one check's answer.
    void webViewIsRendered(web::WebView& webView, bool rendered) override;
    // web::WebViewDelegate: passbacks end the request; other navigations
    // of the adapter's web view may load.
    bool shouldStartLoad(web::WebView& view, const web::NavigationAction& action) override;

    [[nodiscard]] bool isPassbackRequest(const core::URLRequest& request) const;
    [[nodiscard]] static bool isPathEquivalentToPath(std::string_view path, std::string_view other);
    // The path without one trailing "/".
    [[nodiscard]] static std::string_view stripTrailingSlashFromPath(std::string_view path);

    [[nodiscard]] const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    [[nodiscard]] const std::optional<core::URL>& passbackURL() const { return passbackURL_; }
    [[nodiscard]] std::uint64_t renderingCheckCount() const { return renderingCheckCount_; }
    [[nodiscard]] bool renderingTimerArmed() const;
    // The fixed base URL of the HTML.
    [[nodiscard]] static core::URL baseURL();

private:
    void clearWebView();
    void startRenderingTimer();
    void stopRenderingTimer();
    void fail(long code, const std::string& message);

    std::weak_ptr<DZMAdNetworkConnector> connector_;
    std::shared_ptr<web::WebView> webView_;
    std::optional<core::URL> passbackURL_;
    std::shared_ptr<DZMWebViewRenderedChecker> renderedChecker_;
    std::shared_ptr<core::Timer> renderingTimer_;
    std::uint64_t renderingCheckCount_ = 0;
};

}  // namespace ads
