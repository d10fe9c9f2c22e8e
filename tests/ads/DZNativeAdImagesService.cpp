// Native ad pictures from the local ad server: image objects and their
// defaults, decoding at scale, what counts as a failure (an error status
// with a picture for a body, a picture too large, a body that is none),
// attribution data, icons in finishing order, and the attribution view.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/native/DZNativeAdAttribution.h"
#include "ads/native/DZNativeAdAttributionView.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/native/DZPushTransitionView.h"
#include "fixtures/AdServer.h"
#include "fixtures/NativeAds.h"
#include "gfx/Image.h"

namespace {

using adwebtesting::waitFor;
using ads::DZNativeAdAttribution;
using ads::DZNativeAdImage;
using fixtures::NativeAds;

class DZNativeAdImagesService : public testing::Test {
protected:
    core::Value imageObject(const std::string& name, std::optional<double> scale = std::nullopt) {
        core::Dictionary object{{"url", server.urlString(std::string(NativeAds::kImagePrefix) + name)}};
        if (scale) object.set("scale", *scale);
        return object;
    }
    // The outcome of loading the image: "ok" or "<code> <message>".
    std::string load(const std::shared_ptr<DZNativeAdImage>& image) {
        std::optional<std::string> outcome;
        image->loadImageWithCompletionHandler([&](const std::optional<ads::Error>& error) {
            outcome = error ? std::to_string(error->code) + " " + error->message : "ok";
        });
        EXPECT_FALSE(outcome) << "never from within the call";
        EXPECT_TRUE(waitFor([&] { return outcome.has_value(); }));
        return outcome.value_or("none");
    }

    fixtures::AdServer server;
};

TEST_F(DZNativeAdImagesService, ImageObjectsTakeTheirDefaults) {
    const auto plain = DZNativeAdImage::initWithDictionary(imageObject("icon.png"));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->required());
    EXPECT_EQ(plain->scale(), 1.0);
    const auto optional = DZNativeAdImage::initWithDictionary(
        core::Dictionary{{"url", "https://a.test/x.png"}, {"require", "0"}, {"scale", 3}});
    ASSERT_TRUE(optional);
    EXPECT_FALSE(optional->required());
    EXPECT_EQ(optional->scale(), 3.0);
    EXPECT_FALSE(DZNativeAdImage::initWithDictionary(core::Dictionary{{"url", ""}}));
    EXPECT_FALSE(DZNativeAdImage::initWithDictionary(core::Dictionary{}));
    const std::string description = optional->description();
    EXPECT_TRUE(description.starts_with("<DZNativeAdImage: 0x")) << description;
    EXPECT_TRUE(description.ends_with(" scale: 3.000000 URL: https://a.test/x.png>")) << description;

    const core::Value list(core::Array{core::Dictionary{{"url", "https://a.test/1.png"}},
                                       core::Dictionary{{"url", 7}},
                                       core::Dictionary{{"url", "https://a.test/3.png"}}});
    ads::DZNativeAdImageAdLoaderOptions several;
    several.setShouldRequestMultipleImages(true);
    ASSERT_TRUE(DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(list, &several));
    EXPECT_EQ(DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(list, &several)->size(), 2u);
    ASSERT_TRUE(DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(list, nullptr));
    EXPECT_EQ(DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(list, nullptr)->size(), 1u);
    EXPECT_FALSE(DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(core::Array{}, nullptr));
}

TEST_F(DZNativeAdImagesService, PicturesDecodeAtTheirScaleAndLoadOnce) {
    const auto photo = DZNativeAdImage::initWithDictionary(imageObject("photo@2x.jpg", 2));
    EXPECT_EQ(load(photo), "ok");
    ASSERT_TRUE(photo->image());
    EXPECT_EQ(photo->image()->pixelSize(), (gfx::Size{40, 20}));
    EXPECT_EQ(photo->image()->size(), (gfx::Size{20, 10}));
    EXPECT_EQ(load(photo), "ok");
    EXPECT_EQ(server.requestsTo("/native/img/photo@2x.jpg").size(), 1u) << "never fetched again";

    const auto icon = DZNativeAdImage::initWithDictionary(imageObject("icon.png"));
    EXPECT_EQ(load(icon), "ok");
    EXPECT_EQ(icon->image()->size(), (gfx::Size{8, 6}));
}

