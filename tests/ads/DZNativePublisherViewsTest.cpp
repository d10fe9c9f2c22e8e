// The publisher views of native ads: the container views' outlets and
// their asset ids, the media content reaching a media view set after the
// ad, the media-rendering report, the media view's intrinsic size, the
// AdChoices view's content, and the refusals of custom template ads.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "LogCapture.h"
#include "NativeViewTesting.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZAdChoicesView.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdAssetNames.h"
#include "ads/native/DZNativeAppInstallAdView.h"
#include "ads/native/DZNativeContentAdView.h"
#include "core/Console.h"
#include "ui/Label.h"
#include "ui/Window.h"

namespace {

using adwebtesting::drainMainQueue;
using gfx::Rect;
using namespace nativeviewtesting;

// A native ad whose media shows view, with video when given.
std::shared_ptr<RecordingNativeAd>
adWithMedia(std::shared_ptr<ui::View> view, std::shared_ptr<ads::DZVideoControlling> video = {}) {
    auto content = std::make_shared<PlainMediaContent>();
    content->view = std::move(view);
    content->controller = std::move(video);
    auto ad = std::make_shared<RecordingNativeAd>();
    ad->media = content;
    ad->setAdUnitID("unit/views");
    return ad;
}

TEST(DZNativePublisherViews, ContainerViewsKnowTheirAssetsByID) {
    EXPECT_TRUE(ads::DZIsMediaViewAssetName("2011"));
    EXPECT_TRUE(ads::DZIsMediaViewAssetName("1009"));
    EXPECT_FALSE(ads::DZIsMediaViewAssetName("2012"));
    EXPECT_TRUE(ads::DZIsAdChoicesViewAssetName("1010"));
    EXPECT_FALSE(ads::DZIsAdChoicesViewAssetName("1009"));

    const auto view = ads::DZNativeAppInstallAdView::create({0, 0, 320, 300});
    ASSERT_TRUE(view);
    const auto& policy = *view->nativeAdViewPolicy();
    EXPECT_EQ(policy.adView(), view);
    EXPECT_EQ(policy.attributionIconAssetName(), "2009");
    EXPECT_EQ(policy.attributionTextAssetName(), "2010");
    EXPECT_EQ(policy.backgroundAssetName(), "2099");
    EXPECT_FALSE(policy.isAdViewOwnedByPublisher());

    auto headline = std::make_shared<ui::Label>(Rect(0, 0, 100, 20));
    const auto stars = std::make_shared<ui::View>();
    const auto media = ads::DZMediaView::create();
    const auto choices = ads::DZAdChoicesView::create();
    view->setHeadlineView(headline);
    view->setStarRatingView(stars);
    view->setMediaView(media);
    view->setAdChoicesView(choices);
    EXPECT_EQ(policy.assetNameForView(headline.get()), "2001");
    EXPECT_EQ(policy.assetNameForView(stars.get()), "2008");
    EXPECT_EQ(policy.assetNameForView(media.get()), "2011");
    EXPECT_EQ(policy.assetNameForView(choices.get()), "2012");
    EXPECT_EQ(policy.adChoicesViewFromPublisher(), choices);
    EXPECT_EQ(view->mediaView(), media);
    EXPECT_EQ(view->adChoicesView(), choices);

    // Outlets are weak, and a replaced view leaves the map.
    const auto store = std::make_shared<ui::Label>();
    view->setStarRatingView(store);
    EXPECT_FALSE(policy.assetNameForView(stars.get()));
    headline.reset();
    EXPECT_FALSE(view->headlineView());

    const auto content = ads::DZNativeContentAdView::create({0, 0, 320, 300});
    ASSERT_TRUE(content);
    const auto& contentPolicy = *content->nativeAdViewPolicy();
    EXPECT_EQ(contentPolicy.attributionIconAssetName(), "1007");
    EXPECT_EQ(contentPolicy.attributionTextAssetName(), "1008");
    EXPECT_EQ(contentPolicy.backgroundAssetName(), "1099");
    const auto logo = std::make_shared<ui::View>();
    content->setLogoView(logo);
    content->setAdvertiserView(store);
    content->setMediaView(media);
    EXPECT_EQ(contentPolicy.assetNameForView(logo.get()), "1006");
    EXPECT_EQ(contentPolicy.assetNameForView(store.get()), "1004");
    EXPECT_EQ(contentPolicy.assetNameForView(media.get()), "1009");
    EXPECT_EQ(content->logoView(), logo);
}

TEST(DZNativePublisherViews, AMediaViewSetAfterTheAdGetsTheAdsContentOnALaterTurn) {
    const auto view = ads::DZNativeAppInstallAdView::create({0, 0, 320, 300});
    const auto shown = std::make_shared<ui::View>(Rect(0, 0, 30, 20));
    const auto ad = adWithMedia(shown);
    view->nativeAdViewPolicy()->setNativeAd(ad);
    view->updateMediaView();

    const auto media = ads::DZMediaView::create({10, 10, 200, 100});
    view->setMediaView(media);
    EXPECT_FALSE(media->mediaContent()) << "never within the setter";
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(media->mediaContent(), ad->media);
    EXPECT_EQ(media->mediaView(), shown);
    EXPECT_EQ(shown->superview(), media);
    EXPECT_EQ(shown->frame(), Rect(0, 0, 200, 100));
    EXPECT_EQ(shown->autoresizingMask(), ui::View::kFlexibleWidth | ui::View::kFlexibleHeight);
    EXPECT_TRUE(ad->statistics().empty()) << "no video, no rendering report";

    // A content view of the next ad replaces the shown one.
    const auto next = std::make_shared<PlainMediaContent>();
    next->view = std::make_shared<ui::View>();
    media->setMediaContent(next);
    EXPECT_FALSE(shown->superview());
    EXPECT_EQ(next->view->superview(), media);
    media->setMediaContent(nullptr);
    EXPECT_FALSE(next->view->superview());
    EXPECT_FALSE(media->mediaView());
}

TEST(DZNativePublisherViews, TheMediaRenderingReportNeedsVideoThatHasNotEnded) {
    const auto view = ads::DZNativeContentAdView::create({0, 0, 320, 300});
    const auto report = [&](std::shared_ptr<ads::DZVideoControlling> video,
                            std::shared_ptr<ads::DZMediaView> media) {
        const auto ad = adWithMedia(std::make_shared<ui::View>(), std::move(video));
        view->nativeAdViewPolicy()->setNativeAd(ad);
        view->setMediaView(media);
        EXPECT_TRUE(drainMainQueue());
        return ad->statistics()["uses_media_view"];
    };
    PageVideo playing(true, 1);
    EXPECT_EQ(report(playing.page, ads::DZMediaView::create()), core::Value(1));
    EXPECT_EQ(report(playing.page, nullptr), core::Value(0)) << "no media view connected";
    PageVideo ended(true, 4);
    EXPECT_TRUE(report(ended.page, ads::DZMediaView::create()).isNull());
    PageVideo none(false, 1);
    EXPECT_TRUE(report(none.page, ads::DZMediaView::create()).isNull());
    EXPECT_TRUE(report(nullptr, ads::DZMediaView::create()).isNull());
}

TEST(DZNativePublisherViews, MediaViewsTakeTheirSizeFromWhatTheyShow) {
    const auto window = std::make_shared<ui::Window>();
    const auto holder = std::make_shared<ui::View>(Rect(0, 0, 320, 400));
    window->addSubview(holder);
    const auto media = ads::DZMediaView::create({0, 0, 200, 100});
    holder->addSubview(media);
    EXPECT_EQ(media->intrinsicContentSize(), (gfx::Size{-1, -1})) << "nothing shown";

    const auto ad = adWithMedia(std::make_shared<ui::View>(Rect(0, 0, 30, 20)));
    media->setNativeAd(ad);
    EXPECT_FALSE(media->mediaContent());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(media->nativeAd(), ad);
    EXPECT_EQ(media->intrinsicContentSize(), (gfx::Size{200, 100})) << "the shown view's frame";

    // Another content: its view takes the media view's size.
    holder->layoutIfNeeded();
    ASSERT_FALSE(holder->needsLayout());
    const auto next = std::make_shared<PlainMediaContent>();
    next->view = std::make_shared<ui::View>(Rect(0, 0, 30, 20));
    media->setMediaContent(next);
    EXPECT_EQ(media->intrinsicContentSize(), (gfx::Size{200, 100}));
    EXPECT_TRUE(holder->needsLayout()) << "a new content asks the superview to lay out again";
}

TEST(DZNativePublisherViews, AdChoicesViewsCentreTheirContentOnce) {
    const auto choices = ads::DZAdChoicesView::create({0, 0, 100, 50});
    const auto badge = std::make_shared<ui::View>(Rect(0, 0, 40, 16));
    const auto ad = std::make_shared<RecordingNativeAd>();
    ad->choices = badge;
    choices->setNativeAd(ad);
    EXPECT_EQ(choices->nativeAd(), ad);
    EXPECT_EQ(choices->adChoicesContentView(), badge);
    EXPECT_FALSE(badge->translatesAutoresizingMaskIntoConstraints());
    choices->layoutIfNeeded();
    EXPECT_EQ(badge->frame(), Rect(30, 17, 40, 16));

    // The same content again changes nothing.
    choices->setAdChoicesContentView(badge);
    EXPECT_FALSE(choices->needsLayout());
    EXPECT_EQ(choices->subviews().size(), 1u);
    const auto other = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    choices->setAdChoicesContentView(other);
    EXPECT_FALSE(badge->superview());
    EXPECT_TRUE(choices->needsLayout());
}

TEST(DZNativePublisherViews, CustomTemplateAndMedialessAdsAreRefused) {
    adtesting::LogCapture console;
    const auto custom = std::make_shared<RecordingNativeAd>(core::Dictionary{}, 0, "3");
    custom->choices = std::make_shared<ui::View>();
    custom->media = std::make_shared<PlainMediaContent>();
    const auto media = ads::DZMediaView::create();
    const auto choices = ads::DZAdChoicesView::create();
    media->setNativeAd(custom);
    choices->setNativeAd(custom);
    media->setNativeAd(std::make_shared<RecordingNativeAd>());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(media->nativeAd());
    EXPECT_FALSE(media->mediaContent());
    EXPECT_FALSE(choices->nativeAd());
    EXPECT_FALSE(choices->adChoicesContentView());
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{
                  "<Dozuza> Failed to set custom template native ad on media view. Not supported.",
                  "<Dozuza> Failed to set custom template native ad on AdChoices view. Not "
                  "supported.",
                  "<Dozuza> Failed to populate media conent: media content is not available"}));
}

}  // namespace
