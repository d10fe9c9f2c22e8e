// The photo viewer inside the launched app, against the local photo and
// quote services: the small image first, the full download with its
// progress, the buttons, the quote, the favourites it writes, and the
// author's page in the in-app browser.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "AppHarness.h"
#include "app/services/Common.h"
#include "app/services/HitokotoService.h"
#include "app/vc/CollectedViewController.h"
#include "app/vc/PhotoViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "core/NotificationCenter.h"
#include "fixtures/PhotoDocument.h"
#include "gfx/Fonts.h"
#include "store/SafariViewController.h"
#include "store/URLOpener.h"
#include "ui/AlertController.h"
#include "ui/ImageAsset.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Renderer.h"
#include "web/WebView.h"

namespace {

using app::PhotoViewController;
using fixtures::ImageVariant;
using fixtures::PhotoDocument;
using fixtures::PhotoFailure;

constexpr const char* kFavouritesKey = "USER_COLLECT_PHOTOS";

class PhotoViewerScenario : public testing::Test {
protected:
    void SetUp() override { app.launch(); }

    [[nodiscard]] std::shared_ptr<ui::NavigationController> navigation() const {
        return std::dynamic_pointer_cast<ui::NavigationController>(
            app.window().rootViewController());
    }
    [[nodiscard]] const fixtures::PoolPhoto& poolPhoto(size_t index) {
        return app.photos().pool().photos().at(index);
    }
    // Pool photo `index` as a feed lists it once its thumbnail has loaded.
    // Each test takes photos no other test opens: the image library's
    // caches outlive a test.
    [[nodiscard]] std::shared_ptr<app::PhotosObject> photo(size_t index) {
        auto po = app::PhotosObject::fromJSON(
            PhotoDocument::photo(poolPhoto(index), app.photos().baseURL()));
        po->isHolder = false;
        po->smallImage = ui::imageNamed("bg_slice");
        return po;
    }
    [[nodiscard]] std::string fullPath(size_t index) {
        return PhotoDocument::imagePath(poolPhoto(index), ImageVariant::Full);
    }
    [[nodiscard]] size_t downloadPings(size_t index) {
        return app.photos().requestsTo("/photos/" + poolPhoto(index).id + "/download").size();
    }

    std::shared_ptr<PhotoViewController> open(std::shared_ptr<app::PhotosObject> po) {
        auto viewer = std::make_shared<PhotoViewController>();
        viewer->setPo(std::move(po));
        navigation()->pushViewController(viewer, false);
        app.settle(0.1);
        app.window().layoutIfNeeded();
        return viewer;
    }
    // Past the two half-second steps before the download that reports.
    void reachDownload() { app.settle(1.1); }
    bool waitForEnd(const PhotoViewController& viewer) {
        return app.waitFor([&] { return !viewer.bbarCollectButton()->isHidden(); });
    }
    // Toasts are presented from the navigation controller, the viewer's
    // outermost parent.
    [[nodiscard]] std::string toastTitle(const PhotoViewController&) const {
        const auto alert =
            std::dynamic_pointer_cast<ui::AlertController>(navigation()->presentedViewController());
        return alert ? alert->title() : std::string();
    }
    [[nodiscard]] static core::Array favourites() {
        return core::UserDefaults::standard()->arrayForKey(kFavouritesKey).value_or(core::Array{});
    }
    [[nodiscard]] static bool buttonsHidden(const PhotoViewController& viewer) {
        return viewer.bbarShareButton()->isHidden() && viewer.bbarCollectButton()->isHidden() &&
               viewer.bbarSaveButton()->isHidden() && viewer.bbarJuButton()->isHidden();
    }
    [[nodiscard]] static bool buttonsShown(const PhotoViewController& viewer) {
        return !viewer.bbarShareButton()->isHidden() && !viewer.bbarCollectButton()->isHidden() &&
               !viewer.bbarSaveButton()->isHidden() && !viewer.bbarJuButton()->isHidden();
    }