TEST_F(DZNativeAdImagesService, WhatIsNotAPictureFailsWithItsByteCount) {
    const auto junk = DZNativeAdImage::initWithDictionary(imageObject("junk"));
    EXPECT_EQ(load(junk), "11 Failed to load " + junk->description() + ". Received 200 bytes.");
    EXPECT_FALSE(junk->image());

    // An error page is never decoded, even when it is a picture.
    server.serve("/native/img/error.png", [] {
        auto response = fixtures::LoopbackResponse::bytes(NativeAds::png(), "image/png");
        response.status = 404;
        return response;
    }());
    const auto error = DZNativeAdImage::initWithDictionary(imageObject("error.png"));
    EXPECT_EQ(load(error),
              "11 Failed to load " + error->description() + ". Received HTTP status 404.");
    EXPECT_FALSE(error->image());

    // More than 4096 x 4096 pixels is refused from the header.
    const auto huge = gfx::Image::create(8200, 2100, gfx::Image::Pixels(8200 * 2100, 0xff000000u));
    ASSERT_TRUE(huge);
    const auto bytes = huge->encodePng();
    server.serve("/native/img/huge.png",
                 fixtures::LoopbackResponse::bytes(std::string(bytes.begin(), bytes.end()), "image/png"));
    const auto large = DZNativeAdImage::initWithDictionary(imageObject("huge.png"));
    EXPECT_EQ(load(large), "11 Failed to load " + large->description() + ". Received " +
                               std::to_string(bytes.size()) + " bytes.");
    EXPECT_FALSE(large->image());
}

TEST_F(DZNativeAdImagesService, AttributionValuesAndDefaults) {
    const auto defaults = DZNativeAdAttribution::initWithDictionary(core::Value());
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->iconAnimationDuration(), 1.0);
    EXPECT_EQ(defaults->iconPresentationDuration(), 4.0);
    EXPECT_EQ(defaults->font().size, 12.0);
    EXPECT_EQ(defaults->textColor(), (gfx::Color{12 / 255.0, 174 / 255.0, 206 / 255.0, 1}));
    EXPECT_EQ(defaults->backgroundColor(), (gfx::Color{0.8, 0.8, 0.8, 1}));
    EXPECT_TRUE(defaults->loadingImages().empty());

    const auto set = DZNativeAdAttribution::initWithDictionary(core::Dictionary{
        {"text", "Ad"},
        {"animation_ms", 40},
        {"presentation_ms", 50},
        {"text_size", 9},
        {"text_color", core::Dictionary{{"r", 255}, {"g", 0}, {"b", 0}}},
        {"bg_color", core::Dictionary{{"r", 255}, {"g", 0}}},
        {"image", imageObject("icon.png")}});
    EXPECT_EQ(set->text(), "Ad");
    EXPECT_EQ(set->iconAnimationDuration(), 1.0) << "below 0.05 s";
    EXPECT_EQ(set->iconPresentationDuration(), 0.05);
    EXPECT_EQ(set->font().size, 9.0);
    EXPECT_EQ(set->textColor(), (gfx::Color{1, 0, 0, 1}));
    EXPECT_EQ(set->backgroundColor(), (gfx::Color{0.8, 0.8, 0.8, 1})) << "no blue: the default";
    EXPECT_EQ(set->loadingImages().size(), 1u);
    EXPECT_EQ(ads::DZColorFromColorObject(core::Dictionary{{"r", 0}, {"g", 0}, {"b", 255}, {"a", 0.5}}),
              (gfx::Color{0, 0, 1, 0.5}));
}

