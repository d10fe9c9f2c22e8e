#include "AdNative.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "ShotColours.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeAppInstallAdView.h"
#include "app/AppDelegate.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "fixtures/AppClock.h"
#include "fixtures/NativeAds.h"
#include "gfx/Font.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace tools {

namespace {

constexpr const char* kUnit = "native/showcase";
constexpr const char* kShot = "native-ad.png";
constexpr double kLoadLimit = 20;
constexpr double kShowLimit = 10;
constexpr double kTick = 0.1;
constexpr int kTolerance = 12;
// The showcase picture (fixtures::NativeAds::jpeg()).
constexpr unsigned kPictureColour = 0x20a060;
constexpr unsigned kCardColour = 0xffffff;

// The clock in tenths of a second, each after a real wait of as long for
// the pages and the ad server (as the interstitial shot does).
bool tickUntil(fixtures::AppClock& clock, const std::function<bool()>& predicate,
               double limitSeconds) {
    for (double t = 0; t < limitSeconds; t += kTick) {
        if (core::RunLoop::main().runUntil(predicate, kTick)) return true;
        clock.advance(kTick);
    }
    return predicate();
}

class Listener : public ads::DZNativeAppInstallAdLoaderDelegate {
public:
    std::shared_ptr<ads::DZNativeAppInstallAd> ad;
    std::string failure;
    void adLoaderDidReceiveNativeAppInstallAd(
        ads::DZAdLoader&, const std::shared_ptr<ads::DZNativeAppInstallAd>& received) override {
        ad = received;
    }
    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&,
                                             const ads::DZRequestError& error) override {
        failure = std::to_string(error.code) + " " + error.message;
    }
};

std::shared_ptr<ui::Label> label(const gfx::Rect& frame, const std::string& text, double size,
                                 gfx::FontWeight weight = gfx::FontWeight::Regular,
                                 gfx::Color colour = {0.1, 0.1, 0.12, 1}) {
    auto view = std::make_shared<ui::Label>(frame);
    view->setText(text);
    view->setFont(gfx::Font::system(size, weight));
    view->setTextColor(colour);
    return view;
}

// Five stars for a rating of 0 to 5, halves as "½".
std::string stars(double rating) {
    const int halves = static_cast<int>(std::lround(std::clamp(rating, 0.0, 5.0) * 2));
    std::string text;
    for (int i = 0; i < halves / 2; ++i) text += "\u2605";
    if (halves % 2) text += "\u00bd";
    return text;
}

// The publisher's layout of the ad: a white card with the icon and
// headline on top, the stars, the body, the picture across the card, and
// the store, price and call to action at the bottom.
std::shared_ptr<ads::DZNativeAppInstallAdView> layOut(
    const std::shared_ptr<ads::DZNativeAppInstallAd>& ad, const gfx::Rect& frame) {
    const auto view = ads::DZNativeAppInstallAdView::create(frame);
    view->setBackgroundColor(gfx::Color{1, 1, 1, 1});
    const double width = frame.width();
    const double inset = 12;

    const auto icon = std::make_shared<ui::ImageView>(gfx::Rect{inset, inset, 48, 48});
    icon->setImage(ad->icon()->image());
    icon->setContentMode(gfx::ContentMode::ScaleAspectFit);
    view->addSubview(icon);
    view->setIconView(icon);

    const double textX = inset + 48 + 10;
    const double textWidth = width - textX - 40;
    const auto headline =
        label({textX, inset, textWidth, 24}, ad->headline().value_or(""), 17, gfx::FontWeight::Bold);
    view->addSubview(headline);
    view->setHeadlineView(headline);
    const auto rating = label({textX, inset + 26, textWidth, 20},
                              stars(ad->starRating().value_or(0)), 14, gfx::FontWeight::Regular,
                              {0.95, 0.6, 0.1, 1});
    view->addSubview(rating);
    view->setStarRatingView(rating);

    double y = inset + 48 + 10;
    const auto body = label({inset, y, width - 2 * inset, 40}, ad->body().value_or(""), 14);
    body->setNumberOfLines(2);
    view->addSubview(body);
    view->setBodyView(body);
    y += 46;

    const double mediaWidth = width - 2 * inset;
    const auto media = ads::DZMediaView::create({inset, y, mediaWidth, mediaWidth / 2});
    view->addSubview(media);
    view->setMediaView(media);
    y += mediaWidth / 2 + 12;

    const auto store = label({inset, y, 110, 32},
                             ad->store().value_or("") + "  " + ad->price().value_or(""), 13,
                             gfx::FontWeight::Regular, {0.4, 0.4, 0.45, 1});
    view->addSubview(store);
    view->setStoreView(store);
    const auto action = ui::Button::create();
    action->setFrame({width - inset - 110, y, 110, 32});
    action->setTitle(ad->callToAction());
    action->setTitleColor(gfx::Color{1, 1, 1, 1});
    action->setBackgroundColor(gfx::Color{0.13, 0.45, 0.85, 1});
    view->addSubview(action);
    view->setCallToActionView(action);

    view->setFrame({frame.minX(), frame.minY(), width, y + 32 + inset});
    view->setNativeAppInstallAd(ad);
    return view;
}