    testsupport::AppHarness app;
};

// MARK: download

TEST_F(PhotoViewerScenario, HalfwayThroughTheDownloadTheBarShowsProgressAndTheBlurThins) {
    const auto rest = fixtures::ResponseGate::make();
    app.photos().setFailure(fullPath(20), PhotoFailure::heldAfterPart(rest, 2));
    const auto viewer = open(photo(20));
    EXPECT_TRUE(buttonsHidden(*viewer));
    EXPECT_EQ(viewer->bottomBarSizeLbl()->text(), PhotoViewController::kPreparingText);
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 1.0);
    const double centredSizeY = viewer->bottomBarSizeLbl()->frame().minY();

    reachDownload();
    ASSERT_TRUE(app.waitFor([&] { return !viewer->bottomBarPercentLbl()->text().empty(); }));
    const double percent = std::stod(viewer->bottomBarPercentLbl()->text());
    EXPECT_GT(percent, 30.0);
    EXPECT_LT(percent, 70.0);
    EXPECT_NEAR(viewer->blurView()->alpha(), 1.0 - percent / 100.0, 0.0001);
    EXPECT_NE(viewer->bottomBarSizeLbl()->text().find(" MB"), std::string::npos);
    EXPECT_GT(viewer->bottomBarSizeLbl()->frame().minY(), centredSizeY);
    EXPECT_TRUE(buttonsHidden(*viewer));
    EXPECT_FALSE(viewer->fullImage());

    // The exact texts of a given count, on the same screen.
    viewer->downloadProgress(2'621'440, 5'242'880);
    EXPECT_EQ(viewer->bottomBarPercentLbl()->text(), "50.00%");
    EXPECT_EQ(viewer->bottomBarSizeLbl()->text(), "2.50/5.00 MB");
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 0.5);
    rest->release();
    ASSERT_TRUE(waitForEnd(*viewer));
}

TEST_F(PhotoViewerScenario, ProgressOutsideTheRangeIsClampedAndAnUnknownTotalChangesNothing) {
    // Held for the whole test: only the calls below report progress.
    app.photos().setFailure(fullPath(21), PhotoFailure::held(fixtures::ResponseGate::make()));
    const auto viewer = open(photo(21));
    viewer->downloadProgress(0, 0);
    EXPECT_EQ(viewer->bottomBarSizeLbl()->text(), PhotoViewController::kPreparingText);
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 1.0);
    viewer->downloadProgress(0, 1'048'576);
    EXPECT_EQ(viewer->bottomBarPercentLbl()->text(), "0.00%");
    EXPECT_EQ(viewer->bottomBarSizeLbl()->text(), "0.00/1.00 MB");
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 1.0);
    viewer->downloadProgress(3'000'000, 1'048'576);
    EXPECT_EQ(viewer->bottomBarPercentLbl()->text(), "100.00%");
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 0.0);
    viewer->downloadProgress(-5, 1'048'576);
    EXPECT_EQ(viewer->bottomBarPercentLbl()->text(), "0.00%");
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 1.0);
}

TEST_F(PhotoViewerScenario, ASuccessShowsTheFullImageAndTellsThePhotoServiceOnce) {
    const auto viewer = open(photo(22));
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));
    ASSERT_TRUE(viewer->fullImage());
    EXPECT_TRUE(buttonsShown(*viewer));
    EXPECT_TRUE(viewer->bottomBarPercentLbl()->isHidden());
    EXPECT_TRUE(viewer->bottomBarSizeLbl()->isHidden());
    EXPECT_DOUBLE_EQ(viewer->blurView()->alpha(), 0.0);
    EXPECT_EQ(toastTitle(*viewer), "");

    ASSERT_TRUE(app.waitFor([&] { return downloadPings(22) >= 1; }));
    app.settle(2.0);
    ASSERT_TRUE(app.waitForQuiet());
    EXPECT_EQ(downloadPings(22), 1u);
    // The photo fills the screen height at its own aspect ratio.
    const gfx::Size size = viewer->fullImage()->size();
    EXPECT_NEAR(viewer->scrollView()->contentSize().width, size.width * 667.0 / size.height, 1e-6);
    EXPECT_DOUBLE_EQ(viewer->scrollView()->contentSize().height, 667.0);
}

