// The custom template ad: template ids in requests and validity, its named
// assets (texts, images with loading switched off, no video), the clicks by
// asset name with the one-shot older handler, the description, and end to
// end through the local ad server: the creative's "nativeAdCustomClick"
// reaching the app's handler.

#include <gtest/gtest.h>

#include "NativeTesting.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZMediaView.h"
#include "ads/video/DZVideoController.h"
#include "ads/web/view/DZAdView.h"
#include "ads/foundation/DZDevice.h"
#include "ads/native/DZMediaContent.h"
#include "core/Console.h"
#include "media/MediaTesting.h"
#include "media/ScriptedEngine.h"

namespace {

using namespace nativetesting;
using ads::DZNativeCustomTemplateAd;

core::Dictionary stringAsset(const std::string& name, core::Value value) {
    return {{"name", name}, {"type", "string"}, {"string_value", std::move(value)}};
}

core::Dictionary imageAsset(const std::string& name, const std::string& url, bool required) {
    return {{"name", name},
            {"type", "image"},
            {"image_value", core::Dictionary{{"url", url}, {"require", required}}}};
}

std::vector<std::string> logLines(core::Console::Capture& console) {
    ads::DZLogger::sharedInstance().waitForLogging();
    return console.lines();
}

TEST(DZNativeCustomTemplateAd, TemplateIDsAreTextsAndOthersAreLoggedAndDropped) {
    auto delegate = std::make_shared<RecordingLoaderDelegate>();
    delegate->templateIDs = core::Array{12345, "678", "abc", core::Dictionary{}};
    const auto loader = ads::DZAdLoader::create("native/template", {}, {"3"}, {});
    ASSERT_TRUE(loader);
    loader->setDelegate(delegate);
    core::Console::Capture console;
    const core::Dictionary parameters =
        DZNativeCustomTemplateAd::adClass().requestParametersForAdLoader(*loader);
    EXPECT_EQ(parameters["format"], core::Value(3));
    EXPECT_EQ(parameters["custom_template_ids"], core::Value(core::Array{"12345", "678", "abc"}));
    EXPECT_EQ(logLines(console),
              (std::vector<std::string>{
                  "<Dozuza> Received non-numeric custom template ID. The template ID may be "
                  "invalid: abc",
                  "<Dozuza> Received non-string custom template ID: {}"}));

    const auto numeric = DZNativeCustomTemplateAd::create({{"custom_template_id", 12345}}, {});
    ASSERT_TRUE(numeric);
    EXPECT_EQ(numeric->templateID(), "12345");
    EXPECT_TRUE(numeric->hasValidConfigurationForRequestParameters(parameters));
    const auto other = DZNativeCustomTemplateAd::create({{"custom_template_id", "999"}}, {});
    EXPECT_FALSE(other->hasValidConfigurationForRequestParameters(parameters));
    EXPECT_FALSE(DZNativeCustomTemplateAd::create({{"custom_template_id", core::Array{}}}, {}));
    EXPECT_FALSE(DZNativeCustomTemplateAd::create({}, {}));
}

TEST(DZNativeCustomTemplateAd, AssetsByNameAndTheirLoadWithImagesOff) {
    auto option = std::make_shared<ads::DZNativeAdImageAdLoaderOptions>();
    option->setDisableImageLoading(true);
    const auto ad = DZNativeCustomTemplateAd::create(
        {{"custom_template_id", "7"},
         {"custom_assets",
          core::Array{stringAsset("caption", "Night sky"), stringAsset("Count", 3),
                      stringAsset("", "nameless"), imageAsset("Photo", "http://127.0.0.1:9/p.png", true),
                      imageAsset("badge", "http://127.0.0.1:9/b.png", false),
                      core::Dictionary{{"name", "broken"},
                                       {"type", "image"},
                                       {"image_value", core::Dictionary{{"url", 5}}}},
                      core::Dictionary{{"name", "clip"}, {"type", "audio"}}, "junk"}}},
        {{ads::DZNativeAdImageAdLoaderOptions::kClassName, option}});
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"caption", "Count"}))
        << "a numeric string value is listed, case-insensitively sorted";
    EXPECT_EQ(ad->stringForKey("caption"), "Night sky");
    EXPECT_EQ(ad->stringForKey("Count"), std::nullopt);
    EXPECT_EQ(ad->requiredImages().size(), 1u);
    EXPECT_EQ(ad->optionalImages().size(), 1u);
    EXPECT_FALSE(ad->imageForKey("Photo")) << "not available before loading";

    std::optional<std::string> outcome;
    ad->loadAssetsWithCompletionHandler([&](const std::optional<ads::Error>& error) {
        outcome = error ? error->message : "ok";
    });
    EXPECT_TRUE(ad->imageForKey("Photo") && ad->imageForKey("badge"))
        << "available at once, unloaded";
    EXPECT_FALSE(ad->imageForKey("Photo")->image());
    EXPECT_TRUE(ad->requestedAssets().contains("native_ad_media"));
    ASSERT_TRUE(waitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(outcome, "ok") << "a failed video is not required";
    EXPECT_TRUE(ad->completedAssets().contains("native_ad_media"));
    EXPECT_FALSE(ad->mediaView()) << "no video, no media view";
    EXPECT_EQ(ad->availableAssetKeys(),
              (std::vector<std::string>{"badge", "caption", "Count", "Photo"}));
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(ad.get()));
    EXPECT_EQ(ad->description(), std::string("<DZNativeCustomTemplateAd: ") + address +
                                     ", availableAssetKeys:[badge, caption, Count, Photo]>");
}

