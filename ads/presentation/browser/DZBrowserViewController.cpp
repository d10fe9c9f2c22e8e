#include "ads/presentation/browser/DZBrowserViewController.h"

#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZIcons.h"
#include "ads/presentation/browser/DZBrowserAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/view/DZBrowserAdView.h"
#include "core/URLRequest.h"
#include "gfx/Color.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Toolbar.h"

namespace ads {

DZBrowserViewController::~DZBrowserViewController() {
    if (adView_) adView_->setDelegate({});
}

void DZBrowserViewController::load(const std::optional<core::URL>& url,
                                   const std::optional<core::URL>& referringURL) {
    // The browser shows web pages only: local files and script or data URLs
    // are never loaded on behalf of an ad.
    if (!url || DZOpener::isUnsafeURL(*url)) return;
    if (!adView_) {
        URLToLoad_ = url;
        referringURLToLoad_ = referringURL;
        return;
    }
    core::URLRequest request(*url);
    if (referringURL) (void)request.setValue("Referer", referringURL->host());
    adView_->loadRequest(request);
}

void DZBrowserViewController::back() {
    (void)stepInHistory(ui::HistoryStep::Back);
}

void DZBrowserViewController::forward() {
    (void)stepInHistory(ui::HistoryStep::Forward);
}

bool DZBrowserViewController::canStepInHistory(ui::HistoryStep step) const {
    return adView_ && ui::canStepIn(*adView_, step);
}

bool DZBrowserViewController::stepInHistory(ui::HistoryStep step) {
    return adView_ && ui::stepIn(*adView_, step);
}

void DZBrowserViewController::stop() {
    if (adView_) adView_->stopLoading();
}

void DZBrowserViewController::reload() {
    if (adView_) adView_->reload();
}

void DZBrowserViewController::openInSafari() {
    const auto url = adView_ ? adView_->URL() : std::nullopt;
    auto opener = std::make_shared<DZOpener>();
    opener->setViewController(std::static_pointer_cast<ui::ViewController>(shared_from_this()));
    opener->setSlot(slot());
    if (url) opener->openAppForPersonsAction(*url);
    if (const auto slot = this->slot())
        if (const auto ad = slot->ad()) ad->statistics()->setObject(true, "pcbo", true);
}

void DZBrowserViewController::doneButtonPressed() {
    relinquishScreenWithCompletion({});
}

void DZBrowserViewController::viewDidLoad() {
    DZViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
}

void DZBrowserViewController::viewWillAppear(bool animated) {
    DZViewController::viewWillAppear(animated);
    if (!adView_) buildView();
}

void DZBrowserViewController::didRotateFromInterfaceOrientation(long fromOrientation) {
    DZViewController::didRotateFromInterfaceOrientation(fromOrientation);
    if (adView_) adView_->didRotateToOrientation(ui::Application::shared().statusBarOrientation());
}

void DZBrowserViewController::buildView() {
    double toolbarHeight = kToolbarHeight;
    if (ui::DeviceProfile::current().idiom != ui::UserInterfaceIdiom::Pad &&
        DZDevice::sharedInstance()->orientationLandscape())
        toolbarHeight = kLandscapePhoneToolbarHeight;
    const gfx::Rect bounds = view()->bounds();
    const double width = bounds.size.width;
    const double height = bounds.size.height;

    adView_ = DZBrowserAdView::create({0, 0, width, height - toolbarHeight + 1});
    if (adView_) {
        adView_->setViewController(
            std::static_pointer_cast<ui::ViewController>(shared_from_this()));
        adView_->setShowDebug(false);
        adView_->setAutoresizingMask(ui::View::kFlexibleWidth | ui::View::kFlexibleHeight);
        view()->addSubview(adView_);
        adViewDelegate_ = std::make_shared<DZBrowserAdViewDelegate>();
        adView_->setDelegate(adViewDelegate_);
        const auto url = std::move(URLToLoad_);
        const auto referrer = std::move(referringURLToLoad_);
        URLToLoad_.reset();
        referringURLToLoad_.reset();
        load(url, referrer);
    }

    toolbar_ = std::make_shared<ui::Toolbar>(
        gfx::Rect{0, height - toolbarHeight + 1, width, toolbarHeight});
    toolbar_->setAutoresizingMask(ui::View::kFlexibleWidth | ui::View::kFlexibleTopMargin);
    toolbar_->setTintColor({0, 0, 0, 1});
    view()->addSubview(toolbar_);
    createToolbarButtons();
    refreshToolbar();
}

std::shared_ptr<ui::BarButtonItem>
DZBrowserViewController::buttonWithImage(gfx::ImagePtr image, std::string name, double width,
                                         bool enabled, ui::BarButtonItem::Action action) const {
    auto item = ui::BarButtonItem::withImage(std::move(image), ui::BarButtonItemStyle::Plain,
                                             std::move(action));
    item->setWidth(width);
    item->setEnabled(enabled);
    item->setIsAccessibilityElement(true);
    item->setAccessibilityLabel(std::move(name));
    return item;
}

void DZBrowserViewController::createToolbarButtons() {
    std::weak_ptr<DZBrowserViewController> weakSelf =
        std::static_pointer_cast<DZBrowserViewController>(shared_from_this());
    auto act = [weakSelf](void (DZBrowserViewController::*method)()) {
        return [weakSelf, method](ui::BarButtonItem&) {
            if (const auto self = weakSelf.lock()) ((*self).*method)();
        };
    };
    constexpr double kButtonWidth = 27;
    flexibleSpaceButton_ =
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace);
    backButton_ = buttonWithImage(DZBackButtonImage(), "Back", kButtonWidth, false,
                                  act(&DZBrowserViewController::back));
    forwardButton_ = buttonWithImage(DZForwardButtonImage(), "Forward", kButtonWidth, false,
                                     act(&DZBrowserViewController::forward));

