// DZAdView: loads, the ad's HTTP history for the URL stash, and the web
// view's load callbacks.

#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZNetwork.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/presentation/fullscreen/DZOverlayProxy.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "ads/web/view/DZAdView.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/AlertController.h"

namespace ads {

namespace {

constexpr std::string_view kMissingRequestHeader = "x-duzo-annotation-missing-request";
constexpr long kCancelled = -999;

core::HTTPHeaders headersOf(const std::optional<core::Dictionary>& fields) {
    core::HTTPHeaders headers;
    if (!fields) return headers;
    for (const auto& [name, value] : *fields) headers.add(name, value.stringValue());
    return headers;
}

}  // namespace

void DZAdView::willLoadHTML() {
    webView_->setBackgroundColor(gfx::Color::clear());
    ui::View::setBackgroundColor(gfx::Color::clear());
    if (videoController_) videoController_->setHasVideoContent(false);
    eventQueue_->cancelAllOperations();
    eventQueue_->setSuspended(true);
    DZAdURLStash::sharedInstance()->adViewWillLoadRootContent(self());
    adRenderingStarted();
}

void DZAdView::setAd(std::shared_ptr<DZAd> ad) {
    willLoadHTML();
    ad_ = std::move(ad);
    reportedStartLoadEarly_ = true;
    DZAdURLStash::sharedInstance()->adViewDidStartLoad(self());
    if (!ad_) return;
    reportRequestsForAd(*ad_);
    webView_->loadHTMLString(ad_->adHTML(), ad_->adBaseURL());
}

void DZAdView::loadHTMLString(const std::optional<std::string>& html,
                              const std::optional<core::URL>& baseURL) {
    willLoadHTML();
    webView_->loadHTMLString(html, baseURL);
}

void DZAdView::loadRequest(const core::URLRequest& request) {
    eventQueue_->cancelAllOperations();
    eventQueue_->setSuspended(true);
    webView_->loadRequest(request);
}

void DZAdView::reportRequestsForAd(DZAd& ad) {
    const auto stash = DZAdURLStash::sharedInstance();
    const auto self = this->self();
    std::optional<core::URLRequest> request = ad.originalRequest();
    if (!request && ad.adURL()) {
        request = core::URLRequest(*ad.adURL());
        request->setValue(kMissingRequestHeader, "no original request available");
    }
    // Without a request to file them under, the ad's history is not told.
    if (!request) return;
    request->setMainDocumentURL(ad.adBaseURL());
    stash->willLoadURLRequest(self, *request);
    for (const auto& redirect : ad.redirects()) {
        if (!redirect) continue;
        stash->willReceiveResponse(self, *request, redirect->response());
        request = redirect->request();
        request->setMainDocumentURL(ad.adBaseURL());
        stash->willLoadURLRequest(self, *request);
    }
    if (!ad.adBaseURL()) return;
    stash->willReceiveResponse(
        self, *request,
        core::HTTPURLResponse(*ad.adBaseURL(), 200, headersOf(ad.responseHeaders())));
    const std::string& html = ad.adHTML() ? *ad.adHTML() : std::string();
    stash->didReceiveData(self, *request, core::Data(html.begin(), html.end()));
}

bool DZAdView::shouldStartLoadWithRequest(DZWebView&, const core::URLRequest& request,
                                          long navigationType) {
    DZNetwork::sharedInstance()->setUserAgentString(request.value("User-Agent"));
    const auto delegate = this->delegate();
    return delegate ? delegate->shouldStartLoadWithRequest(*this, request, navigationType) : true;
}

void DZAdView::webViewDidStartLoad(DZWebView&) {
    const auto keep = self();
    if (reportedStartLoadEarly_) {
        reportedStartLoadEarly_ = false;
    } else {
        DZAdURLStash::sharedInstance()->adViewDidStartLoad(keep);
    }
    if (const auto delegate = this->delegate()) delegate->adViewDidStartLoad(*this);
}

void DZAdView::webViewDidFinishLoad(DZWebView&) {
    const auto keep = self();
    DZAdURLStash::sharedInstance()->adViewDidFinishLoad(keep);
    eventQueue_->setSuspended(false);
    hasLoadedAtLeastOnce_ = true;
    webView_->setFrame({0, 0, bounds().width(), 1.0});
    updateWebViewFrame();
    if (const auto delegate = this->delegate()) delegate->adViewDidFinishLoad(*this);
}

void DZAdView::webViewWebProcessDidTerminate(DZWebView&) {
    const auto keep = self();
    if (const auto delegate = this->delegate()) delegate->adViewWebProcessDidTerminate(*this);
}

void DZAdView::webViewDidChangeHistory(DZWebView&) {
    const auto keep = self();
    if (const auto delegate = this->delegate()) delegate->adViewDidChangeHistory(*this);
}

void DZAdView::didFailLoadWithError(DZWebView&, const Error& error) {
    const auto keep = self();
    DZAdURLStash::sharedInstance()->adViewDidFinishLoad(keep);
    if (error.code == kCancelled &&
        !core::UserDefaults::standard()->boolForKey(kUseCancelledURLErrorKey))
        return;
    if (const auto delegate = this->delegate()) delegate->didFailLoadWithError(*this, error);
}

void DZAdView::didChangeScrollViewContentSize(DZWebView&, gfx::Size size) {
    if (const auto delegate = this->delegate()) delegate->contentSizeDidChange(*this, size);
}

std::optional<std::string> DZAdView::MRAIDJavaScriptURLStringForWebView(DZWebView&) {
    const auto interceptor = DZMRAIDInterceptor::sharedInstance();
    if (!interceptor->canRedirect()) return std::nullopt;
    return interceptor->MRAIDURLStringForAdView(*this);
}

void DZAdView::runJavaScriptAlertPanelWithTitle(DZWebView&, const std::string& title,
                                                const std::string& message,
                                                std::function<void()> completion) {
    const auto opener = this->opener();
    if (!opener || !opener->shouldPerformOpenAction()) {
        core::Queue::main()->async([completion = std::move(completion)] {
            if (completion) completion();
        });
        return;
    }
    auto alert = ui::AlertController::create(title, message, ui::AlertControllerStyle::Alert);
    alert->addAction({"OK", ui::AlertActionStyle::Default,
                      [completion = std::move(completion)](const ui::AlertAction&) {
                          if (completion) completion();
                      }});
    if (const auto proxy = DZOverlayProxy::create(alert)) {
        proxy->setSlot(opener->slot());
        (void)proxy->presentFromViewController(viewController(), nullptr);
    }
}

}  // namespace ads
