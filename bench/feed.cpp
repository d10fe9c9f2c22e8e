// One screen of the explore feed holding 1,000 photos, scrolled to the
// middle of the waterfall, on the default phone. The thumbnails are in the
// image library's memory cache and the feed's own request has nowhere to go,
// so nothing touches the network.
//
//   BM_FeedLayout  a reload and one layout pass: the waterfall of all 1,000
//                  photos prepared again, the visible cells made and their
//                  thumbnails set
//   BM_FeedFrame   one render of the window at the device scale (2x)

#include <benchmark/benchmark.h>

#include <array>

#include "app/services/AppConfiguration.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "gfx/Canvas.h"
#include "gfx/Fonts.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageManager.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

constexpr size_t kPhotos = 1000;

// Pixel sizes as the photo service reports them, portrait to landscape.
constexpr std::array<std::array<int, 2>, 6> kSizes{
    {{1080, 1620}, {1600, 900}, {2000, 2000}, {800, 2000}, {4000, 6000}, {3000, 2000}}};

gfx::ImagePtr thumbnail(size_t kind) {
    const auto [width, height] = kSizes[kind];
    const gfx::Size points{200, 200.0 * height / width};
    const gfx::Color color{0.2 + 0.1 * static_cast<double>(kind), 0.4, 0.6, 1};
    return gfx::Image::draw(points, 2, [&](gfx::Canvas& canvas) {
        canvas.fillRect({{0, 0}, points}, color);
        canvas.fillRect({{20, 20}, {points.width - 40, points.height / 3}}, gfx::Color::white());
    });
}

app::PhotoList cachedPhotos() {
    std::array<gfx::ImagePtr, kSizes.size()> thumbnails;
    for (size_t kind = 0; kind < kSizes.size(); ++kind) thumbnails[kind] = thumbnail(kind);
    app::PhotoList photos;
    photos.reserve(kPhotos);
    for (size_t i = 0; i < kPhotos; ++i) {
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

struct Feed {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<app::WaterfallViewController> controller;
};

const Feed& feed() {
    static const Feed made = [] {
        core::RunLoop::bindMainToCurrentThread();
        (void)gfx::Fonts::configure(core::Bundle::main()->resourcePath());
        (void)core::Console::setSink([](std::string_view) {});
        // Not an http URL: the feed's refresh fails without a connection.
        app::AppConfiguration::set({"bench:", "bench:", "bench:"});

        Feed feed;
        feed.window = std::make_shared<ui::Window>(ui::DeviceProfile::current().screenBounds());
        feed.controller =
            std::make_shared<app::WaterfallViewController>("bench:/photos", "BENCH_FEED");
        feed.window->setRootViewController(feed.controller);
        feed.window->makeKeyAndVisible();
        feed.controller->loadingTips()->setHidden(true);
        feed.controller->actIndicatorView()->stopAnimating();
        feed.controller->refreshController()->endRefreshing();

        feed.controller->showHistoryPhotos(cachedPhotos());
        const auto& collection = feed.controller->collectionView();
        feed.window->layoutIfNeeded();
        const double middle =
            (collection->contentSize().height - collection->bounds().height()) / 2;
        collection->setContentOffset({0, middle});
        feed.window->layoutIfNeeded();
        return feed;
    }();
    return made;
}

void BM_FeedLayout(benchmark::State& state) {
    const auto& collection = feed().controller->collectionView();
    for (auto _ : state) {
        collection->reloadData();
        collection->layoutIfNeeded();
        benchmark::DoNotOptimize(collection->visibleCells().size());
    }
    state.counters["photos"] = static_cast<double>(feed().controller->imageDataSources().size());
    state.counters["cells"] = static_cast<double>(collection->visibleCells().size());
    state.counters["offset"] = collection->contentOffset().y;
}
BENCHMARK(BM_FeedLayout)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FeedFrame(benchmark::State& state) {
    auto& window = *feed().window;
    for (auto _ : state) {
        window.setNeedsDisplay();
        auto image = ui::Renderer::render(window, 2.0);
        benchmark::DoNotOptimize(image);
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeedFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