    spinner_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::White);
    spinner_->setFrame({0, 0, 20, 20});
    spinner_->setAutoresizingMask(ui::View::kFlexibleLeftMargin | ui::View::kFlexibleRightMargin);
    spinnerContainingButton_ = ui::BarButtonItem::withCustomView(spinner_);
    spinnerContainingButton_->setWidth(20);
    spinnerContainingButton_->setEnabled(true);
    spinnerContainingButton_->setIsAccessibilityElement(true);
    spinnerContainingButton_->setAccessibilityLabel("Spinner");

    auto systemButton = [](ui::BarButtonSystemItem kind, std::string name, double width,
                           bool enabled, ui::BarButtonItem::Action action) {
        auto item = ui::BarButtonItem::withSystemItem(kind, std::move(action));
        item->setWidth(width);
        item->setEnabled(enabled);
        item->setIsAccessibilityElement(true);
        item->setAccessibilityLabel(std::move(name));
        return item;
    };
    reloadButton_ = systemButton(ui::BarButtonSystemItem::Refresh, "Reload", kButtonWidth, true,
                                 act(&DZBrowserViewController::reload));
    safariButton_ = systemButton(ui::BarButtonSystemItem::Action, "View in Safari", kButtonWidth,
                                 false, act(&DZBrowserViewController::openInSafari));
    doneButton_ = systemButton(ui::BarButtonSystemItem::Done, "Done", 0, true,
                               act(&DZBrowserViewController::doneButtonPressed));
    doneButton_->setStyle(ui::BarButtonItemStyle::Done);
}

void DZBrowserViewController::refreshToolbar() {
    if (!toolbar_ || !adView_) return;
    backButton_->setEnabled(canStepInHistory(ui::HistoryStep::Back));
    forwardButton_->setEnabled(canStepInHistory(ui::HistoryStep::Forward));
    const bool loading = adView_->isLoading();
    if (loading)
        spinner_->startAnimating();
    else
        spinner_->stopAnimating();
    safariButton_->setEnabled(!loading);
    const auto& space = flexibleSpaceButton_;
    toolbar_->setItems({backButton_, space, forwardButton_, space,
                        loading ? spinnerContainingButton_ : reloadButton_, space, safariButton_,
                        space, doneButton_});
}

}  // namespace ads
