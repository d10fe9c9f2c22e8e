// A person's next run with the same home: what the last run stored still
// works, although the local photo service now listens on other ports and
// another program holds the one it had.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "AppHarness.h"
#include "app/vc/CollectedViewController.h"
#include "app/vc/PhotoViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "fixtures/StableOrigins.h"
#include "ui/ImageAsset.h"
#include "ui/ImageManager.h"
#include "ui/NavigationController.h"

namespace {

using testsupport::AppHarness;

constexpr const char* kFavouritesKey = "USER_COLLECT_PHOTOS";

// A listening socket on a loopback port, as another program would hold it.
class HeldPort {
public:
    explicit HeldPort(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        // The server's closed connections may still linger on the port: it
        // is taken as the server took it.
        const int on = 1;
        (void)::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        (void)::setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        held_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(socket_, 4) == 0;
    }
    ~HeldPort() { ::close(socket_); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    [[nodiscard]] bool held() const { return held_; }

private:
    int socket_;
    bool held_ = false;
};

core::Array favourites() {
    return core::UserDefaults::standard()->arrayForKey(kFavouritesKey).value_or(core::Array{});
}

std::shared_ptr<app::PhotoViewController> shownViewer(AppHarness& app) {
    const auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(app.window().rootViewController());
    return std::dynamic_pointer_cast<app::PhotoViewController>(navigation->topViewController());
}

// The viewer a feed just pushed, once its full download has ended.
std::shared_ptr<app::PhotoViewController> downloadedViewer(AppHarness& app) {
    app.settle(1.2);
    const auto viewer = shownViewer(app);
    if (!viewer) return nullptr;
    EXPECT_TRUE(app.waitFor(
        [&] {
            app.settle(0.05);
            return !viewer->bbarCollectButton()->isHidden();
        },
        20));
    app.window().layoutIfNeeded();
    return viewer;
}

bool heartFilled(AppHarness& app, const app::PhotoViewController& viewer) {
    return app.waitFor([&] {
        app.settle(0.02);
        return viewer.bbarCollectButton()->currentImage() == ui::imageNamed("heart_F");
    });
}

void tap(AppHarness& app, const ui::View& view) {
    app.touches().tap(view.convertRectTo(view.bounds(), nullptr).center());
}

void goBack(AppHarness& app, app::PhotoViewController& viewer) {
    app.settle(2.0);  // past the toast
    viewer.backAction();
    app.settle(1.0);
}

std::shared_ptr<app::WaterfallViewController> explore(AppHarness& app) {
    return std::dynamic_pointer_cast<app::WaterfallViewController>(app.tabs().viewCtrls().at(0));
}

TEST(KeptHomeScenario, AFavouriteOfTheLastRunOpensAtFullSizeAndLeavesWithoutADuplicate) {
    std::string small;
    int oldPort = 0;
    {
        AppHarness first({.stableOrigin = true});
        first.launch();
        const auto feed = explore(first);
        ASSERT_TRUE(first.waitFor([&] { return !feed->imageDataSources().empty(); }));
        small = feed->imageDataSources()[0]->smallUrl;
        EXPECT_TRUE(small.starts_with(std::string("http://") + fixtures::kStablePhotoHost + "/"))
            << small;
        feed->openPhoto(0);
        const auto viewer = downloadedViewer(first);
        ASSERT_TRUE(viewer && viewer->fullImage());
        tap(first, *viewer->bbarCollectButton());
        first.settle(0.2);
        ASSERT_TRUE(first.waitFor([] { return favourites().size() == 1; }));
        oldPort = first.photos().server().port();
    }
    // A new process remembers nothing but its home.
    ui::ImageManager::shared().cache().clearMemoryCache();
    const HeldPort taken(oldPort);
    ASSERT_TRUE(taken.held());

    AppHarness second({.stableOrigin = true, .keepStored = true});
    second.launch();
    ASSERT_NE(second.photos().server().port(), oldPort);

    // The same photo in a fresh feed is the favourite: its heart is filled.
    const auto feed = explore(second);
    ASSERT_TRUE(second.waitFor([&] { return !feed->isFetching(); }));
    second.settle(1.0);
    ASSERT_FALSE(feed->imageDataSources().empty());
    ASSERT_EQ(feed->imageDataSources()[0]->smallUrl, small);
    feed->openPhoto(0);
    auto viewer = downloadedViewer(second);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(heartFilled(second, *viewer));
    goBack(second, *viewer);

    // Opened from the favourites page: full size, filled heart; a tap
    // takes it out, and it was never there twice.
    const auto page =
        std::dynamic_pointer_cast<app::CollectedViewController>(second.tabs().viewCtrls().at(2));
    second.tabs().scrollToPage(2);
    second.settle(1.0);
    ASSERT_EQ(page->imageDataSources().size(), 1u);
    EXPECT_EQ(page->imageDataSources()[0]->smallUrl, small);
    page->openPhoto(0);
    viewer = downloadedViewer(second);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->fullImage()) << "the full image did not download";
    EXPECT_GT(viewer->fullImage()->size().width, 400);
    EXPECT_TRUE(heartFilled(second, *viewer));
    EXPECT_EQ(favourites().size(), 1u);
    tap(second, *viewer->bbarCollectButton());
    second.settle(0.2);
    EXPECT_TRUE(second.waitFor([&] {
        second.settle(0.02);
        return favourites().empty() &&
               viewer->bbarCollectButton()->currentImage() == ui::imageNamed("heart_L");
    }));
    goBack(second, *viewer);
}

}  // namespace