TEST(DZNativeCustomTemplateAd, ClicksNeedAnAvailableAssetAndOneOlderHandlerAtATime) {
    const auto ad = DZNativeCustomTemplateAd::create(
        {{"custom_template_id", "7"}, {"custom_assets", core::Array{stringAsset("caption", "x")}}},
        {});
    ASSERT_TRUE(ad);
    core::Console::Capture console;
    int older = 0;
    ad->performClickOnAssetWithKey("caption", [&] { ++older; });
    ad->performClickOnAssetWithKey("caption", [&] { older += 10; });
    ad->performClickOnAssetWithKey("missing");
    // The unavailable click cleared the waiting handler: this one is kept.
    ad->performClickOnAssetWithKey("caption", [&] { older += 100; });
    EXPECT_EQ(logLines(console),
              (std::vector<std::string>{
                  "<Dozuza> Still processing prior click event. This click event will be ignored.",
                  "<Dozuza> Asset is unavailable. Cannot perform click on \"missing\"."}));
    EXPECT_EQ(older, 0) << "only the creative's answer runs it";

    EXPECT_FALSE(ad->customClickHandler());
    ad->setCustomClickHandler([](const std::string&) {});
    EXPECT_TRUE(ad->customClickHandler()) << "a read waits for the store";
}

class DZNativeCustomTemplateAdService : public NativeTest {};

TEST_F(DZNativeCustomTemplateAdService, TheCreativesCustomClickCallsTheAppsHandler) {
    ASSERT_TRUE(makeLoader("native/template", {"3"}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(waitFor([&] { return !delegate->ads.empty(); }));
    const auto ad = std::dynamic_pointer_cast<DZNativeCustomTemplateAd>(delegate->ads[0]);
    ASSERT_TRUE(ad && ad->slot() && ad->slot()->adView());
    EXPECT_EQ(ad->availableAssetKeys(), std::vector<std::string>{"Caption"});
    EXPECT_FALSE(ad->mediaView());

    std::vector<std::string> heard;
    ad->setCustomClickHandler([&](const std::string& asset) { heard.push_back("custom " + asset); });
    ad->performClickOnAssetWithKey("Caption", [&] { heard.push_back("older"); });
    ASSERT_TRUE(waitFor([&] { return !received("click").empty(); }));
    const core::Value click = received("click")[0];
    EXPECT_EQ(click["has_custom_click_handler"], core::Value(true));
    EXPECT_EQ(click["click"]["asset"], core::Value("Caption"));
    EXPECT_EQ(click["click"]["template"], core::Value("3"));

    ad->slot()->adView()->executeJavaScriptAsynchronouslyFromString(
        "dozuza.duzo.nativeAds.send('nativeAdCustomClick', 'asset=Caption')");
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard, (std::vector<std::string>{"older", "custom Caption"}));

    // The older handler ran once: a second answer reaches only the new one.
    ad->slot()->adView()->executeJavaScriptAsynchronouslyFromString(
        "dozuza.duzo.nativeAds.send('nativeAdCustomClick', 'asset=Caption')");
    ASSERT_TRUE(waitFor([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard.back(), "custom Caption");
}

// With the media engine playing the template's clip.
class DZNativeCustomTemplateAdVideoService : public NativeTest {
protected:
    DZNativeCustomTemplateAdVideoService() {
        media::ScriptedMedia clip;
        media::AssetTrack track;
        track.mediaType = media::MediaType::video;
        track.trackID = 1;
        track.naturalSize = {640, 360};
        clip.tracks = {track};
        clip.duration = 5;
        engine->script(fixtures::NativeAds::kTemplateVideoClip, clip);
    }
    void SetUp() override {
        NativeTest::SetUp();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
        core::UserDefaults::standard()->setObject(
            std::string(ads::DZMediaContent::kVideoSupportURLKey),
            server.urlString(fixtures::NativeAds::kVideoSupportPath));
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(
            std::string(ads::DZMediaContent::kVideoSupportURLKey));
        NativeTest::TearDown();
    }

    std::shared_ptr<media::ScriptedEngine> engine = media::ScriptedEngine::create();
    mediatest::EngineScope engineScope{engine};
};

TEST_F(DZNativeCustomTemplateAdVideoService, TheVideoShowsInAMediaViewAndItsClicksAreAssetClicks) {
    ASSERT_TRUE(makeLoader("native/template-video", {"3"}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(waitFor([&] { return !delegate->ads.empty(); }));
    const auto ad = std::dynamic_pointer_cast<DZNativeCustomTemplateAd>(delegate->ads[0]);
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->availableAssetKeys(), (std::vector<std::string>{"_videoMediaView", "Caption"}));
    ASSERT_TRUE(waitFor([&] { return ad->videoController()->hasVideoContent(); }))
        << "the public controller follows the page's player";
    const auto media = std::dynamic_pointer_cast<ads::DZMediaView>(ad->mediaView());
    ASSERT_TRUE(media);
    EXPECT_EQ(media->mediaContent(), ad->mediaContent());
    const auto content = std::dynamic_pointer_cast<ads::DZMediaContent>(ad->mediaContent());
    ASSERT_TRUE(content && content->hasLoaded());
    EXPECT_EQ(media->mediaView(), content->mediaView()) << "the page's ad view shows inside";

    // A click in the video page is a click on the video asset.
    const auto videoView = content->slot()->adView();
    (void)adwebtesting::evaluate(
        *videoView->webView(),
        "document.body.dispatchEvent(new MouseEvent('click', {bubbles: true, clientX: 5, "
        "clientY: 6})), true");
    ASSERT_TRUE(waitFor([&] { return !received("click").empty(); }));
    const core::Value click = received("click")[0];
    EXPECT_EQ(click["click"]["asset"], core::Value("_videoMediaView"));
    ASSERT_TRUE(click.dictionary());
    EXPECT_FALSE(click.dictionary()->contains("has_custom_click_handler"));
}

}  // namespace
