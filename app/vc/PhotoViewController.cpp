#include "app/vc/PhotoViewController.h"

#include <cstdio>

#include "app/services/Common.h"
#include "app/services/HitokotoService.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "store/SafariViewController.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/ImageLoading.h"
#include "ui/ImageManager.h"
#include "ui/NavigationController.h"
#include "ui/Window.h"

namespace app {

namespace {

std::string pointText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

PhotoViewController::PhotoViewController()
    : scrollView_(std::make_shared<ui::ScrollView>()),
      imageView_(std::make_shared<ui::ImageView>()), bottomBar_(std::make_shared<ui::View>()),
      bottomGradient_(std::make_shared<ui::GradientView>()),
      bottomBarCtrlView_(std::make_shared<ui::View>()),
      bottomBarPercentLbl_(std::make_shared<ui::Label>()),
      bottomBarSizeLbl_(std::make_shared<ui::Label>()), topBar_(std::make_shared<ui::View>()),
      topGradient_(std::make_shared<ui::GradientView>()),
      topBarUserName_(std::make_shared<ui::Label>()), topBarPhotoBy_(std::make_shared<ui::Label>()),
      topBarUserAvatar_(std::make_shared<ui::ImageView>()),
      userInfoView_(std::make_shared<ui::View>()), backButton_(ui::Button::create()),
      bbarShareButton_(ui::Button::create()), bbarCollectButton_(ui::Button::create()),
      bbarSaveButton_(ui::Button::create()), bbarJuButton_(ui::Button::create()),
      hitokotoLbl_(std::make_shared<ui::Label>()),
      blurView_(std::make_shared<ui::VisualEffectView>(ui::BlurEffectStyle::Light)) {
    imageView_->setContentMode(gfx::ContentMode::ScaleAspectFill);

    bottomBarPercentLbl_->setTextAlignment(gfx::TextAlignment::Center);
    bottomBarPercentLbl_->setFont(gfx::Font::system(18, gfx::FontWeight::Medium));
    bottomBarPercentLbl_->setTextColor(gfx::Color::white());
    bottomBarSizeLbl_->setTextAlignment(gfx::TextAlignment::Center);
    bottomBarSizeLbl_->setFont(gfx::Font::system(10, gfx::FontWeight::Light));
    bottomBarSizeLbl_->setTextColor(gfx::Color::white());
    bottomBarSizeLbl_->setText(kPreparingText);

    topBarUserName_->setTextAlignment(gfx::TextAlignment::Right);
    topBarUserName_->setFont(gfx::Font::system(12, gfx::FontWeight::Medium));
    topBarUserName_->setTextColor(gfx::Color::white());
    topBarPhotoBy_->setTextAlignment(gfx::TextAlignment::Right);
    topBarPhotoBy_->setFont(gfx::Font::system(8));
    topBarPhotoBy_->setTextColor(gfx::Color::white());
    topBarPhotoBy_->setText("photo by");

    backButton_->setImage(ui::imageNamed("back"));
    bbarShareButton_->setImage(ui::imageNamed("share_F"));
    bbarCollectButton_->setImage(ui::imageNamed("heart_L"));
    bbarSaveButton_->setImage(ui::imageNamed("download_L"));
    bbarJuButton_->setTitle("句");
    bbarJuButton_->setTitleColor(gfx::Color::white());
    for (const auto& button :
         {bbarShareButton_, bbarCollectButton_, bbarSaveButton_, bbarJuButton_})
        button->setHidden(true);
}

std::shared_ptr<PhotoViewController> PhotoViewController::self() {
    return std::static_pointer_cast<PhotoViewController>(shared_from_this());
}

std::weak_ptr<PhotoViewController> PhotoViewController::weakSelf() {
    return self();
}

// MARK: lifecycle

void PhotoViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    setupViewer();
    checkFavouriteAtOpen();
}

void PhotoViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(true, true);
}

void PhotoViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
}

void PhotoViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    layoutViewer();
}

// MARK: setup

void PhotoViewController::setupViewer() {
    const auto root = view();
    root->addSubview(scrollView_);
    scrollView_->addSubview(imageView_);
    scrollView_->setDelegate(self());
    scrollView_->setMaximumZoomScale(kMaximumZoomScale);
    scrollView_->setZoomScale(1.0, false);
    imageView_->setUserInteractionEnabled(true);

    setupTopBar();

    if (!po_) {
        // Nothing to show or download: the placeholder picture and the
        // buttons, as after a failed download but without its toast.
        holderImage_ = ui::imageNamed("bg_slice");
        layoutImage(holderImage_);
        bottomBarPercentLbl_->setHidden(true);
        bottomBarSizeLbl_->setHidden(true);
        showBarButtons();
    } else if (!po_->isHolder && po_->smallImage) {
        holderImage_ = po_->smallImage;
        layoutImage(holderImage_);
        downloadFullImage();
    } else {
        loadSmallImageFirst();
    }

    root->addSubview(blurView_);
    setupQuoteLabel();
    setupBottomBar();
    layoutViewer();
}

