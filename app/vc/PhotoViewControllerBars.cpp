#include "app/services/Common.h"
#include "app/utils/Fonts.h"
#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "ui/DeviceProfile.h"
#include "ui/GestureRecognizer.h"
#include "ui/ImageAsset.h"
#include "ui/ImageLoading.h"

namespace app {

namespace {

constexpr double kAvatarSize = 30;
constexpr double kButtonWidth = 60;
constexpr double kButtonGap = 10;
constexpr double kLabelWidth = 200;
constexpr double kPercentWidth = 100;
constexpr double kPercentHeight = 25;
constexpr double kPhotoByHeight = 10;
constexpr double kUserNameHeight = 15;
constexpr double kQuoteShadowBlur = 75;

bool isModernSystem() {
    return ui::DeviceProfile::current().isSystemVersionAtLeast(11);
}

double topBarHeight() {
    return (isModernSystem() ? CommonValues::safeAreaTopInset() : 0.0) +
           PhotoViewController::kTopBarHeight;
}

double bottomBarHeight() {
    return PhotoViewController::kBottomBarHeight +
           (isModernSystem() ? CommonValues::safeAreaBottomInset() : 0.0);
}

}  // namespace

void PhotoViewController::setupTopBar() {
    if (isModernSystem())
        core::Console::log(std::to_string(CommonValues::safeAreaTopInset()) + " + " +
                           std::to_string(CommonValues::statusBarHeight()));
    view()->addSubview(topBar_);
    topGradient_->setColors({gfx::Color{0, 0, 0, 0.3}, gfx::Color::clear()});
    topGradient_->setLocations({0.0, 0.95});
    topBar_->insertSubview(topGradient_, 0);

    topBar_->addSubview(userInfoView_);
    userInfoView_->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>([weak = weakSelf()](ui::GestureRecognizer&) {
            if (auto screen = weak.lock()) screen->jumpToUserPage();
        }));

    userInfoView_->addSubview(topBarUserAvatar_);
    topBarUserAvatar_->setCornerRadius(kAvatarSize / 2);
    topBarUserAvatar_->setClipsToBounds(true);
    topBarUserAvatar_->setBorderWidth(0.5);
    topBarUserAvatar_->setBorderColor(gfx::Color::white());
    if (po_) ui::setImage(*topBarUserAvatar_, core::URL::create(po_->userProfileImage));

    userInfoView_->addSubview(topBarPhotoBy_);
    userInfoView_->addSubview(topBarUserName_);
    if (po_) topBarUserName_->setText(po_->userName);
}

void PhotoViewController::layoutTopBar() {
    const double width = view()->frame().width();
    const double height = topBarHeight();
    topBar_->setFrame(gfx::Rect(0, 0, width, height));
    topGradient_->setFrame(topBar_->bounds());

    // The author area reaches three bar widths to the left of the bar's
    // right edge; its height is the bar's own, without the safe area.
    const double areaHeight = kTopBarHeight;
    const bool centred = isModernSystem() && CommonValues::isIPhoneX();
    const double areaY = centred ? (height - areaHeight) / 2 : height - areaHeight;
    userInfoView_->setFrame(gfx::Rect(width - 3 * width, areaY, 3 * width, areaHeight));

    const double areaWidth = 3 * width;
    const double midY = areaHeight / 2;
    const double avatarX = areaWidth - 20 - kAvatarSize;
    topBarUserAvatar_->setFrame(
        gfx::Rect(avatarX, midY - kAvatarSize / 2, kAvatarSize, kAvatarSize));
    topBarPhotoBy_->setFrame(gfx::Rect(avatarX - 16 - kLabelWidth, midY - 2 - kPhotoByHeight,
                                       kLabelWidth, kPhotoByHeight));
    topBarUserName_->setFrame(
        gfx::Rect(avatarX - 8 - kLabelWidth, midY - 2, kLabelWidth, kUserNameHeight));
}

void PhotoViewController::addBarAction(ui::Button& button, void (PhotoViewController::*action)()) {
    button.addAction(ui::ControlEvent::TouchUpInside, [weak = weakSelf(), action](ui::Control&) {
        if (auto screen = weak.lock()) ((*screen).*action)();
    });
}

