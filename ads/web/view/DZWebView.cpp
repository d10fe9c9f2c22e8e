#include "ads/web/view/DZWebView.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZScheduler.h"
#include "ads/foundation/DZStoredSeconds.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/web/view/DZNotification.h"
#include "ads/web/view/DZUIKitWebView.h"
#include "ads/web/view/DZWebKitWebView.h"
#include "core/Console.h"
#include "core/Queue.h"

namespace ads {

namespace {

constexpr long kNotConnectedToInternet = -1009;
constexpr long kUnsupportedURL = -1002;
constexpr std::string_view kEngineErrorDomain = "web.engine";

// The key a load is tracked by: its URL without one trailing "/".
std::string keyOf(const std::string& url) {
    return DZStringByRemovingTrailingSlash(url).value_or("");
}

}  // namespace

DZWebViewClass DZWebViewClassForConfiguration(const DZWebViewConfiguration& configuration) {
    if (configuration.webViewClassKey() == "wk" && DZWebKitWebView::isAvailable())
        return DZWebViewClass::WebKit;
    return DZWebViewClass::UIKit;
}

Error DZErrorFromLoadError(const web::LoadError& error) {
    const bool engines = error.code == web::LoadError::kCannotShowURL ||
                         error.code == web::LoadError::kInterruptedByPolicy ||
                         error.code == web::LoadError::kCannotUseRestrictedPort;
    Error converted = DZErrorWithDomainCodeDescription(
        std::string(engines ? kEngineErrorDomain : kDZNetworkErrorDomain), error.code,
        error.message.empty() ? std::nullopt : std::optional(error.message));
    if (!error.failingURL.empty()) converted.failingURLString = error.failingURL;
    return converted;
}

// The engine's view reports here; this hands each event to its DZWebView.
class DZWebView::EngineDelegate final : public web::WebViewDelegate {
public:
    explicit EngineDelegate(DZWebView& owner) : owner_(owner) {}

