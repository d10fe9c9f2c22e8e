#include "ads/mediation/adapters/DZMAdapterHTML.h"

#include "ads/foundation/DZBlockTimer.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/WebView.h"

namespace ads {

namespace {

// Runs the work on the main thread and waits for it.
template <typename Work>
void onMainThread(Work work) {
    if (core::RunLoop::isMainThread()) {
        work();
        return;
    }
    core::Queue::main()->sync(std::move(work));
}

}  // namespace

DZMClassDescription DZMAdapterHTML::classDescription() {
    DZMClassDescription description;
    description.name = kClassName;
    description.protocols = {DZMProtocol::adNetworkAdapter};
    description.instanceSelectors = {DZMSelector::initWithDZMAdNetworkConnector,
                                     DZMSelector::getBannerWithSize, DZMSelector::getInterstitial};
    description.adapterVersion = kAdapterVersion;
    description.answersNetworkExtrasClass = true;
    description.makeAdapter = [](const std::shared_ptr<DZMAdNetworkConnector>& connector) {
        return std::make_shared<DZMAdapterHTML>(connector);
    };
    return description;
}

core::URL DZMAdapterHTML::baseURL() {
    return *core::URL::create(DZServerHosts::mediationURLString("/"));
}

DZMAdapterHTML::DZMAdapterHTML(const std::shared_ptr<DZMAdNetworkConnector>& connector)
    : connector_(connector) {}

DZMAdapterHTML::~DZMAdapterHTML() {
    connector_.reset();
    if (renderingTimer_) renderingTimer_->invalidate();
    if (webView_) webView_->setDelegate({});
}

void DZMAdapterHTML::fail(long code, const std::string& message) {
    if (const auto connector = connector_.lock())
        connector->adapterDidFailAd(this, DZErrorWithCodeDescription(code, message));
}

void DZMAdapterHTML::clearWebView() {
    if (webView_) webView_->setDelegate({});
    stopRenderingTimer();
    webView_.reset();
    passbackURL_.reset();
}

void DZMAdapterHTML::getBannerWithSize(const DZAdSize& adSize) {
    const auto keep = shared_from_this();
    clearWebView();
    // Each banner is checked from its first check on.
    renderingCheckCount_ = 0;
    const auto connector = connector_.lock();
    const auto credentials = connector ? connector->credentials() : std::nullopt;
    const std::string* html = credentials ? (*credentials)["adxtym_html"].string() : nullptr;
    const std::string* passback =
        credentials ? (*credentials)["adxtym_passback_url"].string() : nullptr;
    if (passback) {
        if (passback->empty()) {
            fail(kDZErrorNetworkError, "Empty passback URL in TYM response.");
            return;
        }
        passbackURL_ = core::URL::create(*passback);
        if (!passbackURL_) {
            fail(kDZErrorNetworkError, "Invalid passback URL in TYM response.");
            return;
        }
    }
    if (!html || html->empty()) {
        fail(kDZErrorNetworkError, "Missing HTML in TYM response.");
        return;
    }
    if (!DZIsAllowedHTMLBaseURL(baseURL())) {
        fail(kDZErrorNetworkError, "Unsupported base URL for the HTML in TYM response.");
        return;
    }
    const gfx::Size size = DZAdSizeResolvedCGSize(adSize);
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::UI;
    configuration.mediaPlaybackRequiresUserAction = true;
    // A network's markup is an ad page like any other: apart from the rest.
    configuration.ownWebProcess = true;
    configuration.maximumNavigationURLBytes = DZWebViewConfiguration::kMaximumMessageURLBytes;
    std::string problem;
    webView_ = web::WebView::create({0, 0, size.width, size.height}, configuration, &problem);
    if (!webView_) {
        // Without a web view the banner could never show.
        fail(kDZErrorNetworkError, "Cannot render HTML in TYM response: " + problem);
        return;
    }
    webView_->setClipsToBounds(true);
    webView_->setAutoresizingMask(ui::View::kFlexibleWidth | ui::View::kFlexibleHeight);
    webView_->setBackgroundColor(gfx::Color::clear());
    webView_->setDrawsBackground(false);
    webView_->setDelegate(std::static_pointer_cast<web::WebViewDelegate>(keep));
    webView_->loadHTMLString(*html, baseURL());
    startRenderingTimer();
}

void DZMAdapterHTML::getInterstitial() {
    fail(kDZErrorInvalidRequest, "Interstitials not supported.");
}

void DZMAdapterHTML::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>&) {
    fail(kDZErrorInvalidRequest, "Interstitials not supported.");
}

void DZMAdapterHTML::stopBeingDelegate() {
    if (webView_) webView_->setDelegate({});
    stopRenderingTimer();
}

void DZMAdapterHTML::startRenderingTimer() {
    onMainThread([this] {
        renderedChecker_ = DZMWebViewRenderedChecker::create(
            webView_,
            std::static_pointer_cast<DZMWebViewRenderedCheckerDelegate>(shared_from_this()));
        if (renderingTimer_) renderingTimer_->invalidate();
        renderingTimer_ = DZCreateBlockTimer(
            true,
            [weakChecker = std::weak_ptr(renderedChecker_)](core::Timer&) {
                if (const auto checker = weakChecker.lock())
                    checker->checkIsContentRenderedInWebView();
            },
            kRenderingCheckInterval, 0);
    });
}

void DZMAdapterHTML::stopRenderingTimer() {
    onMainThread([this] {
        renderedChecker_.reset();
        if (renderingTimer_) renderingTimer_->invalidate();
        renderingTimer_.reset();
    });
}

bool DZMAdapterHTML::renderingTimerArmed() const {
    return renderingTimer_ && renderingTimer_->isValid();
}

void DZMAdapterHTML::webViewIsRendered(web::WebView& webView, bool rendered) {
    if (&webView != webView_.get()) return;
    const auto keep = shared_from_this();
    ++renderingCheckCount_;
    if (rendered) {
        stopRenderingTimer();
        if (const auto connector = connector_.lock())
            connector->adapterDidReceiveAdView(this, webView_);
        return;
    }
    if (renderingCheckCount_ >= kMaximumRenderingChecks) stopRenderingTimer();
}

bool DZMAdapterHTML::shouldStartLoad(web::WebView& view, const web::NavigationAction& action) {
    if (&view != webView_.get()) return false;
    if (!isPassbackRequest(action.request)) return true;
    const auto keep = shared_from_this();
    stopRenderingTimer();
    fail(kDZErrorNoFill, "Ad network returned no ad.");
    return false;
}

bool DZMAdapterHTML::isPassbackRequest(const core::URLRequest& request) const {
    const core::URL& url = request.url();
    if (url.scheme() == kPassbackScheme) return true;
    if (!passbackURL_) return false;
    return url.host() == passbackURL_->host() &&
           isPathEquivalentToPath(url.path(), passbackURL_->path());
}

bool DZMAdapterHTML::isPathEquivalentToPath(std::string_view path, std::string_view other) {
    return stripTrailingSlashFromPath(path) == stripTrailingSlashFromPath(other);
}

std::string_view DZMAdapterHTML::stripTrailingSlashFromPath(std::string_view path) {
    if (!path.empty() && path.back() == '/') path.remove_suffix(1);
    return path;
}

}  // namespace ads