size_t impressions(const fixtures::AdServer& server) {
    return server.requestsTo(fixtures::NativeAds::kImpressionPath).size();
}

}  // namespace

bool shootNativeAd(const std::shared_ptr<app::AppDelegate>& delegate, fixtures::AdServer& server,
                   fixtures::AppClock& clock, const std::filesystem::path& out) {
    ui::Window& window = *delegate->window();
    const auto root = window.rootViewController();
    if (!root) {
        say("native-ad.png: the window has no root controller");
        return false;
    }
    const auto listener = std::make_shared<Listener>();
    const auto loader = ads::DZAdLoader::create(kUnit, root, {"2"}, {});
    if (!loader) {
        say("native-ad.png: no ad loader");
        return false;
    }
    loader->setDelegate(listener);
    loader->loadRequest(nullptr);
    if (!tickUntil(clock, [&] { return listener->ad || !listener->failure.empty(); }, kLoadLimit) ||
        !listener->ad) {
        say("native-ad.png: the native ad did not load" +
            (listener->failure.empty() ? std::string() : ": " + listener->failure));
        return false;
    }
    const auto ad = listener->ad;

    // A dimmed backdrop over the page, the ad card on it.
    const gfx::Rect screen = window.bounds();
    const auto backdrop = std::make_shared<ui::View>(screen);
    backdrop->setBackgroundColor(gfx::Color{0.12, 0.12, 0.14, 1});
    const auto adView = layOut(ad, {16, screen.minY() + 96, screen.width() - 32, 0});
    backdrop->addSubview(adView);
    const auto host = root->view();
    host->addSubview(backdrop);
    clock.wait(0.5);
    if (!tickUntil(clock, [&] { return impressions(server) > 0; }, kShowLimit))
        say("native-ad.png: the impression is late");
    clock.wait(0.3);

    const auto written = WrittenShot::write(window, out / kShot);
    bool ok = static_cast<bool>(written);
    const auto badge = ad->adChoicesContentView();
    if (ok) {
        const auto pixel = [&](gfx::Point point) { return written->pixel(point); };
        const gfx::Rect card = adView->convertRectTo(adView->bounds(), nullptr);

        // The headline: some pixel across its middle is dark on the card.
        const auto headline = adView->headlineView();
        const gfx::Rect line = headline->convertRectTo(headline->bounds(), nullptr);
        int inked = 0;
        for (double x = line.minX(); x < line.maxX(); x += 1)
            if (!near(pixel({x, line.midY()}), kCardColour, 60)) ++inked;
        say("native-ad.png: the headline \"" + ad->headline().value_or("") + "\" inks " +
            std::to_string(inked) + " points of its middle line");
        if (inked < 10) ok = false;

        const auto media = adView->mediaView();
        const gfx::Rect picture = media->convertRectTo(media->bounds(), nullptr);
        const unsigned shown = pixel(picture.center());
        say("native-ad.png: the media view shows " + hex(shown));
        if (!near(shown, kPictureColour, kTolerance)) {
            say("native-ad.png: the showcase picture is " + hex(kPictureColour));
            ok = false;
        }

        if (!badge || !badge->superview()) {
            say("native-ad.png: no AdChoices badge on the ad view");
            ok = false;
        } else {
            const gfx::Rect corner = badge->convertRectTo(badge->bounds(), nullptr);
            // Inside the badge's left padding, clear of its text and icon.
            const unsigned drawn = pixel({corner.minX() + 2, corner.midY()});
            const bool inCorner = std::abs(corner.maxX() - card.maxX()) < 1 &&
                                  std::abs(corner.minY() - card.minY()) < 1;
            say("native-ad.png: the badge at the " +
                std::string(inCorner ? "top right corner" : "wrong place") + ", " +
                std::to_string(int(corner.width())) + "x" + std::to_string(int(corner.height())) +
                ", shows " + hex(drawn));
            if (!inCorner || !near(drawn, fixtures::NativeAds::kShowcaseBadgeColour, kTolerance)) {
                say("native-ad.png: the showcase badge is " +
                    hex(fixtures::NativeAds::kShowcaseBadgeColour) + " in the top right corner");
                ok = false;
            }
        }
    }
    say("native-ad.png: impressions " + std::to_string(impressions(server)));
    if (impressions(server) != 1) ok = false;

    backdrop->removeFromSuperview();
    clock.wait(0.5);
    return ok;
}

}  // namespace tools