    bool shouldStartLoad(web::WebView&, const web::NavigationAction& engineAction) override {
        const auto keep = owner_.shared_from_this();
        // The request names the page it belongs to, as the URL stash files
        // the navigations that the ad view delegate lets load. (Copied only
        // then: a page's message can be megabytes long.)
        std::optional<web::NavigationAction> named;
        if (!engineAction.request.mainDocumentURL() && engineAction.mainDocumentURL) {
            named = engineAction;
            named->request.setMainDocumentURL(named->mainDocumentURL);
        }
        const web::NavigationAction& action = named ? *named : engineAction;
        // The delegate may ask whether a person started the navigation; a
        // decision the delegate starts while deciding keeps the outer flag.
        const std::optional<bool> outer = owner_.navigationUserGesture_;
        owner_.navigationUserGesture_ = action.userGesture;
        struct Restore {
            DZWebView& view;
            std::optional<bool> flag;
            ~Restore() { view.navigationUserGesture_ = flag; }
        } restore{owner_, outer};
        // A new window opens nowhere: the delegate hears of it, nothing more.
        if (action.opensNewWindow) {
            (void)owner_.askDelegate(action.request, long(action.type));
            return false;
        }
        return owner_.engineShouldStartLoad(action);
    }
    void didStartLoad(web::WebView&) override {
        const auto keep = owner_.shared_from_this();
        owner_.pageLoadWillStart();
        owner_.engineDidStartLoad();
    }
    void didCommitLoad(web::WebView&) override {
        const auto keep = owner_.shared_from_this();
        owner_.pageLoadDidCommit();
        owner_.engineDidCommitLoad();
    }
    void didFinishLoad(web::WebView&) override {
        const auto keep = owner_.shared_from_this();
        owner_.pageLoadDidEnd();
        owner_.didFinishLoad();
    }
    void didFailLoad(web::WebView&, const web::LoadError& error) override {
        const auto keep = owner_.shared_from_this();
        owner_.pageLoadDidEnd();
        owner_.didFailLoadWithError(DZErrorFromLoadError(error));
    }
    void runJavaScriptAlert(web::WebView&, const std::string& title, const std::string& message,
                            std::function<void()> completion) override {
        const auto keep = owner_.shared_from_this();
        if (const auto delegate = owner_.delegate()) {
            delegate->runJavaScriptAlertPanelWithTitle(owner_, title, message,
                                                       std::move(completion));
        } else if (completion) {
            completion();
        }
    }
    void contentSizeDidChange(web::WebView&, gfx::Size size) override {
        const auto keep = owner_.shared_from_this();
        owner_.contentSizeChanged(size);
    }
    void didChangeHistory(web::WebView&) override {
        const auto keep = owner_.shared_from_this();
        if (const auto delegate = owner_.delegate()) delegate->webViewDidChangeHistory(owner_);
    }
    void webProcessDidTerminate(web::WebView&, web::WebProcessTermination) override {
        const auto keep = owner_.shared_from_this();
        if (const auto delegate = owner_.delegate())
            delegate->webViewWebProcessDidTerminate(owner_);
    }

private:
    DZWebView& owner_;
};

std::shared_ptr<DZWebView> DZWebView::create(DZWebViewClass webViewClass, const gfx::Rect& frame,
                                             const DZWebViewConfiguration& configuration) {
    if (webViewClass == DZWebViewClass::WebKit)
        return DZWebKitWebView::create(frame, configuration);
    return DZUIKitWebView::create(frame, configuration);
}

DZWebView::DZWebView(const gfx::Rect& frame, DZWebViewConfiguration configuration)
    : ui::View(frame), configuration_(std::move(configuration)),
      engineDelegate_(std::make_shared<EngineDelegate>(*this)) {}

DZWebView::~DZWebView() {
    if (scheduler_) scheduler_->stop();
    if (webView_) webView_->setDelegate({});
}

bool DZWebView::setUp(web::WebViewConfiguration engineConfiguration) {
    engineConfiguration.mediaPlaybackRequiresUserAction =
        configuration_.mediaPlaybackRequiresUserAction();
    auto engineView = web::WebView::create(bounds(), std::move(engineConfiguration));
    if (!engineView) return false;
    // A page's messages are navigations the delegate decides; the long ones
    // come beside the engine, which would hold the main thread carrying them.
    engineView->receivePageMessagesThroughDelegate(std::string(DZNotification::kScheme));
    setWebView(std::move(engineView));
    startPolling();
    return true;
}

void DZWebView::startPolling() {
    const auto interval = DZStoredSeconds(kRequestPollIntervalKey, kMaximumRequestPollInterval);
    if (!interval || *interval <= 0) return;
    scheduler_ = DZScheduler::create(*interval);
    const std::weak_ptr<DZWebView> weak = std::static_pointer_cast<DZWebView>(shared_from_this());
    (void)scheduler_->taskIDScheduledOnQueue(core::Queue::main(), [weak] {
        if (const auto view = weak.lock()) view->notifyDelegateIfRequestFailed();
    });
    scheduler_->start();
}

void DZWebView::setWebView(std::shared_ptr<web::WebView> webView) {
    if (webView == webView_) return;
    if (webView_) {
        webView_->setDelegate({});
        webView_->removeFromSuperview();
    }
    webView_ = std::move(webView);
    if (!webView_) return;
    webView_->setFrame(bounds());
    webView_->setDelegate(engineDelegate_);
    addSubview(webView_);
}

void DZWebView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (!webView_) return;
    webView_->setFrame(bounds());
    fitPageToNewWidth();
}

bool DZWebView::askDelegate(const core::URLRequest& request, long navigationType) {
    const auto delegate = this->delegate();
    return delegate ? delegate->shouldStartLoadWithRequest(*this, request, navigationType) : true;
}

