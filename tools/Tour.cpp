#include "Tour.h"

#include <algorithm>

#include "app/vc/PhotoViewController.h"
#include "app/vc/SearchViewController.h"
#include "app/vc/ViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "core/UserDefaults.h"
#include "ui/NavigationController.h"
#include "ui/TableView.h"
#include "ui/TouchInjector.h"

namespace tools {

namespace {
constexpr double kNetworkLimit = 8.0;  // seconds to wait for the local services
constexpr double kImagesSettle = 1.5;  // thumbnails decode and fade in
constexpr double kViewerFadeIn = 0.5;  // the feed's push of the viewer
}  // namespace

Tour::Tour(std::shared_ptr<app::AppDelegate> app, fixtures::AppClock& clock, Shoot shoot)
    : app_(std::move(app)), clock_(clock), shoot_(std::move(shoot)) {}

size_t Tour::run() {
    return exploreSteps() + featuredSteps() + searchSteps() + viewerSteps() + aboutSteps();
}

void Tour::showPage(size_t index) {
    const auto& button = app_->qzTabVc()->tabView()->titleButtons().at(index);
    ui::TouchInjector(*app_->window())
        .tap(button->convertRectTo(button->bounds(), nullptr).center());
    clock_.wait(0.8);
}

size_t Tour::exploreSteps() {
    showPage(0);
    auto explore =
        std::dynamic_pointer_cast<app::WaterfallViewController>(app_->qzTabVc()->viewCtrls().at(0));
    if (!explore) return 0;
    ui::TouchInjector touches(*app_->window());
    size_t written = 0;

    clock_.waitUntil([&] { return !explore->imageDataSources().empty() && !explore->isFetching(); },
                     kNetworkLimit);
    clock_.wait(kImagesSettle);
    written += shoot_("explore-1-first-page.png");

    // Pull to refresh.
    touches.drag({187, 140}, {187, 460}, 0.6, 20);
    clock_.wait(0.2);
    clock_.waitUntil([&] { return !explore->isFetching(); }, kNetworkLimit);
    clock_.wait(kImagesSettle);
    written += shoot_("explore-2-refreshed.png");

    // Fling to the bottom until more photos arrive.
    const size_t before = explore->imageDataSources().size();
    for (int fling = 0; fling < 12 && explore->imageDataSources().size() == before; ++fling) {
        touches.fling({187, 560}, {187, 80}, 0.08, 4);
        clock_.wait(1.2);
        clock_.waitUntil([&] { return !explore->isFetching(); }, kNetworkLimit);
    }
    clock_.wait(kImagesSettle);
    written += shoot_("explore-3-load-more.png");
    return written;
}

size_t Tour::featuredSteps() {
    showPage(1);
    auto featured =
        std::dynamic_pointer_cast<app::ViewController>(app_->qzTabVc()->viewCtrls().at(1));
    if (!featured) return 0;
    ui::TouchInjector touches(*app_->window());

    touches.drag({187, 140}, {187, 460}, 0.6, 20);
    clock_.wait(0.2);
    const auto& rows = featured->imageDataSources();
    const auto firstAd = [&] {
        return std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row->isAds; });
    };
    clock_.waitUntil([&] { return firstAd() != rows.end() && !featured->isFetching(); },
                     kNetworkLimit);
    size_t written = 0;
    if (adRowsShot_) {
        written += adRowsShot_() ? 1 : 0;
        showPage(2);
        return written + (shoot_("favourites.png") ? 1 : 0);
    }
    // Bring the first banner row into the middle of the screen.
    if (firstAd() != rows.end()) {
        const int row = static_cast<int>(firstAd() - rows.begin());
        const auto& table = featured->tableView();
        const gfx::Rect adRow = table->rectForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        table->setContentOffset({0, std::max(0.0, adRow.midY() - table->bounds().height() / 2)},
                                false);
    }
    clock_.wait(kImagesSettle);
    written += shoot_("featured-ad-rows.png");

    showPage(2);
    written += shoot_("favourites.png");
    return written;
}

size_t Tour::searchSteps() {
    showPage(0);
    auto explore =
        std::dynamic_pointer_cast<app::WaterfallViewController>(app_->qzTabVc()->viewCtrls().at(0));
    if (!explore || !explore->searchIcon()) return 0;
    ui::TouchInjector touches(*app_->window());
    const auto& icon = explore->searchIcon();
    touches.tap(icon->convertRectTo(icon->bounds(), nullptr).center());
    clock_.wait(1.0);

    auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(app_->window()->rootViewController());
    auto search =
        navigation
            ? std::dynamic_pointer_cast<app::SearchViewController>(navigation->topViewController())
            : nullptr;
    if (!search) return 0;
    const auto& bar = search->searchBar();
    touches.tap(bar->convertRectTo(bar->bounds(), nullptr).center());
    bar->insertText("mountain");
    bar->returnKeyPressed();
    clock_.waitUntil([&] { return !search->imageDataSources().empty() && !search->isFetching(); },
                     kNetworkLimit);
    clock_.wait(kImagesSettle + 1.0);
    size_t written = shoot_("search-results.png");
    navigation->popViewController(true);
    clock_.wait(0.8);
    return written;
}

size_t Tour::viewerSteps() {
    showPage(0);
    auto explore =
        std::dynamic_pointer_cast<app::WaterfallViewController>(app_->qzTabVc()->viewCtrls().at(0));
    auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(app_->window()->rootViewController());
    if (!explore || !navigation || explore->imageDataSources().empty()) return 0;
    if (slowDownload_) slowDownload_(explore->imageDataSources().front()->fullUrl);
    explore->openPhoto(0);
    // Not settled: the full download must still be under way for the
    // first shots. Halfway through the viewer's fade-in both the feed and
    // the viewer show.
    clock_.advance(kViewerFadeIn / 2);
    size_t written = shoot_("viewer-0-fading-in.png");
    clock_.advance(0.8 - kViewerFadeIn / 2);
    auto viewer =
        std::dynamic_pointer_cast<app::PhotoViewController>(navigation->topViewController());
    if (!viewer) return written;

    clock_.waitUntil([&] { return !viewer->bottomBarPercentLbl()->text().empty(); }, kNetworkLimit);
    written += shoot_("viewer-1-downloading.png");
    if (resumeDownload_) resumeDownload_();

    clock_.waitUntil([&] { return !viewer->bbarCollectButton()->isHidden(); }, kNetworkLimit);
    clock_.wait(kImagesSettle);
    written += shoot_("viewer-2-downloaded.png");

    ui::TouchInjector touches(*app_->window());
    touches.pinch({187, 333}, 60, 3.0);
    clock_.wait(1.0);
    written += shoot_("viewer-3-zoomed.png");
    viewer->scrollView()->setZoomScale(1.0, false);

    viewer->fetchHitokoto();
    clock_.waitUntil([&] { return viewer->hitokotoModel().has_value(); }, kNetworkLimit);
    clock_.wait(0.3);
    written += shoot_("viewer-4-quote.png");
    written += saveShareSteps(viewer);

    viewer->collectAction();
    clock_.waitUntil(
        [] {
            return core::UserDefaults::standard()->arrayForKey("USER_COLLECT_PHOTOS").has_value();
        },
        2.0);
    clock_.wait(2.0);
    viewer->backAction();
    clock_.wait(1.0);
    showPage(2);
    clock_.wait(kImagesSettle);
    written += shoot_("favourites-after-adding.png");
    return written;
}

}  // namespace tools
