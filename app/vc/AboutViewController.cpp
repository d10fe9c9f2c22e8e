#include "app/vc/AboutViewController.h"

#include <cstdio>

#include "app/services/AppConfiguration.h"
#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "core/Bundle.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/URL.h"
#include "gfx/Font.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "ui/Button.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/ImageCache.h"
#include "ui/ImageManager.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"

namespace app {

namespace {

constexpr double kIconSide = 60;
// How often a waiting toast looks again whether the presenter is free.
const gfx::Color kGray{0.5, 0.5, 0.5, 1};

std::shared_ptr<ui::Button> largeButton(const char* key) {
    auto button = ui::Button::create();
    button->setBackgroundColor(gfx::Color::black());
    button->setTitleColor(gfx::Color::white());
    button->titleLabel()->setFont(gfx::Font::system(18, gfx::FontWeight::Medium));
    button->setTitle(localized(key));
    return button;
}

std::shared_ptr<ui::Label> versionLabel() {
    auto label = std::make_shared<ui::Label>();
    label->setTextColor(gfx::Color::white());
    label->setTextAlignment(gfx::TextAlignment::Center);
    return label;
}

std::shared_ptr<ui::Label> descriptionLabel() {
    auto label = std::make_shared<ui::Label>();
    label->setTextColor(gfx::Color::white());
    label->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    label->setNumberOfLines(0);
    label->setFont(gfx::Font::system(15, gfx::FontWeight::Light));
    gfx::ParagraphStyle style;
    style.firstLineHeadIndent = 20;
    style.lineSpacing = 8;
    label->setParagraphStyle(style);
    label->setText(localized("description"));
    return label;
}

std::shared_ptr<ui::Button> licenseButton() {
    auto button = ui::Button::create();
    button->setBackgroundColor(gfx::Color::black());
    button->setTitleColor(kGray);
    button->titleLabel()->setFont(gfx::Font::system(14, gfx::FontWeight::Light));
    button->setTitle(localized("unsplash_copyright"));
    return button;
}

std::shared_ptr<ui::Button> cleanCacheButton() {
    auto button = ui::Button::create();
    button->setBackgroundColor(gfx::Color::black());
    button->setTitleColor(gfx::Color::white());
    button->setTitle(localized("clean_cache"));
    return button;
}

// A view at its natural size, its horizontal centre on centreX.
void placeCentred(ui::View& view, double centreX, double top) {
    const gfx::Size size = view.intrinsicContentSize();
    view.setFrame({centreX - size.width / 2, top, size.width, size.height});
}

}  // namespace

const std::set<std::string>& AboutViewController::productIdentifiers() {
    static const std::set<std::string> identifiers{kTipProductIdentifier};
    return identifiers;
}

AboutViewController::AboutViewController()
    : iconImageView_(std::make_shared<ui::ImageView>(ui::imageNamed("Icon-60"))),
      verLabel_(versionLabel()), appDescriptionLabel_(descriptionLabel()),
      unSplashAuthorizationLinkButton_(licenseButton()), iapButton_(largeButton("donate")),
      cleanButton_(cleanCacheButton()), appReviewButton_(largeButton("app_review")) {}

std::weak_ptr<AboutViewController> AboutViewController::weakSelf() {
    return std::static_pointer_cast<AboutViewController>(shared_from_this());
}

void AboutViewController::loadView() {
    setView(std::make_shared<ui::View>(ui::DeviceProfile::current().screenBounds()));
}

void AboutViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setupViews();
    const auto weak = weakSelf();
    core::Queue::global()->async([weak] {
        if (const auto self = weak.lock()) self->requestProducts();
    });
}

void AboutViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (const auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, animated);
}

void AboutViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (const auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

void AboutViewController::setupViews() {
    const std::shared_ptr<ui::View> root = view();
    root->setBackgroundColor(gfx::Color::black());
    root->addSubview(iconImageView_);
    root->addSubview(verLabel_);
    verLabel_->setText(versionText(localized("version"), core::Bundle::main()->infoDictionary()));
    root->addSubview(appDescriptionLabel_);

    const auto weak = weakSelf();
    const auto action = [weak](void (AboutViewController::*method)()) {
        return [weak, method](ui::Control&) {
            if (const auto self = weak.lock()) ((*self).*method)();
        };
    };
    root->addSubview(iapButton_);
    iapButton_->addAction(ui::ControlEvent::TouchUpInside,
                          action(&AboutViewController::purchaseFirstItem));
    root->addSubview(appReviewButton_);
    appReviewButton_->addAction(ui::ControlEvent::TouchUpInside,
                                action(&AboutViewController::rateApp));
    root->addSubview(cleanButton_);
    cleanButton_->addAction(ui::ControlEvent::TouchUpInside,
                            action(&AboutViewController::cleanCache));
    root->addSubview(unSplashAuthorizationLinkButton_);
    unSplashAuthorizationLinkButton_->addAction(
        ui::ControlEvent::TouchUpInside, action(&AboutViewController::jumpToUnsplashLicense));
}

// The placements of setupViews: each view below the one before it, centred.
void AboutViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    const gfx::Rect bounds = view()->bounds();
    const double centreX = bounds.width() / 2;
    iconImageView_->setFrame({centreX - kIconSide / 2, 40, kIconSide, kIconSide});
    placeCentred(*verLabel_, centreX, iconImageView_->frame().maxY() + 10);
    const double textWidth = std::max(0.0, bounds.width() - 40);
    const double textHeight = appDescriptionLabel_->sizeThatFits({textWidth, 0}).height;
    appDescriptionLabel_->setFrame({20, verLabel_->frame().maxY() + 30, textWidth, textHeight});
    placeCentred(*iapButton_, centreX, appDescriptionLabel_->frame().maxY() + 30);
    placeCentred(*appReviewButton_, centreX, iapButton_->frame().maxY() + 10);
    placeCentred(*cleanButton_, centreX, appReviewButton_->frame().maxY() + 30);
    const double linkHeight = unSplashAuthorizationLinkButton_->intrinsicContentSize().height;
    placeCentred(*unSplashAuthorizationLinkButton_, centreX, bounds.height() - 100 - linkHeight);
}

std::string AboutViewController::versionText(std::string_view localizedVersion,
                                             const core::Value& infoDictionary) {
    std::string text(localizedVersion);
    text.append(infoDictionary["CFBundleShortVersionString"].stringValue());
    return text;
}

std::string AboutViewController::licenseURLString() {
    const auto site = core::URL::create(AppConfiguration::current().photoWebBase);
    if (!site || site->host().empty()) return {};
    std::string text = "https://";
    const bool ipLiteral = site->host().find(':') != std::string::npos;
    if (ipLiteral) text.append("[");
    text.append(site->host());
    if (ipLiteral) text.append("]");
    if (site->port()) text.append(":").append(std::to_string(*site->port()));
    text.append("/license");
    return text;
}

void AboutViewController::jumpToUnsplashLicense() {
    showWebPage(licenseURLString());
}

void AboutViewController::showWebPage(const std::string& urlString) {
    const auto url = core::URL::create(urlString);
    if (!url) return;
    const auto browser = store::SafariViewController::create(*url);
    if (!browser) return;
    presentViewController(browser, true, [] {});
}

void AboutViewController::rateApp() {
    if (const auto url = core::URL::create(kStoreReviewURL))
        (void)store::URLOpener::shared().open(*url);
}

void AboutViewController::cleanCache() {
    ui::ImageCache& cache = ui::ImageManager::shared().cache();
    cleanButton_->setTitleColor(kGray);
    cleanButton_->setTitle(localized("clearing_up"));
    const auto self = std::static_pointer_cast<AboutViewController>(shared_from_this());
    cache.clearDiskCache([self] {
        self->cleanButton_->setTitleColor(gfx::Color::white());
        self->cleanButton_->setTitle(localized("clean_cache"));
        self->showToast(localized("cleaned_up"));
    });
}

void AboutViewController::showToast(const std::string& message) {
    showToastWhenFree(message, shared_from_this(), kToastSeconds);
}

}  // namespace app
