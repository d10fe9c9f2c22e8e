#include "AdRows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ShotColours.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "app/AppDelegate.h"
#include "app/QZKit/QZTabViewController.h"
#include "app/vc/ViewController.h"
#include "core/RunLoop.h"
#include "fixtures/AdScenarios.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "fixtures/CorePage.h"
#include "gfx/Image.h"
#include "ui/IndexPath.h"
#include "ui/Renderer.h"
#include "ui/TableView.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace tools {

namespace {

// The featured feed's place among the tab container's pages.
constexpr long kFeaturedPage = 1;
// Clock (and real-time) limits of the waits.
constexpr double kRowsLimit = 15;
constexpr double kBannersLimit = 20;
constexpr double kTick = 0.1;
// How far a channel of a drawn pixel may stray from the stylesheet's.
constexpr int kTolerance = 10;

bool near(unsigned drawn, unsigned wanted) {
    return tools::near(drawn, wanted, kTolerance);
}

void collectBanners(const std::shared_ptr<ui::View>& view,
                    std::vector<std::shared_ptr<ads::DZBannerView>>& found) {
    if (auto banner = std::dynamic_pointer_cast<ads::DZBannerView>(view)) {
        found.push_back(std::move(banner));
        return;
    }
    for (const auto& subview : view->subviews()) collectBanners(subview, found);
}

size_t countPath(const std::vector<fixtures::LoopbackRequest>& requests, const std::string& path) {
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(),
                                             [&](const auto& r) { return r.path == path; }));
}

// The clock in steps of a tenth of a second, each after a real wait of as
// long for the pages and the ad server, whose work the clock does not see,
// until the predicate holds or limitSeconds pass.
bool tickUntil(fixtures::AppClock& clock, const std::function<bool()>& predicate,
               double limitSeconds) {
    for (double t = 0; t < limitSeconds; t += kTick) {
        if (core::RunLoop::main().runUntil(predicate, kTick)) return true;
        clock.advance(kTick);
    }
    return predicate();
}

}  // namespace

bool shootFeaturedAdRows(const std::shared_ptr<app::AppDelegate>& delegate,
                         fixtures::AdServer& server, fixtures::AppClock& clock,
                         const std::filesystem::path& out) {
    const auto& tabs = delegate->qzTabVc();
    const auto feed =
        std::dynamic_pointer_cast<app::ViewController>(tabs->viewCtrls().at(kFeaturedPage));
    ui::Window& window = *delegate->window();
    if (!feed) {
        say("featured-ad-rows.png: no featured feed");
        return false;
    }
    tabs->scrollToPage(kFeaturedPage);
    clock.wait(0.8);
    const auto firstAdRow = [&]() -> int {
        const auto& list = feed->imageDataSources();
        for (size_t row = 0; row < list.size(); ++row)
            if (list[row]->isAds) return static_cast<int>(row);
        return -1;
    };
    if (!clock.waitUntil([&] { return firstAdRow() >= 0; }, kRowsLimit)) {
        say("featured-ad-rows.png: the featured feed has no banner row");
        return false;
    }
    const auto& table = feed->tableView();
    table->layoutIfNeeded();
    const gfx::Rect row = table->rectForRowAtIndexPath(ui::IndexPath::forRow(firstAdRow(), 0));
    // The banner row a third of the way down the screen.
    table->setContentOffset({0, std::max(0.0, row.minY() - table->frame().height() / 3)});
    window.layoutTree();
    clock.wait(0.2);

    const std::string token = fixtures::AdScenarios::kAppScenario;
    const std::string adPath = std::string(fixtures::AdServer::kTokenPrefix) + token + "/ad";
    const std::string impressionPath =
        std::string(fixtures::AdServer::kTokenPrefix) + token + "/imp";
    std::vector<std::shared_ptr<ads::DZBannerView>> banners;
    const auto shown = [&] {
        banners.clear();
        collectBanners(table, banners);
        const auto requests = server.requestsFor(token);
        return !banners.empty() && countPath(requests, impressionPath) >= banners.size();
    };
    if (!tickUntil(clock, shown, kBannersLimit))
        say("featured-ad-rows.png: the banners are late");
    (void)web::WebView::awaitSnapshots(5);
    clock.wait(0.2);

    const std::filesystem::path shot = out / "featured-ad-rows.png";
    // The picture as written: the first banner row's two bands.
    const auto written = WrittenShot::write(window, shot);
    if (!written) return false;
    const auto pixel = [&](gfx::Point point) { return written->pixel(point); };
    bool ok = !banners.empty();
    if (ok) {
        const auto& banner = banners.front();
        const gfx::Rect frame = banner->convertRectTo(banner->bounds(), nullptr);
        const unsigned top = pixel({frame.midX(), frame.minY() + frame.height() * 0.7 / 2});
        const unsigned bottom = pixel({frame.midX(), frame.minY() + frame.height() * 0.75});
        say("featured-ad-rows.png: the first banner row at " + std::to_string(int(frame.minX())) +
            "," + std::to_string(int(frame.minY())) + " " + std::to_string(int(frame.width())) +
            "x" + std::to_string(int(frame.height())) + " shows " + hex(top) + " over " +
            hex(bottom));
        if (!near(top, kDemoBannerTop) || !near(bottom, kDemoBannerBottom)) {
            say("featured-ad-rows.png: the demo banner's colours are " + hex(kDemoBannerTop) +
                " over " + hex(kDemoBannerBottom));
            ok = false;
        }
    }

    const auto requests = server.requestsFor(token);
    const size_t corePages = server.requestsTo(fixtures::CorePage::kPath).size();
    const size_t adRequests = countPath(requests, adPath);
    const size_t impressions = countPath(requests, impressionPath);
    say("the ad server's log: core page " + std::to_string(corePages) + ", ad requests " +
        std::to_string(adRequests) + ", impressions " + std::to_string(impressions) + " for " +
        std::to_string(banners.size()) + " banners shown");
    return ok && corePages >= 1 && adRequests == banners.size() && impressions == banners.size();
}

}  // namespace tools