void PhotoViewController::setupBottomBar() {
    if (isModernSystem()) core::Console::log(std::to_string(CommonValues::safeAreaBottomInset()));
    view()->addSubview(bottomBar_);
    bottomGradient_->setColors({gfx::Color::clear(), gfx::Color{0, 0, 0, 0.3}});
    bottomGradient_->setLocations({0.0, 0.95});
    bottomBar_->insertSubview(bottomGradient_, 0);

    addBarAction(*backButton_, &PhotoViewController::backAction);
    bottomBar_->addSubview(backButton_);
    bottomBar_->addSubview(bottomBarCtrlView_);
    bottomBarCtrlView_->addSubview(bottomBarPercentLbl_);
    bottomBarCtrlView_->addSubview(bottomBarSizeLbl_);

    bbarShareButton_->addAction(ui::ControlEvent::TouchUpInside, [weak = weakSelf()](ui::Control&) {
        if (auto screen = weak.lock()) screen->shareAction(screen->bbarShareButton_);
    });
    addBarAction(*bbarCollectButton_, &PhotoViewController::collectAction);
    bbarSaveButton_->addAction(ui::ControlEvent::TouchUpInside, [weak = weakSelf()](ui::Control&) {
        if (auto screen = weak.lock()) screen->saveToAlbumAction(screen->bbarSaveButton_);
    });
    addBarAction(*bbarJuButton_, &PhotoViewController::fetchHitokoto);
    for (const auto& button :
         {bbarShareButton_, bbarCollectButton_, bbarSaveButton_, bbarJuButton_})
        bottomBarCtrlView_->addSubview(button);
}

void PhotoViewController::layoutBottomBar() {
    const gfx::Rect frame = view()->frame();
    const double height = bottomBarHeight();
    bottomBar_->setFrame(gfx::Rect(0, frame.maxY() - height, frame.width(), height));
    bottomGradient_->setFrame(bottomBar_->bounds());

    const gfx::Rect back(10, height / 2 - kBottomBarHeight / 2, kButtonWidth, kBottomBarHeight);
    backButton_->setFrame(back);
    const double controlsWidth = frame.width() - 30 - back.maxX();
    bottomBarCtrlView_->setFrame(
        gfx::Rect(back.maxX(), back.maxY() - kBottomBarHeight, controlsWidth, kBottomBarHeight));

    const double midX = controlsWidth / 2;
    const double midY = kBottomBarHeight / 2;
    bottomBarPercentLbl_->setFrame(gfx::Rect(midX - kPercentWidth / 2, midY + 8 - kPercentHeight,
                                             kPercentWidth, kPercentHeight));
    const double sizeY = sizeLabelBelowPercent_ ? midY : midY - kPercentHeight / 2;
    bottomBarSizeLbl_->setFrame(
        gfx::Rect(midX - kPercentWidth / 2, sizeY, kPercentWidth, kPercentHeight));

    double right = controlsWidth;
    for (const auto& button :
         {bbarShareButton_, bbarCollectButton_, bbarSaveButton_, bbarJuButton_}) {
        button->setFrame(gfx::Rect(right - kButtonWidth, 0, kButtonWidth, kBottomBarHeight));
        right -= kButtonWidth + kButtonGap;
    }
}

void PhotoViewController::setupQuoteLabel() {
    hitokotoLbl_->setTextColor(gfx::Color::white());
    hitokotoLbl_->setTextAlignment(gfx::TextAlignment::Center);
    hitokotoLbl_->setBackgroundColor(gfx::Color::clear());
    if (const auto font = fontNamed(CommonFontName::quote, 19)) hitokotoLbl_->setFont(*font);
    hitokotoLbl_->setShadow(gfx::Shadow{gfx::Color::black(), {0, 0}, kQuoteShadowBlur});
    hitokotoLbl_->setNumberOfLines(0);
    hitokotoLbl_->setLineBreakMode(gfx::LineBreakMode::CharWrap);
    hitokotoLbl_->setHidden(true);
    if (hitokotoLbl_->text().empty()) hitokotoLbl_->setText("无");
    view()->addSubview(hitokotoLbl_);
}

}  // namespace app
