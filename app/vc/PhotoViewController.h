#pragma once
// The full-screen photo viewer every feed pushes on a tap: the photo at the
// screen's height in a zoomable scroll view, an author bar on top (a tap
// opens the author's page in the in-app browser), a bottom bar with back,
// share, favourite, save and quote buttons, and a quote laid over the photo.
// It shows the small image first, then downloads the full image behind a
// blur that thins as the bytes arrive; the four buttons appear when the
// download ends, whatever its outcome.
//
// Save offers the visible part or the whole full image for the photo
// album; share composes the visible part with a promotional text and the
// "qr_code" picture for the share sheet. The visible part follows the zoom
// scale and both content offsets and is clamped to the image.
//
// Once the screen is closed (back button) nothing it scheduled restarts the
// download and a cancelled download shows no failure toast. Favourite
// toggles run one after the other on a serial queue, so quick taps never
// lose a change; "COLLECT_STATUS_CHANGED" is posted on the main queue.
//
// Main thread only, except showMessage, which may be called anywhere.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/services/HitokotoModel.h"
#include "app/services/PhotosObject.h"
#include "core/Value.h"
#include "gfx/Image.h"
#include "gfx/TextLayout.h"
#include "store/AlbumError.h"
#include "ui/Button.h"
#include "ui/GradientView.h"
#include "ui/ImageOptions.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/ScrollViewDelegate.h"
#include "ui/ViewController.h"
#include "ui/VisualEffectView.h"

namespace ui {
class PopoverPresentationController;
}

namespace app {

class PhotoViewController : public ui::ViewController, public ui::ScrollViewDelegate {
public:
    static constexpr double kMaximumZoomScale = 10.0;
    static constexpr double kToastSeconds = 1.5;
    static constexpr double kTopBarHeight = 30.0;
    static constexpr double kBottomBarHeight = 50.0;
    // Between the small image and the full download's first and second start.
    static constexpr double kSmallImageDelay = 0.5;
    static constexpr double kRestartDelay = 0.5;
    static constexpr double kFadeSeconds = 1.0;
    static constexpr double kFavouriteDelay = 0.1;
    static constexpr const char* kPreparingText = "准备下载原图..";
    static constexpr const char* kDownloadFailedText = "原图下载失败，请稍后再试";
    static constexpr const char* kNotDownloadedText = "原图未下载，无法收藏";
    static constexpr const char* kCollectedText = "收藏成功";
    static constexpr const char* kUncollectedText = "取消收藏";
    static constexpr const char* kSaveNotDownloadedText = "原图未下载，无法保存";
    static constexpr const char* kShareNotDownloadedText = "原图未下载，无法分享";
    // Over the share sheet when the desktop's mail client did not take the image.
    static constexpr const char* kShareNotHandedText = "邮件应用未能打开，无法分享";
    static constexpr const char* kSaveSucceededText = "保存成功";
    static constexpr const char* kSaveFailedPrefix = "保存失败: ";
    static constexpr const char* kSaveSheetTitle = "提示";
    static constexpr const char* kSaveSheetMessage = "请选择要保存的尺寸";
    static constexpr const char* kSaveVisibleAreaTitle = "屏幕所见区域";
    static constexpr const char* kSaveOriginalTitle = "原图";
    static constexpr const char* kSaveCancelTitle = "取消";
    static constexpr const char* kShareText =
        "Vantor App \n精选高清墙纸免费下载 \n一起探寻世界之美";
    // Composition of the share image, in its pixels from its bottom right
    // corner: the text block's origin and the QR picture's square.
    static constexpr double kShareFontSize = 60;
    static constexpr double kShareTextRight = 1030;
    static constexpr double kShareTextBottom = 280;
    static constexpr double kQrCodeRight = 380;
    static constexpr double kQrCodeBottom = 350;
    static constexpr double kQrCodeSide = 300;
    // In an image too narrow for the text block at its place, the block
    // keeps this margin from the left edge and shrinks to its room.
    static constexpr double kShareTextMargin = 40;
    // The quote's top margin on screen, in points.
    static constexpr double kQuoteTop = 20;

    PhotoViewController();

