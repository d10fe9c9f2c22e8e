#include "ads/presentation/banner/DZDynamicHeightSearchBannerView.h"

#include <cmath>

#include "ads/core/click/DZClickSignal.h"
#include "ads/core/request/DZDynamicHeightSearchRequest.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/web/view/DZUIKitWebView.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr long kLinkClicked = 0;
constexpr long kCancelledLoad = -999;

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::shared_ptr<DZDynamicHeightSearchBannerView>
DZDynamicHeightSearchBannerView::create(const gfx::Rect& frame) {
    auto view = std::make_shared<DZDynamicHeightSearchBannerView>(Token{}, frame);
    if (!view->configureBannerView()) return nullptr;
    return view;
}

DZDynamicHeightSearchBannerView::~DZDynamicHeightSearchBannerView() {
    if (adWebView_) {
        adWebView_->setDelegate({});
        adWebView_->stopLoading();
    }
}

bool DZDynamicHeightSearchBannerView::configureBannerView() {
    adWebView_ = DZUIKitWebView::create({0, 0, bounds().size.width, 0});
    if (!adWebView_) return false;
    adWebView_->scrollView().scrollEnabled = false;
    const auto self = std::static_pointer_cast<DZDynamicHeightSearchBannerView>(shared_from_this());
    adWebView_->setDelegate(std::static_pointer_cast<DZWebViewDelegate>(self));
    addSubview(adWebView_);
    auto recognizer = std::make_shared<DZGestureRecognizer>();
    recognizer->setDelegate(std::static_pointer_cast<ui::GestureRecognizerDelegate>(self));
    addGestureRecognizer(recognizer);
    setClipsToBounds(true);
    return true;
}

gfx::Size DZDynamicHeightSearchBannerView::currentAdSize() const {
    return adWebView_ ? adWebView_->bounds().size : gfx::Size{};
}

void DZDynamicHeightSearchBannerView::setFrame(const gfx::Rect& frame) {
    ui::View::setFrame(frame);
    if (adWebView_) adWebView_->setFrame({0, 0, frame.size.width, adWebView_->frame().size.height});
}

void DZDynamicHeightSearchBannerView::loadRequest(const std::shared_ptr<DZRequest>& request) {
    const auto search = std::dynamic_pointer_cast<DZDynamicHeightSearchRequest>(request);
    if (search && search->childDirectedTreatment().value_or(false)) {
        refuse(core::format("Child directed treatment is not supported for request type: %@",
                            DZDynamicHeightSearchRequest::kClassName));
        return;
    }
    if (!search) {
        refuse(core::format("Unexpected request type while expecting a request of type: %@",
                            DZDynamicHeightSearchRequest::kClassName));
        return;
    }
    const auto url = search->CSADynamicHeightSearchRequestURLWithAdUnitID(adUnitID_.value_or(""));
    if (!url) {
        // A "customDomain" that makes no host: the load cannot start.
        refuse("Unable to build the search request URL: its host is not valid.");
        return;
    }
    adState_ = kLoading;
    adWebView_->loadRequest(core::URLRequest(*url));
}

void DZDynamicHeightSearchBannerView::refuse(const std::string& message) {
    DZLogger::sharedInstance().logPublicMessage(message);
    const std::weak_ptr<DZDynamicHeightSearchBannerView> weak =
        std::static_pointer_cast<DZDynamicHeightSearchBannerView>(shared_from_this());
    core::Queue::main()->async([weak, message] {
        const auto view = weak.lock();
        const auto delegate = view ? view->delegate() : nullptr;
        if (delegate)
            delegate->didFailToReceiveAdWithError(
                *view, DZErrorWithCodeDescription(kDZErrorInvalidArgument, message));
    });
}

bool DZDynamicHeightSearchBannerView::shouldStartLoadWithRequest(DZWebView& webView,
                                                                 const core::URLRequest& request,
                                                                 long navigationType) {
    const core::URL& url = request.url();
    const std::string text = url.absoluteString();
    if (startsWith(text, "dmsg://adResized")) {
        const auto height = DZQueryValueForKey(url, "height");
        const double value = height ? std::atof(height->c_str()) : 0;
        // A height that no frame can take is refused like any other bad
        // page message: the ad stays as it was.
        if (!std::isfinite(value) || value < 0) return false;
        if (value > 0 && adState_ != kShown)
            if (const auto delegate = this->delegate()) delegate->bannerViewDidReceiveAd(*this);
        adState_ = kShown;
        updateInternalAdViewHeightAndNotifyDelegateWithHeight(value);
        return false;
    }
    if (startsWith(text, "dmsg://noAdLoaded")) {
        didFailLoadWithError(webView,
                             DZErrorWithCodeDescription(kDZErrorNoFill, "No ads are available"));
        return false;
    }
    if (startsWith(text, "dmsg://scriptLoadFailed")) {
        didFailLoadWithError(
            webView, DZErrorWithCodeDescription(kDZErrorNetworkError,
                                                "Failed to load resources over the network"));
        return false;
    }
    if (startsWith(text, "dmsg://")) return false;
    if (navigationType == kLinkClicked) {
        // A link the page's script clicked is no person's tap: the landing
        // page leaves the app only for a gesture the engine saw.
        if (webView.navigationUserGesture() == false) {
            core::Console::log("<Dozuza> Refused a search ad's scripted click to " + text);
            return false;
        }
        handleUserDidTapAdDestinationURL(url);
        return false;
    }
    return true;
}

void DZDynamicHeightSearchBannerView::didFailLoadWithError(DZWebView&, const Error& error) {
    if (error.code == kCancelledLoad &&
        !core::UserDefaults::standard()->objectForKey(kUseCancelledURLErrorKey).boolValue())
        return;
    adState_ = kFailed;
    updateInternalAdViewHeightAndNotifyDelegateWithHeight(0);
    if (const auto delegate = this->delegate()) delegate->didFailToReceiveAdWithError(*this, error);
}

void DZDynamicHeightSearchBannerView::updateInternalAdViewHeightAndNotifyDelegateWithHeight(
    double height) {
    adWebView_->setFrame({0, 0, adWebView_->frame().size.width, height});
    if (const auto delegate = this->delegate())
        delegate->didUpdateDesiredContentSize(*this, currentAdSize());
}

void DZDynamicHeightSearchBannerView::handleUserDidTapAdDestinationURL(const core::URL& url) {
    const auto delegate = this->delegate();
    if (!delegate) return;
    const std::string ai = DZQueryValueForKey(url, "ai").value_or("");
    std::string signal;
    core::URL landing = url;
    if (DZGestureClickSignal(ai, signal)) {
        const auto equals = signal.find('=');
        if (equals != std::string::npos && equals > 0 && equals + 1 < signal.size() &&
            signal.find('=', equals + 1) == std::string::npos) {
            const auto extended = DZURLByAddingQueryParameters(
                url, core::Dictionary{{signal.substr(0, equals), signal.substr(equals + 1)}});
            if (extended) landing = *extended;
        }
    }
    delegate->didReceiveLandingPageURL(*this, landing);
}

bool DZDynamicHeightSearchBannerView::shouldRecognizeSimultaneouslyWithGestureRecognizer(
    const ui::GestureRecognizer&, const ui::GestureRecognizer& other) {
    return dynamic_cast<const DZGestureRecognizer*>(&other) != nullptr;
}

}  // namespace ads
