#include "ads/web/net/DZWebViewPinger.h"

#include <atomic>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/net/DZIsHTTPSuccessResponse.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace ads {

namespace {

// Set once a web view could not be made, so later pings go straight on.
std::atomic<bool> gWebViewsUnavailable{false};

bool isPingable(const std::string& text) {
    const auto url = core::URL::create(text);
    return url && url->isHTTPorHTTPS();
}

}  // namespace

bool DZWebViewPinger::isAvailable() {
    return !gWebViewsUnavailable && DZDevice::sharedInstance()->isOSAtLeastMajor(9, 0, 0);
}

std::shared_ptr<DZWebViewPinger> DZWebViewPinger::create() {
    if (!isAvailable()) return nullptr;
    std::shared_ptr<DZWebViewPinger> pinger(new DZWebViewPinger());
    if (!pinger->makeWebView()) return nullptr;
    return pinger;
}

DZWebViewPinger::~DZWebViewPinger() {
    releaseWebView();
}

bool DZWebViewPinger::makeWebView() {
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::WK;
    configuration.persistentDataStore = false;
    configuration.ownDataStore = true;
    configuration.javaScriptEnabled = false;
    auto webView = web::WebView::create(gfx::Rect{0, 0, 1, 1}, std::move(configuration));
    if (!webView) {
        gWebViewsUnavailable = true;
        return false;
    }
    webView_ = std::move(webView);
    webView_->setDelegate(weak_from_this());
    DZApplication::placeholderWindow()->addSubview(webView_);
    return true;
}

void DZWebViewPinger::releaseWebView() {
    if (!webView_) return;
    const auto webView = std::move(webView_);
    webView->setDelegate({});
    webView->stopLoading();
    webView->removeFromSuperview();
}

void DZWebViewPinger::letWebViewGoWhenIdle() {
    const std::uint64_t serial = ++idleSerial_;
    core::Queue::main()->after(kIdleSeconds, [weak = weak_from_this(), serial] {
        const auto pinger = weak.lock();
        if (pinger && pinger->idleSerial_ == serial && pinger->webViewPingQueue_.empty())
            pinger->releaseWebView();
    });
}

void DZWebViewPinger::pingURLString(const std::string& urlString,
                                    std::shared_ptr<core::Queue> queue,
                                    std::function<void(bool)> completion) {
    auto report = DZCompletionOnQueue(std::move(queue), std::move(completion));
    if (!isPingable(urlString)) {
        report(false);
        return;
    }
    DZRunOnMainThread([self = shared_from_this(), urlString, report = std::move(report)] {
        self->webViewPingQueue_.emplace_back(urlString, report);
        if (self->webViewPingQueue_.size() == 1) self->sendNextPing();
    });
}

void DZWebViewPinger::sendNextPing() {
    if (webViewPingQueue_.empty()) {
        letWebViewGoWhenIdle();
        return;
    }
    const auto url = core::URL::create(webViewPingQueue_.front().URLString());
    if (!url || (!webView_ && !makeWebView())) {
        loadFinishedWithSuccess(false);
        return;
    }
    receivedValidResponse_ = false;
    webView_->loadRequest(core::URLRequest(*url));
}

void DZWebViewPinger::loadFinishedWithSuccess(bool success) {
    if (!webViewPingQueue_.empty()) {
        const DZURLPingData finished = std::move(webViewPingQueue_.front());
        webViewPingQueue_.pop_front();
        if (finished.completionBlock()) finished.completionBlock()(success);
    }
    // The next load starts outside the engine's report of this one.
    core::Queue::main()->async([weak = weak_from_this()] {
        if (const auto pinger = weak.lock()) pinger->sendNextPing();
    });
}

bool DZWebViewPinger::shouldStartLoad(web::WebView&, const web::NavigationAction&) {
    return true;
}

bool DZWebViewPinger::shouldAcceptResponse(web::WebView&, const core::HTTPURLResponse& response,
                                           bool) {
    receivedValidResponse_ = DZIsHTTPSuccessResponse(response);
    return false;
}

// A load that ends without its response being refused (one the engine
// answered without a response decision) still ends its ping, so the queue
// never stalls behind it.
void DZWebViewPinger::didFinishLoad(web::WebView&) {
    loadFinishedWithSuccess(receivedValidResponse_);
}

void DZWebViewPinger::didFailLoad(web::WebView&, const web::LoadError&) {
    loadFinishedWithSuccess(receivedValidResponse_);
}

}  // namespace ads