    // Set by the opener before the screen is shown.
    void setPo(std::shared_ptr<PhotosObject> photo) { po_ = std::move(photo); }
    void setHolderImage(gfx::ImagePtr image) { holderImage_ = std::move(image); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;
    [[nodiscard]] bool prefersStatusBarHidden() const override { return true; }

    // ui::ScrollViewDelegate
    [[nodiscard]] std::shared_ptr<ui::View> viewForZooming(ui::ScrollView&) override;
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;

    // Button and gesture actions.
    void backAction();
    void shareAction(const std::shared_ptr<ui::View>& sender);
    void collectAction();
    void saveToAlbumAction(const std::shared_ptr<ui::View>& sender);
    void fetchHitokoto();
    void jumpToUserPage();

    // A title-only alert dismissed after seconds; hops to the main queue.
    void showMessage(const std::string& text, double seconds);
    void showHitokoto(const HitokotoModel& model);
    // Lays the photo out at the screen's height: content size (w * H / h, H).
    void layoutImage(const gfx::ImagePtr& image);

    // Full-size download.
    void downloadProgress(std::int64_t received, std::int64_t total);
    void downloadCompleted(const gfx::ImagePtr& image, const std::optional<ui::ImageError>& error,
                           ui::CacheType cacheType, const std::optional<core::URL>& url);

    // Save and share (PhotoViewControllerSave.cpp, PhotoViewControllerShare.cpp).
    void showSaveOptions(const std::shared_ptr<ui::View>& sender);
    void saveVisibleArea();
    void saveOriginal();
    // The album's answer to a write.
    void saveFinished(const std::optional<store::AlbumError>& error);
    // The part of the full image the screen shows, with the quote painted
    // in when it is shown; nullptr without the full image.
    [[nodiscard]] gfx::ImagePtr visibleAreaImage();
    void sharePhoto(const std::shared_ptr<ui::View>& sender);

    // The stretch of an image of imageSize pixels, shown at the screen's
    // height times zoomScale and scrolled to contentOffset (points), that
    // a screen of screenSize points shows, in image pixels; not clamped.
    // Empty for an empty image or screen or a zoom scale that is not
    // positive.
    [[nodiscard]] static gfx::Rect visibleAreaRect(gfx::Size imageSize, gfx::Point contentOffset,
                                                   double zoomScale, gfx::Size screenSize);
    // The visible rect made integral and clamped to the image; the whole
    // image when nothing of it is left.
    [[nodiscard]] static gfx::Rect cropRect(const gfx::Rect& visible, gfx::Size imageSize);
    // base at scale 1 with the share text and the QR picture (left out
    // when null) drawn over its bottom right part.
    [[nodiscard]] static gfx::ImagePtr composeShareImage(const gfx::ImagePtr& base,
                                                         const gfx::ImagePtr& qrCode);
    // The share text as composed: right-aligned lines within its own
    // measured width, in the given font size.
    [[nodiscard]] static gfx::TextLayout shareTextLayout(double fontSize = kShareFontSize);
    struct ShareTextPlacement {
        gfx::TextLayout layout;
        gfx::Point origin;
    };
    // Where the share text goes in an image of imageSize: its block at
    // (width - 1030, height - 280) where that leaves the margin on the left.
    // In a narrower image the block shrinks to start at the margin, keeping
    // its right edge and bottom beside the code; where that would leave it
    // too small, it goes above the code, against the right margin.
    [[nodiscard]] static ShareTextPlacement placeShareText(gfx::Size imageSize);

    // Favourites.
    [[nodiscard]] bool isCollected() const;
    // The stored favourites with po added, or without its first record.
    // Runs on the favourites queue; answers whether po is now a favourite.
    [[nodiscard]] bool toggleCollect();

    [[nodiscard]] const std::shared_ptr<PhotosObject>& po() const { return po_; }
    [[nodiscard]] const gfx::ImagePtr& holderImage() const { return holderImage_; }
    [[nodiscard]] const gfx::ImagePtr& fullImage() const { return fullImage_; }
    [[nodiscard]] double scrollXValue() const { return scrollXValue_; }
    [[nodiscard]] const std::optional<HitokotoModel>& hitokotoModel() const {
        return hitokotoModel_;
    }
    [[nodiscard]] bool isClosed() const { return closed_; }
    [[nodiscard]] const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
    [[nodiscard]] const std::shared_ptr<ui::ImageView>& imageView() const { return imageView_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& topBar() const { return topBar_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& bottomBar() const { return bottomBar_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& bottomBarCtrlView() const {
        return bottomBarCtrlView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Label>& bottomBarPercentLbl() const {
        return bottomBarPercentLbl_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Label>& bottomBarSizeLbl() const {
        return bottomBarSizeLbl_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Label>& topBarUserName() const {
        return topBarUserName_;
    }
    [[nodiscard]] const std::shared_ptr<ui::ImageView>& topBarUserAvatar() const {
        return topBarUserAvatar_;
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& userInfoView() const { return userInfoView_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& backButton() const { return backButton_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& bbarShareButton() const {
        return bbarShareButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& bbarCollectButton() const {
        return bbarCollectButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& bbarSaveButton() const {
        return bbarSaveButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& bbarJuButton() const { return bbarJuButton_; }
    [[nodiscard]] const std::shared_ptr<ui::Label>& hitokotoLbl() const { return hitokotoLbl_; }
    [[nodiscard]] const std::shared_ptr<ui::VisualEffectView>& blurView() const {
        return blurView_;
    }

    // The text of a progress call: "50.00%" and "2.50/5.00 MB".
    [[nodiscard]] static std::string percentText(double fraction);
    [[nodiscard]] static std::string sizeText(std::int64_t received, std::int64_t total);
    // received / total within 0..1; total must be at least 1.
    [[nodiscard]] static double progressFraction(std::int64_t received, std::int64_t total);

private:
    [[nodiscard]] std::shared_ptr<PhotoViewController> self();
    [[nodiscard]] std::weak_ptr<PhotoViewController> weakSelf();

    // PhotoViewController.cpp
    void setupViewer();
    void loadSmallImageFirst();
    void takeSmallImage(const gfx::ImagePtr& image);
    void closeViewer();
    void openUserPage();
    void layoutViewer();
    void presentMessage(const std::string& text, double seconds);

    // PhotoViewControllerBars.cpp
    void setupTopBar();
    void setupBottomBar();
    void setupQuoteLabel();
    void layoutTopBar();
    void layoutBottomBar();
    void addBarAction(ui::Button& button, void (PhotoViewController::*action)());

    // PhotoViewControllerDownload.cpp
    void downloadFullImage();
    void restartFullDownload();
    void beginFullDownload();
    void showBarButtons();

    // PhotoViewControllerSave.cpp
    void writeToAlbum(const gfx::ImagePtr& image);
    void anchorAtSender(ui::PopoverPresentationController* popover,
                        const std::shared_ptr<ui::View>& sender);

    // PhotoViewControllerCollect.cpp
    void checkFavouriteAtOpen();
    void collectPhoto();
    void updateCollectButton(bool collected);
    void addToCollection(std::optional<core::Array> list);

    std::shared_ptr<PhotosObject> po_;
    gfx::ImagePtr holderImage_;
    gfx::ImagePtr fullImage_;
    double scrollXValue_ = 0;
    std::optional<HitokotoModel> hitokotoModel_;
    bool closed_ = false;
    // Set by the first progress call: the size line moves under the percentage.
    bool sizeLabelBelowPercent_ = false;
    // Screen-height layout of the current image, (0, 0) before the first.
    gfx::Size imageContentSize_;

    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::ImageView> imageView_;
    std::shared_ptr<ui::View> bottomBar_;
    std::shared_ptr<ui::GradientView> bottomGradient_;
    std::shared_ptr<ui::View> bottomBarCtrlView_;
    std::shared_ptr<ui::Label> bottomBarPercentLbl_;
    std::shared_ptr<ui::Label> bottomBarSizeLbl_;
    std::shared_ptr<ui::View> topBar_;
    std::shared_ptr<ui::GradientView> topGradient_;
    std::shared_ptr<ui::Label> topBarUserName_;
    std::shared_ptr<ui::Label> topBarPhotoBy_;
    std::shared_ptr<ui::ImageView> topBarUserAvatar_;
    std::shared_ptr<ui::View> userInfoView_;
    std::shared_ptr<ui::Button> backButton_;
    std::shared_ptr<ui::Button> bbarShareButton_;
    std::shared_ptr<ui::Button> bbarCollectButton_;
    std::shared_ptr<ui::Button> bbarSaveButton_;
    std::shared_ptr<ui::Button> bbarJuButton_;
    std::shared_ptr<ui::Label> hitokotoLbl_;
    std::shared_ptr<ui::VisualEffectView> blurView_;
};

}  // namespace app