void DZWebView::loadHTMLString(const std::optional<std::string>& html,
                               const std::optional<core::URL>& baseURL) {
    if (!html) return;
    if (!DZIsAllowedHTMLBaseURL(baseURL)) {
        core::Console::log("<Dozuza> Refused to load HTML with the base URL " +
                           baseURL->absoluteString());
        Error error = DZErrorWithDomainCodeDescription(std::string(kDZNetworkErrorDomain),
                                                       kUnsupportedURL, "Unsupported base URL.");
        error.failingURLString = baseURL->absoluteString();
        const std::weak_ptr<DZWebView> weak =
            std::static_pointer_cast<DZWebView>(shared_from_this());
        core::Queue::main()->async([weak, error] {
            if (const auto view = weak.lock()) view->didFailLoadWithError(error);
        });
        return;
    }
    if (baseURL) pendingRequestURLStrings_.insert(issuedKey(*baseURL));
    if (webView_) webView_->loadHTMLString(*html, baseURL);
}

void DZWebView::loadRequest(const core::URLRequest& request) {
    pendingRequestURLStrings_.insert(issuedKey(request.url()));
    if (webView_) webView_->loadRequest(request);
}

void DZWebView::stopLoading() {
    currentRequestURLString_.reset();
    if (webView_) webView_->stopLoading();
    pageLoadDidEnd();
}

void DZWebView::reload() {
    if (webView_) webView_->reload();
}

void DZWebView::terminateWebProcess() {
    if (webView_) webView_->terminateWebProcess();
}

void DZWebView::goBack() {
    if (webView_) webView_->goBack();
}

void DZWebView::goForward() {
    if (webView_) webView_->goForward();
}

bool DZWebView::canGoBack() const {
    return webView_ && webView_->canGoBack();
}

bool DZWebView::canGoForward() const {
    return webView_ && webView_->canGoForward();
}

bool DZWebView::isLoading() const {
    return webView_ && webView_->isLoading();
}

std::optional<core::URL> DZWebView::URL() const {
    return webView_ ? webView_->url() : std::nullopt;
}

void DZWebView::evaluateJavaScriptFromString(const std::string& script) {
    if (webView_) webView_->evaluateJavaScript(script);
}

gfx::Size DZWebView::contentSize() const {
    return webView_ ? webView_->contentSize() : gfx::Size();
}

void DZWebView::setBackgroundColor(std::optional<gfx::Color> color) {
    if (!webView_) return;
    webView_->setBackgroundColor(color);
    // A clear colour lets what lies under the web view (in-ad video) show
    // where the page paints nothing.
    webView_->setDrawsBackground(color && color->alpha >= 1);
}

std::optional<gfx::Color> DZWebView::backgroundColor() const {
    return webView_ ? webView_->backgroundColor() : std::nullopt;
}

std::string DZWebView::issuedKey(const core::URL& url) const {
    // Its decision names the URL as the engine writes it.
    return keyOf(webView_ ? webView_->engineURL(url) : url.absoluteString());
}

void DZWebView::didMakeLoadDecision(bool allowed, const core::URLRequest& request) {
    if (pendingRequestURLStrings_.empty()) {
        if (!allowed) currentRequestURLString_.reset();
        return;
    }
    const std::string key = keyOf(request.url().absoluteString());
    const bool pending = pendingRequestURLStrings_.count(key) > 0;
    if (allowed && pending) currentRequestURLString_ = key;
    if (!allowed && !pending) currentRequestURLString_.reset();
    pendingRequestURLStrings_.erase(key);
}

void DZWebView::didStartLoad() {
    if (const auto delegate = this->delegate()) delegate->webViewDidStartLoad(*this);
}

void DZWebView::didFinishLoad() {
    lastContentSize_ = {};
    currentRequestURLString_.reset();
    if (const auto delegate = this->delegate()) delegate->webViewDidFinishLoad(*this);
}

void DZWebView::didFailLoadWithError(const Error& error) {
    currentRequestURLString_.reset();
    if (const auto delegate = this->delegate()) delegate->didFailLoadWithError(*this, error);
}