TEST_F(PhotoViewerScenario, AFailedDownloadShowsTheButtonsTheToastAndRefusesTheFavourite) {
    app.photos().setFailure(fullPath(23), PhotoFailure::serverError500());
    const auto viewer = open(photo(23));
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));
    EXPECT_TRUE(buttonsShown(*viewer));
    EXPECT_TRUE(viewer->bottomBarPercentLbl()->isHidden());
    // The blur stays as the last progress call left it.
    const std::string percent = viewer->bottomBarPercentLbl()->text();
    EXPECT_NEAR(viewer->blurView()->alpha(), percent.empty() ? 1.0 : 1.0 - std::stod(percent) / 100,
                1e-9);
    EXPECT_FALSE(viewer->fullImage());
    EXPECT_EQ(toastTitle(*viewer), PhotoViewController::kDownloadFailedText);
    EXPECT_EQ(downloadPings(23), 0u);

    app.settle(2.0);
    EXPECT_EQ(toastTitle(*viewer), "");
    viewer->collectAction();
    app.settle(0.5);
    EXPECT_EQ(toastTitle(*viewer), PhotoViewController::kNotDownloadedText);
    EXPECT_TRUE(favourites().empty());
}

TEST_F(PhotoViewerScenario, LeavingDuringTheDownloadNeitherRestartsItNorShowsAToast) {
    app.photos().setFailure(fullPath(24),
                            PhotoFailure::heldAfterPart(fixtures::ResponseGate::make(), 4));
    const auto viewer = open(photo(24));
    app.settle(0.2);
    viewer->backAction();
    app.settle(1.0);
    EXPECT_NE(navigation()->topViewController(), viewer);
    EXPECT_TRUE(viewer->isClosed());

    app.settle(2.0);
    ASSERT_TRUE(app.waitForQuiet());
    app.settle(2.0);
    EXPECT_LE(app.photos().requestsTo(fullPath(24)).size(), 1u);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);
    EXPECT_TRUE(buttonsHidden(*viewer));
    EXPECT_FALSE(viewer->fullImage());
}

TEST_F(PhotoViewerScenario, LeavingAfterTheRestartCancelsQuietly) {
    app.photos().setFailure(fullPath(25),
                            PhotoFailure::heldAfterPart(fixtures::ResponseGate::make(), 4));
    const auto viewer = open(photo(25));
    reachDownload();
    ASSERT_TRUE(app.waitFor([&] { return !viewer->bottomBarPercentLbl()->text().empty(); }));
    viewer->backAction();
    app.settle(1.0);
    ASSERT_TRUE(app.waitForQuiet()) << "leaving cancels the download";
    app.settle(2.0);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);
    EXPECT_FALSE(viewer->fullImage());
    EXPECT_EQ(downloadPings(25), 0u);
}

// MARK: layout

TEST_F(PhotoViewerScenario, AWideImageSpansTwiceTheScreenWidthAtTheScreenHeight) {
    const auto viewer = open(photo(26));
    const auto image = gfx::Image::create(1000, 500, gfx::Image::Pixels(1000 * 500, 0xff336699u));
    ASSERT_TRUE(image);
    viewer->layoutImage(image);
    EXPECT_DOUBLE_EQ(viewer->scrollView()->contentSize().width, 1334.0);
    EXPECT_DOUBLE_EQ(viewer->scrollView()->contentSize().height, 667.0);
    EXPECT_EQ(viewer->imageView()->frame(), gfx::Rect(0, 0, 1334, 667));
    EXPECT_EQ(viewer->bottomBar()->frame(), gfx::Rect(0, 617, 375, 50));
    EXPECT_EQ(viewer->topBar()->frame().height(), 30.0);
}

