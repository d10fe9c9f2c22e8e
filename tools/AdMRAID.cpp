#include "AdMRAID.h"

#include <functional>
#include <string>
#include <vector>

#include "ShotColours.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/fullscreen/DZExpandedAdAppViewController.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZWebView.h"
#include "app/AppDelegate.h"
#include "app/QZKit/QZTabViewController.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/TouchInjector.h"
#include "ui/ViewController.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace tools {

namespace {

constexpr long kFeaturedPage = 1;
constexpr const char* kUnitID = "dz-app-pub-7318204956618305/mraid";
constexpr const char* kToken = "mraid";
constexpr double kLoadLimit = 20;
constexpr double kShowLimit = 10;
constexpr double kTick = 0.1;
constexpr int kTolerance = 10;
constexpr const char* kShot = "mraid-expanded.png";

// See AdRows.cpp: the clock in tenths of a second, each after a real wait
// of as long for the page and the ad server.
bool tickUntil(fixtures::AppClock& clock, const std::function<bool()>& predicate,
               double limitSeconds) {
    for (double t = 0; t < limitSeconds; t += kTick) {
        if (core::RunLoop::main().runUntil(predicate, kTick)) return true;
        clock.advance(kTick);
    }
    return predicate();
}

int brightness(unsigned rgb) {
    return static_cast<int>((rgb >> 16 & 0xff) + (rgb >> 8 & 0xff) + (rgb & 0xff));
}

// The details of the page's reports of a name, oldest first.
std::vector<std::string> reports(const fixtures::AdServer& server, const std::string& name) {
    const std::string eventPath = std::string(fixtures::AdServer::kTokenPrefix) + kToken + "/event";
    std::vector<std::string> details;
    for (const auto& request : server.requestsFor(kToken))
        if (request.path == eventPath && request.queryValue("name") == name)
            details.push_back(request.queryValue("detail").value_or(""));
    return details;
}

// The page's reports of one MRAID event.
std::vector<std::string> reported(const fixtures::AdServer& server, const std::string& event) {
    return reports(server, "mraid:" + event);
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text.empty() ? "nothing" : text;
}

std::string place(const gfx::Rect& frame) {
    return std::to_string(int(frame.minX())) + "," + std::to_string(int(frame.minY())) + " " +
           std::to_string(int(frame.width())) + "x" + std::to_string(int(frame.height()));
}

}  // namespace