void DZWebView::notifyDelegateIfRequestFailed() {
    if (!webView_ || webView_->isLoading() || !currentRequestURLString_) return;
    Error error = DZErrorWithDomainCodeDescription(std::string(kDZNetworkErrorDomain),
                                                   kNotConnectedToInternet, std::nullopt);
    error.failingURLString = *currentRequestURLString_;
    currentRequestURLString_.reset();
    if (const auto delegate = this->delegate()) delegate->didFailLoadWithError(*this, error);
}

void DZWebView::pageLoadWillStart() {
    if (!configuration_.scalesPageToFit() || !webView_) return;
    ++fitSerial_;
    if (!fittingHeld_) zoomBeforeLoad_ = webView_->zoomLevel();
    fittingHeld_ = true;
    webView_->setZoomLevel(1);
}

void DZWebView::pageLoadDidCommit() {
    ++fitSerial_;
    fittingHeld_ = false;
    measurePageWidth();
}

void DZWebView::pageLoadDidEnd() {
    // A load that ends without a new document leaves the old one, at the
    // zoom it had.
    if (std::exchange(fittingHeld_, false) && webView_) {
        webView_->setZoomLevel(zoomBeforeLoad_);
        fitPageToNewWidth();
    }
    measurePageWidth();
}

void DZWebView::measurePageWidth() {
    if (!configuration_.scalesPageToFit() || !webView_ || fittingHeld_) return;
    if (bounds().size.width <= 0) return;
    // The page answers after it has taken every zoom sent before the
    // question, so its answer holds for the zoom asked at.
    webView_->evaluateJavaScript(
        "[window.innerWidth, document.documentElement ? document.documentElement.scrollWidth : 0]",
        [weak = weak_from_this(), zoom = webView_->zoomLevel(),
         serial = fitSerial_](web::JSResult result) {
            const auto self = std::static_pointer_cast<DZWebView>(weak.lock());
            if (!self || !result.ok()) return;
            const core::Value& widths = result.value();
            if (!widths.isArray() || widths.size() != 2) return;
            self->pageWidthMeasured(widths[size_t(0)].doubleValue(),
                                    widths[size_t(1)].doubleValue(), zoom, serial);
        });
}

void DZWebView::pageWidthMeasured(double layoutWidth, double contentWidth, double zoom,
                                  std::uint64_t serial) {
    if (serial != fitSerial_ || fittingHeld_ || !webView_ || webView_->zoomLevel() != zoom) return;
    if (!(layoutWidth > 0) || !(contentWidth > 0)) return;
    // The engine takes a new size in its own time; a page not yet laid out
    // at the view's width is measured again when it reports its new size.
    if (std::abs(layoutWidth * zoom - bounds().size.width) > 1) return;
    // Half a point of overhang is rounding, not a wider page.
    constexpr double kTolerance = 0.5;
    if ((contentWidth - layoutWidth) * zoom <= kTolerance) return;
    webView_->setZoomLevel(std::max(zoom * layoutWidth / contentWidth, kMinimumPageZoom));
    fittedWidth_ = bounds().size.width;
}

void DZWebView::fitPageToNewWidth() {
    if (!configuration_.scalesPageToFit() || !webView_ || fittingHeld_) return;
    const double width = bounds().size.width;
    const double zoom = webView_->zoomLevel();
    if (width <= 0 || width == fittedWidth_) return;
    // A zoomed page keeps the width it is laid out at; one at zoom 1 lays
    // itself out anew, and is measured again.
    if (zoom < 1 && fittedWidth_ > 0)
        webView_->setZoomLevel(std::clamp(zoom * width / fittedWidth_, kMinimumPageZoom, 1.0));
    fittedWidth_ = width;
    measurePageWidth();
}

void DZWebView::contentSizeChanged(gfx::Size size) {
    measurePageWidth();
    if (size == lastContentSize_) return;
    lastContentSize_ = size;
    if (const auto delegate = contentSizeDelegate())
        delegate->didChangeScrollViewContentSize(*this, size);
}

}  // namespace ads