TEST_F(PhotoViewerScenario, WithoutAPhotoOrWithABadSmallURLTheViewerShowsThePlaceholder) {
    const auto empty = open(nullptr);
    EXPECT_EQ(empty->holderImage(), ui::imageNamed("bg_slice"));
    EXPECT_TRUE(buttonsShown(*empty));
    empty->collectAction();
    app.settle(0.5);
    EXPECT_TRUE(favourites().empty());
    empty->backAction();
    app.settle(1.0);

    auto po = photo(27);
    po->isHolder = true;
    po->smallUrl = "not a url at all";
    const auto viewer = open(po);
    EXPECT_FALSE(viewer->holderImage());
    app.settle(0.6);
    EXPECT_EQ(viewer->holderImage(), ui::imageNamed("bg_slice"));
    EXPECT_GT(viewer->scrollView()->contentSize().width, 0.0);
    // The full download still runs.
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));
    EXPECT_TRUE(viewer->fullImage());
}

TEST_F(PhotoViewerScenario, APlaceholderPhotoIsLaidOutWithItsRetrievedSmallImage) {
    auto po = photo(28);
    po->isHolder = true;
    const auto viewer = open(po);
    ASSERT_TRUE(app.waitFor([&] {
        app.settle(0.1);
        return viewer->holderImage() != nullptr;
    }));
    EXPECT_NE(viewer->holderImage(), ui::imageNamed("bg_slice"));
}

// MARK: author

TEST_F(PhotoViewerScenario, TappingTheAuthorOpensTheirPageInTheBrowserOnceTheBlurIsGone) {
    store::URLOpener::shared().clearForTesting();
    const auto viewer = open(photo(36));
    // Under the opaque blur the author area takes no touch.
    app.touches().tap({300, 15});
    app.settle(0.5);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);

    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));
    app.touches().tap({300, 15});
    app.settle(0.5);
    const auto browser = std::dynamic_pointer_cast<store::SafariViewController>(
        navigation()->presentedViewController());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->url().absoluteString(), viewer->po()->userLink);

    // The author's page shows inside the browser: their name as its title in
    // the bar, and its heading (their name, dark on white) at the top of
    // the page, where the browser alone shows white.
    const std::string name = poolPhoto(36).user.name;
    ASSERT_TRUE(app.waitFor([&] { return browser->title() == name; })) << browser->title();
    ASSERT_TRUE(app.waitForQuiet());
    const auto page = browser->webView();
    ASSERT_TRUE(page);
    const auto shot = ui::Renderer::render(app.window(), 1);
    const gfx::Rect top = page->convertRectTo({0, 0, page->bounds().width(), 80}, nullptr);
    int dark = 0;
    for (int y = int(top.minY()); y < int(top.maxY()); ++y)
        for (int x = int(top.minX()); x < int(top.maxX()); ++x)
            if (shot->pixelAt(x, y).red < 0.3) ++dark;
    EXPECT_GT(dark, 100) << "no heading drawn under the bar";
    EXPECT_TRUE(browser->failureLabel()->isHidden());
    EXPECT_EQ(app.photos().server().requestsTo("/@" + poolPhoto(36).user.username).size(), 1u);
    // Nothing of it left the app.
    EXPECT_TRUE(store::URLOpener::shared().requests().empty());
    browser->dismissViewController(false);

    viewer->po()->userLink = "javascript:alert(1)";
    viewer->jumpToUserPage();
    app.settle(0.5);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);
}

// MARK: quote