bool shootMRAIDExpanded(const std::shared_ptr<app::AppDelegate>& delegate,
                        fixtures::AdServer& server, fixtures::AppClock& clock,
                        const std::filesystem::path& out) {
    ui::Window& window = *delegate->window();
    const auto root = window.rootViewController();
    if (!root) {
        say("mraid-expanded.png: the window has no root controller");
        return false;
    }
    delegate->qzTabVc()->scrollToPage(kFeaturedPage);
    clock.wait(0.8);

    // A banner at the foot of the screen, as an app keeps one there.
    const gfx::Rect screen = window.bounds();
    const auto banner = ads::DZBannerView::createWithAdSize(
        ads::kDZAdSizeBanner, {(screen.width() - 320) / 2, screen.maxY() - 50});
    if (!banner) {
        say("mraid-expanded.png: no banner view");
        return false;
    }
    banner->setRootViewController(root);
    banner->setAdUnitID(kUnitID);
    root->view()->addSubview(banner);
    const auto takeAway = [&] {
        banner->removeFromSuperview();
        clock.wait(0.8);
    };
    banner->loadRequest(ads::DZRequest::request());
    // Ready, and drawn: a tap before the page has drawn finds nothing to press.
    const auto adWebView = [&]() -> std::shared_ptr<web::WebView> {
        const auto adView = banner->slot()->adView();
        return adView && adView->webView() ? adView->webView()->webView() : nullptr;
    };
    const auto drawn = [&] {
        const auto webView = adWebView();
        return webView && webView->isRendered();
    };
    // Settled on screen first: measured and viewable.
    const auto lastIs = [&](const std::string& event, const std::string& detail) {
        const auto details = reported(server, event);
        return !details.empty() && details.back() == detail;
    };
    if (!tickUntil(
            clock,
            [&] {
                return !reported(server, "ready").empty() && drawn() &&
                       lastIs("viewableChange", "true");
            },
            kLoadLimit)) {
        say("mraid-expanded.png: the MRAID page did not become ready");
        takeAway();
        return false;
    }

    const gfx::Rect frame = banner->convertRectTo(banner->bounds(), nullptr);
    // Expand is the first of the page's four buttons.
    ui::TouchInjector(window).tap({frame.minX() + frame.width() / 8, frame.midY()});
    std::shared_ptr<ads::DZExpandedAdAppViewController> controller;
    const bool expanded = tickUntil(
        clock,
        [&] {
            controller = std::dynamic_pointer_cast<ads::DZExpandedAdAppViewController>(
                root->presentedViewController());
            const auto states = reported(server, "stateChange");
            return controller && !states.empty() && states.back() == "expanded";
        },
        kShowLimit);
    if (!expanded) {
        say("mraid-expanded.png: the tap on Expand at " + place(frame) +
            " did not expand the ad; the page went " + joined(reported(server, "stateChange")) +
            " and heard the errors " + joined(reported(server, "error")));
        takeAway();
        return false;
    }
    // The picture of the page in its expanded layout: taken once the page
    // has painted it.
    const auto laidOut = [&] {
        const auto layouts = reports(server, "drawn");
        return !layouts.empty() && layouts.back() == "expanded";
    };
    // And once it has heard its new size and that it is viewable again.
    const std::string fullSize =
        std::to_string(int(screen.width())) + " " + std::to_string(int(screen.height()));
    if (!tickUntil(
            clock,
            [&] {
                return laidOut() && lastIs("sizeChange", fullSize) &&
                       lastIs("viewableChange", "true");
            },
            kShowLimit))
        say("mraid-expanded.png: the page's expanded layout, size or viewability is late");
    bool pictured = false;
    if (const auto webView = adWebView())
        webView->takeSnapshot([&](const gfx::ImagePtr&) { pictured = true; });
    (void)tickUntil(clock, [&] { return pictured; }, kShowLimit);
    (void)web::WebView::awaitSnapshots(5);
    clock.wait(0.2);

    const auto written = WrittenShot::write(window, out / kShot);
    if (!written) {
        takeAway();
        return false;
    }
    const auto pixel = [&](gfx::Point point) { return written->pixel(point); };
    bool ok = true;
    // Below the event list, above the controls at the foot of the screen.
    const unsigned background = pixel({screen.midX(), screen.minY() + screen.height() * 0.75});
    const unsigned expandButton = pixel({screen.minX() + screen.width() / 8, screen.maxY() - 25});
    say("mraid-expanded.png: the creative shows " + hex(background) +
        " with its Expand button in " + hex(expandButton) + " at the foot");
    if (!near(background, kMRAIDComplianceBackground, kTolerance) ||
        !near(expandButton, kMRAIDComplianceExpandButton, kTolerance)) {
        say("mraid-expanded.png: the expanded compliance page is " +
            hex(kMRAIDComplianceBackground) + " with its Expand button in " +
            hex(kMRAIDComplianceExpandButton));
        ok = false;
    }
    const auto& button = controller->closeButton();
    if (!button || !button->superview() || button->isHidden()) {
        say("mraid-expanded.png: no close button");
        takeAway();
        return false;
    }
    const gfx::Rect closeFrame = button->convertRectTo(button->bounds(), nullptr);
    const auto imageView = button->imageView();
    const gfx::Rect icon =
        imageView ? imageView->convertRectTo(imageView->bounds(), nullptr) : closeFrame;
    const unsigned cross = pixel(icon.center());
    const unsigned disc = pixel({icon.midX(), icon.minY() + icon.height() * 0.2});
    say("mraid-expanded.png: the close button at " + place(closeFrame) + " shows " + hex(cross) +
        " on " + hex(disc));
    if (brightness(cross) < 3 * 230 || brightness(disc) >= brightness(background)) {
        say("mraid-expanded.png: the close button is not a white cross on a dark disc");
        ok = false;
    }

    ui::TouchInjector(window).tap(closeFrame.center());
    const bool closed = tickUntil(
        clock,
        [&] {
            const auto states = reported(server, "stateChange");
            return root->presentedViewController() == nullptr && !states.empty() &&
                   states.back() == "default";
        },
        kShowLimit);
    const auto states = reported(server, "stateChange");
    say("mraid: the close button " + std::string(closed ? "closed" : "did not close") +
        " it; the page went " + joined(states) + "; script errors " +
        std::to_string(reported(server, "scriptError").size()));
    if (!closed || states != std::vector<std::string>{"default", "expanded", "default"} ||
        !reported(server, "scriptError").empty())
        ok = false;
    takeAway();
    return ok;
}

}  // namespace tools