TEST_F(DZNativeAdImagesService, IconsLoadInFinishingOrderOrReportTheFirstFailure) {
    std::vector<std::string> heard;
    const auto report = [&](const std::optional<ads::Error>& error) {
        heard.push_back(error ? std::to_string(error->code) : "ok");
    };
    const auto none = DZNativeAdAttribution::initWithDictionary(core::Dictionary{{"text", "Ad"}});
    none->loadAssetsWithCompletionHandler(report);
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(waitFor([&] { return heard.size() == 1; }));
    EXPECT_FALSE(none->icons());

    const auto two = DZNativeAdAttribution::initWithDictionary(core::Dictionary{
        {"images", core::Array{imageObject("slow.png"), imageObject("icon.png")}}});
    two->loadAssetsWithCompletionHandler(report);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard[1], "ok");
    ASSERT_TRUE(two->icons());
    ASSERT_EQ(two->icons()->size(), 2u);
    ASSERT_GE(two->loadingImages().size(), 2u);
    EXPECT_EQ((*two->icons())[0], two->loadingImages()[1]) << "the fast one finished first";
    EXPECT_EQ((*two->icons())[1], two->loadingImages()[0]);

    const auto broken = DZNativeAdAttribution::initWithDictionary(core::Dictionary{
        {"images", core::Array{imageObject("missing"), imageObject("junk"), imageObject("icon.png")}}});
    broken->loadAssetsWithCompletionHandler(report);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 3; }));
    EXPECT_TRUE(waitFor([&] { return server.requestsTo("/native/img/icon.png").size() >= 2; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(heard, (std::vector<std::string>{"ok", "ok", "11"})) << "one report only";
    EXPECT_FALSE(broken->icons());
}

TEST_F(DZNativeAdImagesService, TheBadgeShowsTextAndTheLargestIconArea) {
    const auto empty = ads::DZNativeAdAttributionView::initWithAttribution(
        DZNativeAdAttribution::initWithDictionary(core::Dictionary{{"text", ""}}));
    EXPECT_TRUE(empty->isHidden()) << "no text, no icons";
    const auto unloaded = ads::DZNativeAdAttributionView::initWithAttribution(
        DZNativeAdAttribution::initWithDictionary(
            core::Dictionary{{"image", imageObject("icon.png")}}));
    EXPECT_TRUE(unloaded->isHidden()) << "icons not loaded yet";

    const auto attribution = DZNativeAdAttribution::initWithDictionary(core::Dictionary{
        {"text", "Ad"},
        {"images", core::Array{imageObject("icon.png"), imageObject("photo@2x.jpg", 2)}}});
    bool loaded = false;
    attribution->loadAssetsWithCompletionHandler([&](const auto&) { loaded = true; });
    ASSERT_TRUE(waitFor([&] { return loaded; }));
    const auto view = ads::DZNativeAdAttributionView::initWithAttribution(attribution);
    EXPECT_FALSE(view->isHidden());
    EXPECT_EQ(view->textView()->text(), "Ad");
    EXPECT_EQ(view->backgroundColor(), attribution->backgroundColor());
    EXPECT_EQ(view->iconView()->views().size(), 2u);
    ASSERT_EQ(view->dynamicConstraints().size(), 2u);
    // 20 x 10 points for the photo at scale 2, 8 x 6 for the icon.
    EXPECT_EQ(view->dynamicConstraints()[0]->constant(), 20.0);
    EXPECT_EQ(view->dynamicConstraints()[1]->constant(), 10.0);
    const size_t held = view->iconView()->constraints().size();
    view->setAttribution(attribution);
    EXPECT_EQ(view->iconView()->constraints().size(), held) << "the old size constraints went";

    // Placed by two edges (an AdChoices corner), it takes the size its parts
    // need side by side: paddings, text, then the icon area at the right end.
    const gfx::Size text = view->textView()->intrinsicContentSize();
    ASSERT_GT(text.width, 0);
    const gfx::Size size = view->intrinsicContentSize();
    EXPECT_DOUBLE_EQ(size.width, 2 * 0.37 * text.height + text.width + 20);
    EXPECT_DOUBLE_EQ(size.height, std::max(text.height, 10.0));
    const auto holder = std::make_shared<ui::View>(gfx::Rect(0, 0, 200, 100));
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    holder->addSubview(view);
    holder->addConstraint(ui::LayoutConstraint(view, ui::LayoutAttribute::Bottom, holder,
                                               ui::LayoutAttribute::Bottom));
    holder->addConstraint(ui::LayoutConstraint(view, ui::LayoutAttribute::Right, holder,
                                               ui::LayoutAttribute::Right));
    holder->layoutIfNeeded();
    EXPECT_EQ(view->frame(), gfx::Rect(200 - size.width, 100 - size.height, size.width, size.height));
    const gfx::Rect icon = view->iconView()->frame();
    EXPECT_DOUBLE_EQ(icon.origin.x + icon.size.width, size.width);
    EXPECT_EQ(icon.size, (gfx::Size{20, 10}));
}

}  // namespace
