#include "AdInterstitial.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ShotColours.h"
#include "ads/core/request/DZRequest.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "app/AppDelegate.h"
#include "app/QZKit/QZTabViewController.h"
#include "core/RunLoop.h"
#include "fixtures/AdScenarios.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "gfx/Image.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Renderer.h"
#include "ui/TouchInjector.h"
#include "ui/ViewController.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace tools {

namespace {

constexpr long kFeaturedPage = 1;
constexpr double kLoadLimit = 20;
constexpr double kShowLimit = 10;
constexpr double kTick = 0.1;
constexpr int kTolerance = 10;
constexpr const char* kShot = "interstitial.png";

bool near(unsigned drawn, unsigned wanted) {
    return tools::near(drawn, wanted, kTolerance);
}

// The sum of the three channels, for "lighter" and "darker".
int brightness(unsigned rgb) {
    return static_cast<int>((rgb >> 16 & 0xff) + (rgb >> 8 & 0xff) + (rgb & 0xff));
}

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

class Listener : public ads::DZInterstitialDelegate {
public:
    bool received = false;
    std::string failure;
    bool dismissed = false;
    void interstitialDidReceiveAd(ads::DZInterstitial&) override { received = true; }
    void didFailToReceiveAdWithError(ads::DZInterstitial&,
                                     const ads::DZRequestError& error) override {
        failure = std::to_string(error.code) + " " + error.message;
    }
    void interstitialDidDismissScreen(ads::DZInterstitial&) override { dismissed = true; }
};

// The lifecycle messages ("onshow", "onhide") the page reported to the
// server, oldest first.
std::vector<std::string> lifecycle(const fixtures::AdServer& server, const std::string& token) {
    const std::string eventPath = std::string(fixtures::AdServer::kTokenPrefix) + token + "/event";
    std::vector<std::string> names;
    for (const auto& request : server.requestsFor(token)) {
        if (request.path != eventPath) continue;
        for (const auto& item : request.query)
            if (item.name == "name" && (item.value == "sdk:onshow" || item.value == "sdk:onhide"))
                names.push_back(item.value->substr(4));
    }
    return names;
}

size_t impressions(const fixtures::AdServer& server, const std::string& token) {
    const std::string path = std::string(fixtures::AdServer::kTokenPrefix) + token + "/imp";
    const auto requests = server.requestsFor(token);
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(),
                                             [&](const auto& r) { return r.path == path; }));
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text.empty() ? "nothing" : text;
}

}  // namespace

bool shootInterstitial(const std::shared_ptr<app::AppDelegate>& delegate,
                       fixtures::AdServer& server, fixtures::AppClock& clock,
                       const std::filesystem::path& out) {
    const std::string token = fixtures::AdScenarios::kDemoInterstitialScenario;
    ui::Window& window = *delegate->window();
    const auto root = window.rootViewController();
    if (!root) {
        say("interstitial.png: the window has no root controller");
        return false;
    }
    delegate->qzTabVc()->scrollToPage(kFeaturedPage);
    clock.wait(0.8);

    auto listener = std::make_shared<Listener>();
    auto interstitial = ads::DZInterstitial::create(fixtures::AdScenarios::kDemoInterstitialUnitID);
    interstitial->setDelegate(listener);
    interstitial->loadRequest(ads::DZRequest::request());
    if (!tickUntil(clock, [&] { return listener->received || !listener->failure.empty(); },
                   kLoadLimit) ||
        !listener->received) {
        say("interstitial.png: the interstitial did not load" +
            (listener->failure.empty() ? std::string() : ": " + listener->failure));
        return false;
    }
    interstitial->presentFromRootViewController(root);
    const auto controller =
        std::dynamic_pointer_cast<ads::DZAdAppViewController>(root->presentedViewController());
    if (!controller || !interstitial->hasBeenUsed()) {
        say("interstitial.png: the interstitial was not presented");
        return false;
    }
    clock.wait(0.8);
    if (!tickUntil(
            clock,
            [&] { return !lifecycle(server, token).empty() && impressions(server, token) > 0; },
            kShowLimit))
        say("interstitial.png: the page's onshow or the impression is late");
    (void)web::WebView::awaitSnapshots(5);
    clock.wait(0.2);

    const std::filesystem::path shot = out / kShot;
    // The picture as written: the creative over the screen, the close
    // button's white cross on its dark disc.
    const auto written = WrittenShot::write(window, shot);
    if (!written) return false;
    const auto pixel = [&](gfx::Point point) { return written->pixel(point); };
    const gfx::Rect screen = window.bounds();
    const unsigned background = pixel({screen.midX(), screen.minY() + screen.height() * 0.4});
    const unsigned band = pixel({screen.midX(), screen.minY() + screen.height() * 0.7});
    bool ok = true;
    say("interstitial.png: the creative shows " + hex(background) + " with a band of " + hex(band));
    if (!near(background, kDemoInterstitialBackground) || !near(band, kDemoInterstitialBand)) {
        say("interstitial.png: the demo interstitial's colours are " +
            hex(kDemoInterstitialBackground) + " with a band of " + hex(kDemoInterstitialBand));
        ok = false;
    }
    const auto& button = controller->closeButton();
    if (!button || !button->superview() || button->isHidden()) {
        say("interstitial.png: no close button");
        return false;
    }
    const gfx::Rect frame = button->convertRectTo(button->bounds(), nullptr);
    const auto imageView = button->imageView();
    const gfx::Rect icon =
        imageView ? imageView->convertRectTo(imageView->bounds(), nullptr) : frame;
    const unsigned cross = pixel(icon.center());
    // Inside the disc, off the cross: between the centre and the top edge.
    const unsigned disc = pixel({icon.midX(), icon.minY() + icon.height() * 0.2});
    say("interstitial.png: the close button at " + std::to_string(int(frame.minX())) + "," +
        std::to_string(int(frame.minY())) + " " + std::to_string(int(frame.width())) + "x" +
        std::to_string(int(frame.height())) + " shows " + hex(cross) + " on " + hex(disc));
    if (brightness(cross) < 3 * 230 || brightness(disc) >= brightness(background)) {
        say("interstitial.png: the close button is not a white cross on a dark disc");
        ok = false;
    }

    ui::TouchInjector(window).tap(frame.center());
    const bool closed = tickUntil(
        clock,
        [&] {
            return listener->dismissed && root->presentedViewController() == nullptr &&
                   lifecycle(server, token).size() >= 2;
        },
        kShowLimit);
    const auto heard = lifecycle(server, token);
    say("interstitial: the close button " + std::string(closed ? "closed" : "did not close") +
        " it; the page heard " + joined(heard) + "; impressions " +
        std::to_string(impressions(server, token)));
    if (!closed || heard != std::vector<std::string>{"onshow", "onhide"} ||
        impressions(server, token) != 1)
        ok = false;
    clock.wait(0.8);
    return ok;
}

}  // namespace tools