void PhotoViewController::loadSmallImageFirst() {
    // The image library is main-thread only, so the retrieve starts here;
    // its answer waits kSmallImageDelay like every small image.
    const auto url = core::URL::create(po_->smallUrl);
    auto take = [weak = weakSelf()](gfx::ImagePtr image) {
        if (!image) image = ui::imageNamed("bg_slice");
        core::Queue::main()->after(kSmallImageDelay, [weak, image] {
            if (auto screen = weak.lock()) screen->takeSmallImage(image);
        });
    };
    if (!url || !url->isHTTPorHTTPS()) {
        take(nullptr);
        return;
    }
    (void)ui::ImageManager::shared().retrieveImage(
        *url, {}, [](std::int64_t, std::int64_t) {},
        [take](gfx::ImagePtr image, std::optional<ui::ImageError>, ui::CacheType,
               std::optional<core::URL>) { take(std::move(image)); });
}

void PhotoViewController::takeSmallImage(const gfx::ImagePtr& image) {
    if (closed_) return;
    holderImage_ = image;
    layoutImage(image);
    downloadFullImage();
}

void PhotoViewController::layoutImage(const gfx::ImagePtr& image) {
    if (!image || image->size().height <= 0) return;
    const double screenHeight = ui::DeviceProfile::current().screenBounds().height();
    const double ratio = screenHeight / image->size().height;
    core::Console::log("image.size.height: " + pointText(image->size().height) +
                       ",,,,,imageHeight: " + pointText(screenHeight) + "....");
    if (scrollView_->zoomScale() != 1.0) scrollView_->setZoomScale(1.0, false);
    imageContentSize_ = gfx::Size{ratio * image->size().width, screenHeight};
    scrollView_->setContentSize(imageContentSize_);
    imageView_->setFrame(gfx::Rect(gfx::Point{0, 0}, imageContentSize_));
}

void PhotoViewController::layoutViewer() {
    if (!isViewLoaded()) return;
    const gfx::Rect bounds = view()->bounds();
    // The photo is laid out at the screen's height, so the scroll view
    // covers the screen exactly: reaching past it by the safe areas would
    // push the photo up and leave a band under the bottom bar.
    scrollView_->setFrame(bounds);
    blurView_->setFrame(bounds);
    hitokotoLbl_->setFrame(gfx::Rect(bounds.width() * 0.1, bounds.minY() + 10, bounds.width() * 0.8,
                                     bounds.height() * 0.3));
    layoutTopBar();
    layoutBottomBar();
}

// MARK: scrolling

std::shared_ptr<ui::View> PhotoViewController::viewForZooming(ui::ScrollView&) {
    return imageView_;
}

void PhotoViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    const double x = scrollView.contentOffset().x;
    scrollXValue_ = x * ui::DeviceProfile::current().scale;
    core::Console::log(pointText(x));
}

// MARK: actions

void PhotoViewController::backAction() {
    closeViewer();
}

void PhotoViewController::jumpToUserPage() {
    openUserPage();
}

void PhotoViewController::openUserPage() {
    if (!po_) return;
    const auto url = core::URL::create(po_->userLink);
    if (!url) return;
    if (auto browser = store::SafariViewController::create(*url))
        presentViewController(browser, true, [] {});
}

void PhotoViewController::closeViewer() {
    closed_ = true;
    ui::cancelDownloadTask(*imageView_);
    if (auto navigation = navigationController()) (void)navigation->popViewController(true);
}

void PhotoViewController::fetchHitokoto() {
    HitokotoService service;
    service.requestHitokoto(
        [weak = weakSelf()](const HitokotoModel& model) {
            if (auto screen = weak.lock()) screen->showHitokoto(model);
        },
        [](const core::HTTPClientError&) {});
}

void PhotoViewController::showHitokoto(const HitokotoModel& model) {
    hitokotoModel_ = model;
    hitokotoLbl_->setText(model.hitokoto.value_or(""));
    hitokotoLbl_->setHidden(false);
}

// MARK: toast

void PhotoViewController::showMessage(const std::string& text, double seconds) {
    if (!core::Queue::main()->isCurrent()) {
        core::Queue::main()->async([weak = weakSelf(), text, seconds] {
            if (auto screen = weak.lock()) screen->presentMessage(text, seconds);
        });
        return;
    }
    presentMessage(text, seconds);
}

void PhotoViewController::presentMessage(const std::string& text, double seconds) {
    // A screen that has left the window has nobody to show a toast to.
    if (!isViewLoaded() || !view()->window()) return;
    showToast(text, self(), seconds);
}

}  // namespace app
