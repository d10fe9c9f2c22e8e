#include "ads/presentation/fullscreen/DZAdAppViewController.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZIcons.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/presentation/fullscreen/DZAdAppAdViewDelegate.h"
#include "ads/presentation/fullscreen/DZOverlayPresenting.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ads/web/view/DZAdView.h"
#include "core/URLRequest.h"
#include "core/UserDefaults.h"
#include "gfx/Bitmap.h"
#include "ui/Application.h"
#include "ui/AudioSession.h"
#include "ui/Button.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

void updateMRAIDVisibility(const std::shared_ptr<DZSlot>& slot, bool visible) {
    if (!slot || !slot->ad()) return;
    if (const auto handler = slot->ad()->MRAIDEventHandler().lock()) handler->updateVisibility(visible);
}

}  // namespace

gfx::ImagePtr DZCloseButtonImage(const gfx::ImagePtr& image, double factor) {
    if (!image || !(factor > 0)) return image;
    const gfx::Size size{image->size().width * factor, image->size().height * factor};
    const auto bitmap = gfx::Bitmap::create(size, ui::DeviceProfile::current().scale);
    if (!bitmap) return image;
    bitmap->canvas().drawImage(*image, gfx::Rect({0, 0}, size));
    return bitmap->makeImage();
}

DZAdAppViewController::DZAdAppViewController(std::shared_ptr<DZAdView> adView)
    : adView_(std::move(adView)), makesOwnAdView_(adView_ == nullptr) {
    closeButton_ = ui::Button::create(ui::ButtonType::Custom);
    closeButton_->setAccessibilityIdentifier(kCloseButtonAccessibilityLabel);
    closeButton_->setShowsTouchWhenHighlighted(true);
    // The action goes with the controller (see the destructor).
    closeButton_->addAction(ui::ControlEvent::TouchUpInside,
                            [this](ui::Control&) { closeButtonPressed(); });
}

DZAdAppViewController::~DZAdAppViewController() {
    closeButton_->removeAllActions();
    if (adView_ && adView_->viewController().get() == this) adView_->setViewController({});
    if (adViewDelegate_) {
        adViewDelegate_->opener()->setSlot({});
        if (adView_ && adView_->delegate() == adViewDelegate_) adView_->setDelegate({});
    }
}

std::shared_ptr<DZAdView> DZAdAppViewController::adView() {
    if (!adView_ && makesOwnAdView_) {
        makesOwnAdView_ = false;
        adView_ = DZAdView::create(gfx::Rect());
        if (adView_) adView_->setViewController(sharedSelf());
    }
    return adView_;
}

void DZAdAppViewController::setAdView(std::shared_ptr<DZAdView> adView) {
    makesOwnAdView_ = false;
    adView_ = std::move(adView);
}

void DZAdAppViewController::load(const std::optional<core::URL>& url) {
    if (!url) return;
    if (adView_) {
        adView_->loadRequest(core::URLRequest(*url));
    } else {
        URLToLoad_ = url;
    }
}

void DZAdAppViewController::loadHTML(const std::optional<std::string>& html,
                                     const std::optional<core::URL>& baseURL) {
    if (!html) return;
    if (adView_) {
        adView_->loadHTMLString(html, baseURL);
    } else {
        HTMLToLoad_ = html;
        HTMLBaseURLToLoad_ = baseURL;
    }
}

void DZAdAppViewController::setUseCustomClose(bool use) {
    if (use == useCustomClose_) return;
    useCustomClose_ = use;
    updateCloseButtonVisibilityAndImage();
}

void DZAdAppViewController::setCustomClosePosition(std::int64_t position) {
    customClosePosition_ = position;
    if (isMRAIDAd()) positionMRAIDCloseButton();
}

void DZAdAppViewController::closeButtonPressed() { relinquishScreenWithCompletion(nullptr); }

bool DZAdAppViewController::isMRAIDAd() const {
    const auto slot = this->slot();
    return slot && slot->isMRAIDEnabled();
}

