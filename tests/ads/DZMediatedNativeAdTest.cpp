// Mediated native ads without a network underneath: which side runs the
// waterfall's impression and click handlers for each value of the
// adapter's flags, the network's announcements reaching the ad's delegate,
// rendered-view tracking, the ad kinds, the mediated media content and
// video controller, and the images adapters hand over.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "AdWebTesting.h"
#include "MediatedNativeTesting.h"
#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"
#include "ads/mediation/native/DZMediationNativeAdMediaContent.h"
#include "ads/mediation/native/DZMediationNativeAdVideoController.h"
#include "ads/native/DZNativeAdDelegate.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/video/DZVideoController.h"
#include "gfx/Canvas.h"
#include "gfx/Image.h"

namespace {

using namespace mediatednativetesting;
using Source = ads::DZMediatedNativeAdNotificationSource;

TEST(DZMediatedNativeAd, EachImpressionAndClickRunsTheHandlersOnceWhicheverSideReportsIt) {
    for (const bool adapterHandles : {false, true}) {
        SCOPED_TRACE(adapterHandles ? "the adapter reports" : "the SDK reports");
        const auto network = std::make_shared<ContentNetworkAd>();
        int impressions = 0;
        int clicks = 0;
        const auto mediated = countingMediatedAd(network, impressions, clicks);
        mediated->setAdapterHandlesUserImpressions(adapterHandles);
        mediated->setAdapterHandlesUserClicks(adapterHandles);
        const auto ad = std::make_shared<MediatedNativeAd>(mediated);
        const auto view = std::make_shared<ui::View>();

        // What the SDK's view policy sees, and what the network announces.
        ad->recordImpressionWithEnvironment({});
        Source::mediatedNativeAdDidRecordImpression(network.get());
        ad->performClickOnView(view, "1001", {});
        Source::mediatedNativeAdDidRecordClick(network.get());

        EXPECT_EQ(impressions, 1);
        EXPECT_EQ(clicks, 1);
        // The network hears only of what the SDK counted.
        const std::vector<std::string> told =
            adapterHandles ? std::vector<std::string>{}
                           : std::vector<std::string>{"impression", "click 1001"};
        EXPECT_EQ(network->assets.delegate->heard, told);
    }
}

TEST(DZMediatedNativeAd, AnnouncementsOfAnotherAdOrAfterTheAdHasGoneChangeNothing) {
    const auto network = std::make_shared<ContentNetworkAd>();
    const auto stranger = std::make_shared<ContentNetworkAd>();
    int impressions = 0;
    int clicks = 0;
    const auto mediated = countingMediatedAd(network, impressions, clicks);
    mediated->setAdapterHandlesUserImpressions(true);
    auto ad = std::make_shared<MediatedNativeAd>(mediated);
    Source::mediatedNativeAdDidRecordImpression(stranger.get());
    EXPECT_EQ(impressions, 0);
    ad.reset();
    Source::mediatedNativeAdDidRecordImpression(network.get());
    EXPECT_EQ(impressions, 0);
}

class RecordingNativeDelegate : public ads::DZNativeAdDelegate {
public:
    void nativeAdWillPresentScreen(ads::DZNativeAd&) override { heard.push_back("present"); }
    void nativeAdWillDismissScreen(ads::DZNativeAd&) override { heard.push_back("dismiss"); }
    void nativeAdDidDismissScreen(ads::DZNativeAd&) override { heard.push_back("dismissed"); }
    void nativeAdWillLeaveApplication(ads::DZNativeAd&) override { heard.push_back("leave"); }
    std::vector<std::string> heard;
};

TEST(DZMediatedNativeAd, TheNetworksScreenAnnouncementsReachTheAdsDelegateAtOnce) {
    const auto network = std::make_shared<AppInstallNetworkAd>();
    network->assets.extras = core::Dictionary{{"rating_source", "store"}};
    int impressions = 0;
    int clicks = 0;
    const auto ad =
        std::make_shared<MediatedNativeAd>(countingMediatedAd(network, impressions, clicks));
    EXPECT_EQ(ad->adNetworkClassName(), "NetworkAdapter");
    EXPECT_EQ(ad->extraAssets(), network->assets.extras);
    const auto delegate = std::make_shared<RecordingNativeDelegate>();
    ad->setDelegate(delegate);
    Source::mediatedNativeAdWillPresentScreen(network.get());
    Source::mediatedNativeAdWillDismissScreen(network.get());
    Source::mediatedNativeAdDidDismissScreen(network.get());
    Source::mediatedNativeAdWillLeaveApplication(network.get());
    EXPECT_EQ(delegate->heard,
              (std::vector<std::string>{"present", "dismiss", "dismissed", "leave"}));
}

// Holds the network's thread inside its first announcement until told to
// go on.
class BlockingNativeDelegate : public ads::DZNativeAdDelegate {
public:
    void nativeAdWillPresentScreen(ads::DZNativeAd&) override {
        if (presents++ > 0) return;
        entered.set_value();
        proceed.wait();
    }
    std::atomic<int> presents{0};
    std::promise<void> entered;
    std::shared_future<void> proceed;
};

TEST(DZMediatedNativeAd, AnAdLetGoOfDuringANetworksAnnouncementLastsUntilItEnds) {
    const auto network = std::make_shared<ContentNetworkAd>();
    network->assets.headline = "Headline";
    network->assets.body = "Body";
    int impressions = 0;
    int clicks = 0;
    auto ad = ads::DZNativeContentAd::createWithMediatedNativeAd(
        countingMediatedAd(network, impressions, clicks), {});
    ASSERT_TRUE(ad);
    const std::weak_ptr<ads::DZNativeAd> weak = ad;
    const auto delegate = std::make_shared<BlockingNativeDelegate>();
    std::promise<void> go;
    delegate->proceed = go.get_future().share();
    auto entered = delegate->entered.get_future();
    ad->setDelegate(delegate);

    std::thread networkThread([&] { Source::mediatedNativeAdWillPresentScreen(network.get()); });
    const bool announced = entered.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    // The main thread lets go of the ad while the network's thread is in it.
    ad.reset();
    const bool lastedThrough = !weak.expired();
    go.set_value();
    networkThread.join();
    ASSERT_TRUE(announced);
    EXPECT_TRUE(lastedThrough);
    // It ends on the main thread, and later announcements reach nothing.
    EXPECT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(weak.expired());
    std::thread([&] { Source::mediatedNativeAdWillPresentScreen(network.get()); }).join();
    EXPECT_EQ(delegate->presents, 1);
}

TEST(DZMediatedNativeAd, RenderingTellsTheNetworkOncePerViewAndUntracksTheViewItLeaves) {
    const auto network = std::make_shared<ContentNetworkAd>();
    int impressions = 0;
    int clicks = 0;
    const auto mediated = countingMediatedAd(network, impressions, clicks);
    const auto ad = std::make_shared<MediatedNativeAd>(mediated);
    const auto first = std::make_shared<ui::View>();
    const auto second = std::make_shared<ui::View>();
    auto& delegate = *network->assets.delegate;
    delegate.names = {{first, "first"}, {second, "second"}};

    ad->relayTrackedViewToMediatedAd(first);
    ad->relayTrackedViewToMediatedAd(first);
    EXPECT_EQ(delegate.heard, std::vector<std::string>{"render first"});
    // Unloading a view it is not in does nothing.
    ad->relayUnloadedViewToMediatedAd(second);
    ad->relayTrackedViewToMediatedAd(second);
    EXPECT_EQ(delegate.heard,
              (std::vector<std::string>{"render first", "untrack first", "render second"}));
    EXPECT_EQ(mediated->renderedView(), second);
    ad->relayUnloadedViewToMediatedAd(second);
    EXPECT_EQ(mediated->renderedView(), nullptr);
    ASSERT_FALSE(delegate.heard.empty());
    EXPECT_EQ(delegate.heard.back(), "untrack second");
}

TEST(DZMediatedNativeAd, TheKindComesFromTheInterfaceTheNetworksAdAdopts) {
    const auto classOf = [](std::shared_ptr<ads::DZMediatedNativeAdProtocol> network) {
        ads::DZMediatedNativeAd mediated;
        mediated.setAd(std::move(network));
        const ads::DZLoadableClass* adClass = mediated.nativeAdClass();
        return adClass ? adClass->className() : std::string("none");
    };
    EXPECT_EQ(classOf(std::make_shared<ContentNetworkAd>()), "DZNativeContentAd");
    EXPECT_EQ(classOf(std::make_shared<AppInstallNetworkAd>()), "DZNativeAppInstallAd");
    // App install is tested first.
    EXPECT_EQ(classOf(std::make_shared<BothKindsNetworkAd>()), "DZNativeAppInstallAd");
    struct TemplateAd : NetworkAdBase, ads::DZMediatedNativeCustomTemplateAd {};
    EXPECT_EQ(classOf(std::make_shared<TemplateAd>()), "DZNativeCustomTemplateAd");
    EXPECT_EQ(classOf(std::make_shared<PlainNetworkAd>()), "none");
    EXPECT_EQ(classOf(nullptr), "none");
}

class RecordingVideoDelegate : public ads::DZMediationNativeAdVideoControllerDelegate {
public:
    void mediationNativeAdVideoControllerDidPlayVideo(ads::DZVideoControlling&) override {
        heard.push_back("play");
    }
    void mediationNativeAdVideoControllerDidPauseVideo(ads::DZVideoControlling&) override {
        heard.push_back("pause");
    }
    void mediationNativeAdVideoControllerDidEndVideoPlayback(ads::DZVideoControlling&) override {
        heard.push_back("end");
    }
    std::vector<std::string> heard;
};

TEST(DZMediationNativeAdVideoController, FollowsTheNetworksVideoOnlyWhenTheAdHasVideo) {
    for (const std::optional<bool> video : {std::optional<bool>(), std::optional<bool>(false)}) {
        const auto network = std::make_shared<ContentNetworkAd>();
        network->assets.video = video;
        const auto controller = ads::DZMediationNativeAdVideoController::create(
            std::static_pointer_cast<ads::DZMediatedNativeContentAd>(network));
        const auto delegate = std::make_shared<RecordingVideoDelegate>();
        controller->setDelegate(delegate);
        Source::mediatedNativeAdDidPlayVideo(network.get());
        Source::mediatedNativeAdDidEndVideoPlayback(network.get());
        EXPECT_FALSE(controller->hasVideoContent());
        EXPECT_EQ(controller->videoPlaybackState(), 0);
        EXPECT_TRUE(delegate->heard.empty());
    }

    const auto network = std::make_shared<AppInstallNetworkAd>();
    network->assets.video = true;
    auto controller = ads::DZMediationNativeAdVideoController::create(
        std::static_pointer_cast<ads::DZMediatedNativeAppInstallAd>(network));
    const auto delegate = std::make_shared<RecordingVideoDelegate>();
    controller->setDelegate(delegate);
    EXPECT_TRUE(controller->hasVideoContent());
    Source::mediatedNativeAdDidPlayVideo(network.get());
    Source::mediatedNativeAdDidPlayVideo(network.get());
    EXPECT_EQ(controller->videoPlaybackState(), 2);
    Source::mediatedNativeAdDidPauseVideo(network.get());
    Source::mediatedNativeAdDidEndVideoPlayback(network.get());
    EXPECT_EQ(controller->videoPlaybackState(), 4);
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"play", "pause", "end"}));
    // State 1 counts as playing; unknown states are kept but told to no one.
    controller->setVideoPlaybackState(1);
    controller->setVideoPlaybackState(9);
    EXPECT_EQ(controller->videoPlaybackState(), 9);
    ASSERT_FALSE(delegate->heard.empty());
    EXPECT_EQ(delegate->heard.back(), "play");
    EXPECT_EQ(delegate->heard.size(), 4u);
    // The network's controls stay its own.
    controller->play();
    EXPECT_EQ(controller->videoPlaybackState(), 9);
    EXPECT_EQ(controller->aspectRatio(), 0.0);
    EXPECT_FALSE(controller->customControlsEnabled());
    // Gone, it hears nothing more.
    controller.reset();
    Source::mediatedNativeAdDidPauseVideo(network.get());
    EXPECT_EQ(delegate->heard.size(), 4u);
}

