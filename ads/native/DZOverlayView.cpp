#include "ads/native/DZOverlayView.h"

#include "ads/foundation/DZLayoutConstraints.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "core/Console.h"

namespace ads {

std::shared_ptr<DZOverlayView> DZOverlayView::create(const gfx::Rect& frame) {
    auto view = std::make_shared<DZOverlayView>(frame);
    view->setHidden(true);
    return view;
}

DZOverlayView::~DZOverlayView() {
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto token : adViewTokens_) center.removeObserver(token);
    for (const auto token : overlayTokens_) center.removeObserver(token);
    if (overlayView_) overlayView_->setDelegate({});
}

void DZOverlayView::setAdView(const std::shared_ptr<DZAdView>& adView) {
    if (adView == adView_) return;
    removeOverlaySubview();
    setHidden(true);
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto token : adViewTokens_) center.removeObserver(token);
    adViewTokens_.clear();
    adView_ = adView;
    if (!adView_) return;
    const auto weak = std::weak_ptr<DZOverlayView>(
        std::static_pointer_cast<DZOverlayView>(shared_from_this()));
    const auto observe = [&](const char* name, void (*action)(DZOverlayView&, const core::Value&)) {
        adViewTokens_.push_back(center.addObserver(
            name, adView_.get(), nullptr, [weak, action](const core::Notification& notification) {
                if (const auto self = weak.lock()) action(*self, notification.userInfo);
            }));
    };
    observe("loadHtml", [](DZOverlayView& self, const core::Value& info) {
        self.loadOverlayWithUserInfo(info);
    });
    observe("showOverlay", [](DZOverlayView& self, const core::Value&) { self.setHidden(false); });
    observe("hideOverlay", [](DZOverlayView& self, const core::Value&) { self.setHidden(true); });
    observe("sendMessageToNativeJs", [](DZOverlayView& self, const core::Value& info) {
        self.sendMessageToOverlayWithUserInfo(info);
    });
}

void DZOverlayView::addOverlaySubview() {
    removeOverlaySubview();
    overlayView_ = DZAdView::create({});
    if (!overlayView_) return;
    adViewDelegate_ = std::make_shared<DZAdViewDelegate>();
    overlayView_->setDelegate(std::static_pointer_cast<DZAdViewDelegateProtocol>(
        std::static_pointer_cast<DZOverlayView>(shared_from_this())));
    overlayView_->configureAsBannerAdView();
    overlayView_->setHidden(false);
    addSubview(overlayView_);
    overlayView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    DZConstrainViewToFillSuperview(overlayView_.get());
    const auto weak = std::weak_ptr<DZOverlayView>(
        std::static_pointer_cast<DZOverlayView>(shared_from_this()));
    auto& center = core::NotificationCenter::defaultCenter();
    overlayTokens_.push_back(center.addObserver(
        "hideOverlay", overlayView_.get(), nullptr, [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->setHidden(true);
        }));
    overlayTokens_.push_back(center.addObserver(
        "sendMessageToSdk", overlayView_.get(), nullptr,
        [weak](const core::Notification& notification) {
            if (const auto self = weak.lock()) self->handleSendMessageToAdViewNotification(notification);
        }));
}

void DZOverlayView::removeOverlaySubview() {
    if (!overlayView_) return;
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto token : overlayTokens_) center.removeObserver(token);
    overlayTokens_.clear();
    overlayView_->removeFromSuperview();
    overlayView_->setDelegate({});
    overlayView_.reset();
}

void DZOverlayView::loadOverlayWithUserInfo(const core::Value& userInfo) {
    const std::string* html = userInfo["overlayHtml"].string();
    const std::string* base = userInfo["baseUrl"].string();
    // Without a base the overlay has none (its page is about:blank); one
    // the page names must be http(s).
    const auto baseURL = base ? core::URL::create(*base) : std::nullopt;
    if (!html || (base && !baseURL)) return;
    if (!DZIsAllowedHTMLBaseURL(baseURL)) {
        core::Console::log("<Dozuza> Refused an overlay with the base URL " + *base);
        return;
    }
    if (!overlayView_) addOverlaySubview();
    if (!overlayView_) return;
    loadOverlayUserInfo_ = userInfo.dictionary() ? *userInfo.dictionary() : core::Dictionary{};
    overlayView_->loadHTMLString(*html, baseURL);
}

void DZOverlayView::sendMessageToOverlayWithUserInfo(const core::Value& userInfo) {
    if (!overlayView_) addOverlaySubview();
    if (overlayView_) overlayView_->postJSNotification("sendMessageToSdk", userInfo);
}

void DZOverlayView::handleSendMessageToAdViewNotification(const core::Notification& notification) {
    core::Dictionary message =
        notification.userInfo.dictionary() ? *notification.userInfo.dictionary() : core::Dictionary{};
    if (!message.contains("id") && overlayIdentifier_) message.set("id", *overlayIdentifier_);
    if (adView_) adView_->postJSNotification("sendMessageToNativeJs", core::Value(message));
}

bool DZOverlayView::shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                               long navigationType) {
    return adViewDelegate_
               ? adViewDelegate_->shouldStartLoadWithRequest(adView, request, navigationType)
               : DZAdViewDelegateProtocol::shouldStartLoadWithRequest(adView, request,
                                                                      navigationType);
}

void DZOverlayView::adViewDidStartLoad(DZAdView& adView) {
    if (adViewDelegate_) adViewDelegate_->adViewDidStartLoad(adView);
}

void DZOverlayView::didFailLoadWithError(DZAdView& adView, const Error& error) {
    if (adViewDelegate_) adViewDelegate_->didFailLoadWithError(adView, error);
    overlayIdentifier_.reset();
    loadOverlayUserInfo_.reset();
}

void DZOverlayView::adViewDidFinishLoad(DZAdView& adView) {
    if (adViewDelegate_) adViewDelegate_->adViewDidFinishLoad(adView);
    if (!loadOverlayUserInfo_) return;
    const std::string* identifier = (*loadOverlayUserInfo_)["id"].string();
    overlayIdentifier_ = identifier ? std::optional(*identifier) : std::nullopt;
    loadOverlayUserInfo_.reset();
    core::Dictionary loaded{{"messageType", "htmlLoaded"}};
    if (overlayIdentifier_) loaded.set("id", *overlayIdentifier_);
    if (adView_) adView_->postJSNotification("sendMessageToNativeJs", core::Value(loaded));
}

}  // namespace ads