void DZAdAppViewController::setAdOrientations(std::uint64_t mask) {
    if (DZIsSplitScreenEnabled() || mask == adOrientations_) return;
    adOrientations_ = mask;
    if (viewHasAppearedAtLeastOnce_) {
        if (presenter()) presenter()->setNeedsUpdateOrientation();
        return;
    }
    if (viewWasConfigured_) return;
    const auto application = DZApplication::sharedInstance();
    if (application->supportsOrientations(mask)) {
        setSupportedInterfaceOrientations(mask);
    } else if ((mask & 24) && application->supportsOrientations(24)) {
        setSupportedInterfaceOrientations(24);
    } else if ((mask & 6) && application->supportsOrientations(6)) {
        setSupportedInterfaceOrientations(6);
    }
}

bool DZAdAppViewController::isLoaded() const {
    return adViewDelegate_ && adViewDelegate_->hasLoadedAtLeastOnce();
}

bool DZAdAppViewController::shouldDismissOnApplicationEnteringForeground() {
    if (useCustomClose_) return true;
    if (isLoaded()) {
        const auto opener = adViewDelegate_->opener();
        if (opener && opener->didOpenAnotherApplication()) {
            // The user comes back from the app the ad opened and finds the
            // ad still there.
            opener->setDidOpenAnotherApplication(false);
            return false;
        }
    }
    return DZViewController::shouldDismissOnApplicationEnteringForeground();
}

void DZAdAppViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
    if (originalAudioSessionCategory_) {
        const std::string category = std::move(*originalAudioSessionCategory_);
        originalAudioSessionCategory_.reset();
        (void)ui::AudioSession::shared().setCategory(category);
    }
    DZViewController::relinquishScreenWithCompletion(std::move(completion));
}

void DZAdAppViewController::viewChangedToOrientation(long orientation) {
    DZViewController::viewChangedToOrientation(orientation);
    if (const auto adView = adView_) {
        if (!orientationNotifiedToTheAdViewAtLeastOnce_) {
            adView->forceRotateHTMLToOrientation(orientation);
        } else {
            adView->didRotateToOrientation(orientation);
        }
    }
    if (const auto slot = this->slot()) slot->notifyOrientationToMRAIDCreative();
    orientationNotifiedToTheAdViewAtLeastOnce_ = true;
}

void DZAdAppViewController::didRotateFromInterfaceOrientation(long fromOrientation) {
    DZViewController::didRotateFromInterfaceOrientation(fromOrientation);
    const long forced = forcedAdOrientation();
    viewChangedToOrientation(forced != 0 ? forced : interfaceOrientation());
}

void DZAdAppViewController::viewWillLayoutSubviews() {
    DZViewController::viewWillLayoutSubviews();
    if (adView_ && isViewLoaded() && adView_->superview() == view()) adView_->setFrame(view()->bounds());
}

void DZAdAppViewController::configureView() {
    if (viewWasConfigured_) return;
    viewWasConfigured_ = true;
    const auto root = view();
    const auto adView = this->adView();
    if (adView) {
        adView->setFrame(root->bounds());
        adView->setHidden(false);
        root->addSubview(adView);
    }
    updateCloseButtonVisibilityAndImage();
    positionCloseButton();

    adViewDelegate_ = DZAdAppAdViewDelegate::create(
        std::static_pointer_cast<DZAdAppViewController>(sharedSelf()));
    const auto slot = this->slot();
    adViewDelegate_->opener()->setSlot(slot);
    if (slot && slot->adViewDelegate() && slot->adViewDelegate()->opener())
        adViewDelegate_->opener()->setAutoClickProtection(
            slot->adViewDelegate()->opener()->autoClickProtection());
    if (!adView) return;
    adViewDelegate_->opener()->setAdView(adView);
    adView->setDelegate(adViewDelegate_);
    if (URLToLoad_) {
        const core::URL url = std::move(*URLToLoad_);
        URLToLoad_.reset();
        adView->loadRequest(core::URLRequest(url));
    } else if (HTMLToLoad_) {
        const std::string html = std::move(*HTMLToLoad_);
        const auto base = std::move(HTMLBaseURLToLoad_);
        HTMLToLoad_.reset();
        HTMLBaseURLToLoad_.reset();
        adView->loadHTMLString(html, base);
    }
}

