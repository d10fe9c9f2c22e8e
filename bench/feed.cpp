// The explore feed inside the app's tab container (its tab bar drawn over
// it) on the default phone, its thumbnails decoded from JPEGs of the photo
// service's small size and held in the image library's memory cache, so
// nothing touches the network (the feed's own request has nowhere to go).
//
//   BM_FeedLayout/N  a reload and one layout pass of a feed of N photos: the
//                    waterfall of all N prepared again, the visible cells
//                    made and their thumbnails set (linear in N by design)
//   BM_FeedScroll/N  one scroll step of 40 points in the middle of a feed of
//                    N photos and its layout pass: cells leave and come
//                    (should cost what is visible, whatever N)
//   BM_FeedFrame     one frame of the window at 2x (750x1334 pixels)

#include <benchmark/benchmark.h>

#include <array>
#include <map>

#include "app/QZKit/QZTabViewController.h"
#include "app/services/AppConfiguration.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "gfx/Fonts.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageDownloader.h"
#include "ui/ImageManager.h"
#include "ui/NavigationController.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

// Pixel sizes as the photo service reports them, portrait to landscape.
constexpr std::array<std::array<int, 2>, 6> kSizes{
    {{1080, 1620}, {1600, 900}, {2000, 2000}, {800, 2000}, {4000, 6000}, {3000, 2000}}};
constexpr int kSmallWidth = 400;  // the service's "small" variant

// A decoded JPEG thumbnail: a gradient with a shape, like the service's.
gfx::ImagePtr thumbnail(size_t kind) {
    const auto [width, height] = kSizes[kind];
    const gfx::Size pixels{double(kSmallWidth), double(kSmallWidth) * height / width};
    const auto drawn = gfx::Image::draw(pixels, 1, [&](gfx::Canvas& canvas) {
        const auto base = gfx::Color::fromRGB(0x3a5f8a + 0x201008 * static_cast<int>(kind));
        canvas.fillLinearGradient({{0, 0}, pixels},
                                  gfx::LinearGradient{{0, 0},
                                                      {pixels.width, pixels.height},
                                                      {{0, base}, {1, gfx::Color::black()}}});
        canvas.fillEllipse(
            {{pixels.width / 4, pixels.height / 3}, {pixels.width / 2, pixels.width / 2}},
            gfx::Color::white().withAlpha(0.6));
    });
    return gfx::Image::decode(drawn->encodeJpeg(0.8), nullptr,
                              ui::ImageDownloader::decodeOptions({}));
}

app::PhotoList cachedPhotos(size_t count) {
    std::array<gfx::ImagePtr, kSizes.size()> thumbnails;
    for (size_t kind = 0; kind < kSizes.size(); ++kind) thumbnails[kind] = thumbnail(kind);
    app::PhotoList photos;
    photos.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        auto photo = std::make_shared<app::PhotosObject>();
        photo->smallUrl = "http://127.0.0.1:9/images/bench-" + std::to_string(i) + "/small.jpg";
        photo->width = kSizes[i % kSizes.size()][0];
        photo->height = kSizes[i % kSizes.size()][1];
        photo->smallImage = thumbnails[i % kSizes.size()];
        ui::ImageManager::shared().cache().store(*core::URL::create(photo->smallUrl),
                                                 thumbnails[i % kSizes.size()], {});
        photos.push_back(std::move(photo));
    }
    return photos;
}

std::shared_ptr<ui::ViewController> titledPage(const char* title) {
    auto page = std::make_shared<ui::ViewController>();
    page->setTitle(title);
    return page;
}

struct Feed {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<app::WaterfallViewController> controller;
    double middle = 0;
};

void setUpOnce() {
    static const bool done = [] {
        core::RunLoop::bindMainToCurrentThread();
        (void)gfx::Fonts::configure(core::Bundle::main()->resourcePath());
        (void)core::Console::setSink([](std::string_view) {});
        // Not an http URL: the feed's refresh fails without a connection.
        app::AppConfiguration::set({"bench:", "bench:", "bench:"});
        return true;
    }();
    (void)done;
}

const Feed& feed(size_t photos) {
    static std::map<size_t, Feed> feeds;
    if (const auto found = feeds.find(photos); found != feeds.end()) return found->second;
    setUpOnce();
    Feed feed;
    feed.window = std::make_shared<ui::Window>(ui::DeviceProfile::current().screenBounds());
    feed.controller = std::make_shared<app::WaterfallViewController>("bench:/photos", "BENCH_FEED");
    feed.controller->setTitle("Explore");
    auto tabs = app::QZTabViewController::create(
        {feed.controller, titledPage("Featured"), titledPage("Favourites"), titledPage("Settings")},
        0, 0.0);
    feed.window->setRootViewController(ui::NavigationController::create(tabs));
    feed.window->makeKeyAndVisible();
    feed.controller->loadingTips()->setHidden(true);
    feed.controller->actIndicatorView()->stopAnimating();
    feed.controller->refreshController()->endRefreshing();

    feed.controller->showHistoryPhotos(cachedPhotos(photos));
    const auto& collection = feed.controller->collectionView();
    feed.window->layoutIfNeeded();
    feed.middle = (collection->contentSize().height - collection->bounds().height()) / 2;
    collection->setContentOffset({0, feed.middle});
    feed.window->layoutIfNeeded();
    return feeds.emplace(photos, std::move(feed)).first->second;
}

void BM_FeedLayout(benchmark::State& state) {
    const Feed& made = feed(static_cast<size_t>(state.range(0)));
    const auto& collection = made.controller->collectionView();
    for (auto _ : state) {
        collection->reloadData();
        collection->layoutIfNeeded();
        benchmark::DoNotOptimize(collection->visibleCells().size());
    }
    state.counters["cells"] = static_cast<double>(collection->visibleCells().size());
}
BENCHMARK(BM_FeedLayout)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FeedScroll(benchmark::State& state) {
    const Feed& made = feed(static_cast<size_t>(state.range(0)));
    const auto& collection = made.controller->collectionView();
    collection->layoutIfNeeded();
    int step = 0;
    for (auto _ : state) {
        // Down and back up over 2,000 points.
        const int phase = step++ % 100;
        const double offset = made.middle + 40.0 * (phase < 50 ? phase : 100 - phase);
        collection->setContentOffset({0, offset});
        collection->layoutIfNeeded();
        benchmark::DoNotOptimize(collection->visibleCells().size());
    }
    state.counters["cells"] = static_cast<double>(collection->visibleCells().size());
}
BENCHMARK(BM_FeedScroll)->Arg(1000)->Arg(16000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FeedFrame(benchmark::State& state) {
    const Feed& made = feed(1000);
    auto& window = *made.window;
    made.controller->collectionView()->setContentOffset({0, made.middle});
    for (auto _ : state) {
        window.setNeedsDisplay();
        const gfx::Bitmap* frame = ui::Renderer::drawFrame(window, 2.0);
        benchmark::DoNotOptimize(frame);
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeedFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