TEST_F(PhotoViewerScenario, TheQuoteButtonShowsEachNewQuoteWithItsLineBreaks) {
    const auto viewer = open(photo(29));
    EXPECT_TRUE(viewer->hitokotoLbl()->isHidden());
    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] { return viewer->hitokotoModel().has_value(); }));
    const auto texts = app.quotes().texts();
    ASSERT_GE(texts.size(), 1u);
    EXPECT_EQ(viewer->hitokotoLbl()->text(), app::HitokotoService::breakLines(texts[0]));
    EXPECT_FALSE(viewer->hitokotoLbl()->isHidden());

    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] {
        return app.quotes().texts().size() >= 2 &&
               viewer->hitokotoLbl()->text() ==
                   app::HitokotoService::breakLines(app.quotes().texts()[1]);
    }));
    const std::string shown = viewer->hitokotoLbl()->text();
    for (const char* mark : {"，", "。", "？", "！", "；"}) {
        for (size_t at = shown.find(mark); at != std::string::npos; at = shown.find(mark, at + 1))
            EXPECT_EQ(shown.substr(at + std::string(mark).size(), 1), "\n");
    }
}

TEST_F(PhotoViewerScenario, TheQuoteCastsItsBlackShadowAndTheSizeLineIsSetLight) {
    const auto viewer = open(photo(37));
    EXPECT_EQ(gfx::Fonts::resolvedFace(viewer->bottomBarSizeLbl()->font()).style, "Light");
    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] { return viewer->hitokotoModel().has_value(); }));
    const auto& label = viewer->hitokotoLbl();
    EXPECT_EQ(label->shadow(), (gfx::Shadow{gfx::Color::black(), {0, 0}, 75}));

    // The same region drawn with and without the shadow: only darker, and
    // clearly so, around the glyphs.
    const gfx::Rect region = label->convertRectTo(label->bounds(), nullptr).integral();
    const auto shadowed = ui::Renderer::render(app.window(), 1);
    label->setShadow(std::nullopt);
    const auto plain = ui::Renderer::render(app.window(), 1);
    const auto brightness = [](const gfx::Color& c) { return (c.red + c.green + c.blue) / 3; };
    double darkening = 0;
    double darkest = 0;
    int brighter = 0;
    for (int y = static_cast<int>(region.minY()); y < static_cast<int>(region.maxY()); ++y) {
        for (int x = static_cast<int>(region.minX()); x < static_cast<int>(region.maxX()); ++x) {
            const double d = brightness(plain->pixelAt(x, y)) - brightness(shadowed->pixelAt(x, y));
            brighter += d < -0.01;
            darkening += d;
            darkest = std::max(darkest, d);
        }
    }
    EXPECT_EQ(brighter, 0);
    EXPECT_GT(darkening / (region.width() * region.height()), 0.01);
    EXPECT_GT(darkest, 0.05);
}

TEST_F(PhotoViewerScenario, AFailedQuoteKeepsTheOneShown) {
    const auto viewer = open(photo(30));
    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] { return viewer->hitokotoModel().has_value(); }));
    const std::string first = viewer->hitokotoLbl()->text();
    app.quotes().answerNext(fixtures::QuoteMode::serverError500());
    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] { return app.quotes().server().requests().size() >= 2; }));
    ASSERT_TRUE(app.waitForQuiet());
    EXPECT_EQ(viewer->hitokotoLbl()->text(), first);
}

// MARK: favourites

TEST_F(PhotoViewerScenario, TheHeartAddsAndRemovesThePhotoAndTheFavouritesPageFollows) {
    const auto page =
        std::dynamic_pointer_cast<app::CollectedViewController>(app.tabs().viewCtrls().at(2));
    const auto viewer = open(photo(31));
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));

    viewer->collectAction();
    app.settle(0.2);
    ASSERT_TRUE(app.waitFor([&] {
        app.settle(0.02);
        return page->imageDataSources().size() == 1;
    }));
    auto list = favourites();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], viewer->po()->favouriteRecord());
    EXPECT_EQ(page->imageDataSources()[0]->smallUrl, viewer->po()->smallUrl);
    EXPECT_EQ(toastTitle(*viewer), PhotoViewController::kCollectedText);
    EXPECT_EQ(viewer->bbarCollectButton()->currentImage(), ui::imageNamed("heart_F"));

    app.settle(2.0);
    viewer->collectAction();
    app.settle(0.2);
    ASSERT_TRUE(app.waitFor([&] {
        app.settle(0.02);
        return page->imageDataSources().empty();
    }));
    EXPECT_TRUE(favourites().empty());
    EXPECT_EQ(toastTitle(*viewer), PhotoViewController::kUncollectedText);
    EXPECT_EQ(viewer->bbarCollectButton()->currentImage(), ui::imageNamed("heart_L"));
}