void DZAdAppViewController::updateCloseButtonVisibilityAndImage() {
    const auto slot = this->slot();
    const auto ad = slot ? slot->ad() : nullptr;
    const bool blocking =
        core::UserDefaults::standard()->boolForKey(kCustomCloseBlockingKey) && ad &&
        ad->customCloseBlocked();
    gfx::ImagePtr image;
    if (blocking) {
        if (useCustomClose_) {
            if (const auto handler = ad->MRAIDEventHandler().lock())
                handler->handleError(kCustomCloseBlockedMessage, "useCustomClose");
        }
        image = DZCloseIconImage();
    } else if (useCustomClose_ && !isMRAIDAd()) {
        closeButton_->removeFromSuperview();
        return;
    } else if (useCustomClose_) {
        image = DZImageByDrawing();
    } else {
        image = DZCloseIconImage();
    }
    const core::Value scale = core::UserDefaults::standard()->objectForKey(kCloseButtonScaleKey);
    const double factor =
        scale.isNull() ? 1.0 : core::UserDefaults::standard()->doubleForKey(kCloseButtonScaleKey);
    closeButton_->setImage(DZCloseButtonImage(image, factor), ui::ControlState::Normal);
    if (!isViewLoaded()) return;
    const auto root = view();
    if (closeButton_->superview() == root) {
        root->bringSubviewToFront(closeButton_.get());
    } else {
        root->addSubview(closeButton_);
    }
}

void DZAdAppViewController::positionCloseButton() {
    if (isMRAIDAd()) {
        positionMRAIDCloseButton();
        return;
    }
    const double padding = core::UserDefaults::standard()->doubleForKey(kCloseButtonPaddingKey);
    const double side = kCloseButtonSide + (padding > 0 ? padding : 0);
    closeButton_->setFrame(gfx::Rect(0, 0, side, side));
}

void DZAdAppViewController::positionMRAIDCloseButton() {
    closeButton_->setAutoresizingMask(
        DZMRAIDResizeProperties::autoresizingMaskForClosePosition(customClosePosition_));
    const gfx::Rect bounds = isViewLoaded() ? view()->bounds() : gfx::Rect();
    closeButton_->setFrame(
        DZMRAIDResizeProperties::closeButtonRectForPosition(customClosePosition_, bounds));
}

void DZAdAppViewController::viewWillAppear(bool animated) {
    DZViewController::viewWillAppear(animated);
    configureView();
    viewHasAppearedAtLeastOnce_ = true;
    if (adOrientations_ != 0 && presenter()) presenter()->setNeedsUpdateOrientation();
    const auto slot = this->slot();
    ui::AudioSession& session = ui::AudioSession::shared();
    const std::string previous = session.category();
    if (previous == ui::AudioSession::CategoryRecord && slot &&
        slot->shouldChangeAudioSessionCategoryTo(ui::AudioSession::CategoryPlayAndRecord) &&
        session.setCategory(ui::AudioSession::CategoryPlayAndRecord)) {
        originalAudioSessionCategory_ = previous;
    }
    if (slot) slot->interstitialViewWillAppear();
}

void DZAdAppViewController::viewDidAppear(bool animated) {
    DZViewController::viewDidAppear(animated);
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(8, 0, 0) && adOrientations_ != 0 &&
        presenter())
        presenter()->setNeedsUpdateOrientation();
    updateMRAIDVisibility(slot(), true);
}

void DZAdAppViewController::viewWillDisappear(bool animated) {
    DZViewController::viewWillDisappear(animated);
    const auto slot = this->slot();
    if (slot) slot->interstitialViewWillDisappear();
    if (adView_) adView_->pauseVideo();
    updateMRAIDVisibility(slot, false);
}

}  // namespace ads