TEST(DZMediationNativeAdMediaContent, ShowsTheNetworksMediaViewAndLoadsNothing) {
    const auto network = std::make_shared<ContentNetworkAd>();
    network->assets.media = std::make_shared<ui::View>();
    network->assets.video = true;
    ads::DZMediationNativeAdMediaContent content(
        std::static_pointer_cast<ads::DZMediatedNativeContentAd>(network));
    EXPECT_EQ(content.mediaView(), network->assets.media);
    ASSERT_TRUE(content.mediationVideoController());
    EXPECT_EQ(content.videoController(), content.mediationVideoController());
    EXPECT_TRUE(content.videoController()->hasVideoContent());

    // The handler runs later, without an error.
    int calls = 0;
    content.loadVideoWithCompletionHandler([&](const std::optional<ads::Error>& error) {
        EXPECT_FALSE(error.has_value());
        ++calls;
    });
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(calls, 1);
    content.loadVideoWithCompletionHandler(nullptr);

    const auto plain = std::make_shared<AppInstallNetworkAd>();
    ads::DZMediationNativeAdMediaContent none(
        std::static_pointer_cast<ads::DZMediatedNativeAppInstallAd>(plain));
    EXPECT_EQ(none.mediaView(), nullptr);
    EXPECT_FALSE(none.mediationVideoController()->hasVideoContent());
}

TEST(DZNativeAdImage, AdaptersHandOverAPictureOrAURLWithAScale) {
    const auto picture = gfx::Image::draw({10, 10}, 2.0, [](gfx::Canvas&) {});
    const auto fromPicture = ads::DZNativeAdImage::initWithImage(picture);
    EXPECT_EQ(fromPicture->image(), picture);
    EXPECT_EQ(fromPicture->scale(), 2.0);
    EXPECT_FALSE(fromPicture->hasImageURL());
    // Its picture is there: loading asks no one.
    std::optional<ads::Error> loadError{ads::Error{}};
    fromPicture->loadImageWithCompletionHandler(
        [&](const std::optional<ads::Error>& error) { loadError = error; });
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(loadError.has_value());

    const auto fromURL =
        ads::DZNativeAdImage::initWithURL(*core::URL::create("https://example.test/a.png"), 3.0);
    EXPECT_TRUE(fromURL->hasImageURL());
    EXPECT_EQ(fromURL->imageURL().absoluteString(), "https://example.test/a.png");
    EXPECT_EQ(fromURL->scale(), 3.0);
    EXPECT_EQ(fromURL->image(), nullptr);
}

}  // namespace