TEST_F(PhotoViewerScenario, TwoQuickTapsAddAndRemoveWithoutLosingEither) {
    const auto other = photo(32)->favouriteRecord();
    core::UserDefaults::standard()->setObject(kFavouritesKey, core::Array{other});
    const auto viewer = open(photo(33));
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));

    std::atomic<int> notifications{0};
    std::atomic<bool> offMain{false};
    const auto mainThread = std::this_thread::get_id();
    auto token = core::NotificationCenter::defaultCenter().addObserver(
        app::CommonNotificationKeys::COLLECT_STATUS_CHANGED, nullptr, nullptr,
        [&](const core::Notification&) {
            if (std::this_thread::get_id() != mainThread) offMain = true;
            ++notifications;
        });
    viewer->collectAction();
    viewer->collectAction();
    app.settle(0.2);
    EXPECT_TRUE(app.waitFor([&] {
        app.settle(0.02);
        return notifications == 2;
    }));
    core::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_FALSE(offMain);
    EXPECT_EQ(favourites(), core::Array{other});
}

TEST_F(PhotoViewerScenario, RemovingAndAddingAgainMovesThePhotoToTheEnd) {
    const auto first = photo(34);
    core::UserDefaults::standard()->setObject(
        kFavouritesKey, core::Array{first->favouriteRecord(), photo(35)->favouriteRecord()});
    const auto viewer = open(photo(34));
    app.settle(0.2);
    ASSERT_TRUE(app.waitFor([&] {
        app.settle(0.02);
        return viewer->bbarCollectButton()->currentImage() == ui::imageNamed("heart_F");
    }));
    EXPECT_EQ(toastTitle(*viewer), "");
    reachDownload();
    ASSERT_TRUE(waitForEnd(*viewer));

    EXPECT_TRUE(viewer->toggleCollect() == false);
    EXPECT_EQ(favourites(), core::Array{photo(35)->favouriteRecord()});
    EXPECT_TRUE(viewer->toggleCollect());
    EXPECT_EQ(favourites(), (core::Array{photo(35)->favouriteRecord(), first->favouriteRecord()}));
    app.settle(0.1);
}

// MARK: opening from the feeds

TEST_F(PhotoViewerScenario, TheExploreFeedPushesTheViewerAsTheNavigationDelegate) {
    const auto explore =
        std::dynamic_pointer_cast<app::WaterfallViewController>(app.tabs().viewCtrls().at(0));
    ASSERT_TRUE(app.waitFor([&] { return !explore->isFetching(); }));
    app.settle(1.0);
    ASSERT_FALSE(explore->imageDataSources().empty());
    explore->openPhoto(1);
    app.settle(0.1);
    const auto viewer =
        std::dynamic_pointer_cast<PhotoViewController>(navigation()->topViewController());
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->po(), explore->imageDataSources()[1]);
    EXPECT_EQ(navigation()->delegate(),
              std::static_pointer_cast<ui::NavigationControllerDelegate>(explore));
    EXPECT_TRUE(navigation()->isNavigationBarHidden());
    app.settle(1.0);
    viewer->backAction();
    app.settle(1.0);
    EXPECT_NE(navigation()->topViewController(), viewer);
}

}  // namespace
