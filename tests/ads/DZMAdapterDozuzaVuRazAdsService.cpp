// The own network's adapter in a waterfall: its banner at the inline ad's
// size under the network's publisher id, the relays of the banner and the
// interstitial with the clicks they count, failures passed on unchanged,
// the native requests it refuses and the inline native ads it serves (as
// themselves, custom templates only when asked for), the publisher banner
// (from "manual_impression_urls" or banner options) whose impression
// follows the connector, and the rewarded ad it sets up at once.

#include <set>

#include "AdapterTesting.h"
#include "NativeTesting.h"
#include "RewardedTesting.h"
#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/request/ZODBannerViewOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/adapters/DZMAdapterDozuzaVuRazAds.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/native/DZAdLoader.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/UserDefaults.h"
#include "fixtures/NativeAds.h"

namespace {

using ads::DZMAdapterDozuzaVuRazAds;
using fixtures::MediationScenarios;
using mediationtesting::waitFor;

constexpr const char* kOwnUnit = "dz-app-pub-0000000000000000/own";

// The own network with an inline ad ("ad") when one is given.
core::Dictionary ownNetwork(const std::string& id, std::optional<core::Dictionary> ad) {
    core::Dictionary network{{"id", id},
                             {"adapters", core::Array{DZMAdapterDozuzaVuRazAds::kClassName}},
                             {"allocation_id", "alloc-" + id},
                             {"data", core::Dictionary{{"pubid", kOwnUnit}}}};
    if (ad) network.set("ad", std::move(*ad));
    return network;
}

// A 300 by 250 inline ad unless sizeText says otherwise ("" for none).
core::Dictionary ownAd(const std::string& sizeText = "300x250") {
    core::Dictionary ad =
        slottesting::inlineAd("<div style=\"width:300px;height:250px;background:#3a7\"></div>");
    if (!sizeText.empty()) ad.set("ad_size", sizeText);
    return ad;
}

class DZMAdapterDozuzaVuRazAdsService
    : public adaptertesting::AdapterSlotTest<ads::DZMAdNetworkConnectorBanner> {
protected:
    [[nodiscard]] std::shared_ptr<DZMAdapterDozuzaVuRazAds> own() const {
        return adapter<DZMAdapterDozuzaVuRazAds>();
    }
    // Loads the response and waits for the slot's outcome.
    [[nodiscard]] bool fill(const core::Value& body) {
        if (!makeSlot()) return false;
        return start(body) && waitFor([&] { return owner->outcomes() > 0; }, 20);
    }
};

TEST_F(DZMAdapterDozuzaVuRazAdsService, TheInlineAdFillsAMediatedBannerAtItsOwnSize) {
    ASSERT_TRUE(fill(response({ownNetwork("1", ownAd())})));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = own();
    ASSERT_TRUE(adapter);
    const auto& banner = adapter->bannerView();
    ASSERT_TRUE(banner);
    EXPECT_EQ(connector->events, std::vector<std::string>{"view"});
    ASSERT_FALSE(owner->adViews.empty());
    EXPECT_EQ(owner->adViews.back(), banner);
    // 300x250 although the slot asked for 320x50.
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeMediumRectangle));
    EXPECT_EQ(banner->adUnitID(), std::optional<std::string>(kOwnUnit));
    EXPECT_EQ(banner->rootViewController(), rooted->root);
    EXPECT_TRUE(banner->isMediated());
    EXPECT_FALSE(banner->slot()->reloadable());
    EXPECT_EQ(banner->slot()->state(), ads::DZSlot::kValidAd);
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"0"});
}

// A mediation response fetched from the server: the own network's ad gets
// what the waterfall knows of the response (its size, cropped-content
// threshold, original request and redirects, one more standing for the
// response itself) beside the inline ad's dictionary.
TEST_F(DZMAdapterDozuzaVuRazAdsService, TheOwnNetworksAdCarriesTheFactsOfTheResponse) {
    ASSERT_TRUE(makeSlot());
    server.serve("/mediation/own", MediationScenarios::response(response({ownNetwork("1", ownAd())})));
    const auto responseURL = server.urlString("/mediation/own");
    slot->loadRequest(slottesting::requestWithExtras({{"_requestUrl", responseURL}}));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }, 20));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = own();
    ASSERT_TRUE(adapter && adapter->bannerView());
    const auto mediated = slot->ad();
    const auto ad = adapter->bannerView()->slot()->ad();
    ASSERT_TRUE(mediated && ad);
    ASSERT_TRUE(mediated->originalRequest());
    EXPECT_EQ(mediated->originalRequest()->url().absoluteString(), responseURL);

    EXPECT_EQ(ad->size(), mediated->size()) << "the response's size wins over \"ad_size\"";
    EXPECT_EQ(ad->croppedContentThreshold(), mediated->croppedContentThreshold());
    ASSERT_TRUE(ad->originalRequest());
    EXPECT_EQ(ad->originalRequest()->url(), mediated->originalRequest()->url());
    ASSERT_EQ(ad->redirects().size(), mediated->redirects().size() + 1);
    const auto& inlined = ad->redirects().back();
    EXPECT_EQ(inlined->response().statusCode(), 399);
    EXPECT_EQ(inlined->response().url().absoluteString(), responseURL);
    EXPECT_EQ(inlined->response().headers().value("X-Duzo-Mediation"), "1");
    EXPECT_EQ(inlined->request().url().absoluteString(), "https://ads.test/");
    EXPECT_EQ(inlined->request().value("x-duzo-annotation-inlined"),
              "inlined in mediation response");
}

TEST_F(DZMAdapterDozuzaVuRazAdsService, TheSizeComesFromTheAdThenTheResponseThenTheRequest) {
    const struct {
        const char* name;
        std::optional<core::Dictionary> ad;
        std::optional<std::string> defaultSize;
        ads::DZAdSize expected;
    } cases[] = {
        {"adSize", ownAd("300x250"), "320x100", ads::kDZAdSizeMediumRectangle},
        {"defaultSize", ownAd(""), "320x100", ads::kDZAdSizeLargeBanner},
        {"unparsable", ownAd("wide"), "tall", ads::kDZAdSizeBanner},
        {"custom", ownAd("310x60"), std::nullopt, ads::DZAdSizeMatchKnownSize({310, 60})},
        {"noAd", std::nullopt, "320x100", ads::kDZAdSizeBanner},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        core::Dictionary body{{"qdata", "q"},
                              {"ad_networks", core::Array{ownNetwork("1", entry.ad)}}};
        if (entry.defaultSize) body.set("default_ad_sz", *entry.defaultSize);
        ads::Error error;
        const auto config = ads::DZMConfig::initWithAppKey("app", core::Value(body), &error);
        ASSERT_TRUE(config);
        ASSERT_FALSE(config->adNetworkConfigs().empty());
        const auto network =
            ads::DZMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs().front());
        DZMAdapterDozuzaVuRazAds adapter(network);
        const ads::DZAdSize size = adapter.bannerSizeForRequestedSize(ads::kDZAdSizeBanner);
        EXPECT_TRUE(ads::DZAdSizesEqual(size, entry.expected)) << ads::DZAdSizeDescription(size);
    }
}

TEST_F(DZMAdapterDozuzaVuRazAdsService, BannerRelaysCountAClickForScreensAndLeavingTheApp) {
    ASSERT_TRUE(fill(response({ownNetwork("1", ownAd())})));
    const auto adapter = own();
    ASSERT_TRUE(adapter && adapter->bannerView());
    ads::DZBannerView& banner = *adapter->bannerView();
    connector->events.clear();
    adapter->adViewWillPresentScreen(banner);
    adapter->adViewWillDismissScreen(banner);
    adapter->adViewDidDismissScreen(banner);
    adapter->adViewWillLeaveApplication(banner);
    EXPECT_EQ(connector->events, (std::vector<std::string>{"click", "present", "willDismiss",
                                                           "dismiss", "click", "leave"}));
    EXPECT_EQ(owner->screenEvents,
              (std::vector<std::string>{"present", "willDismiss", "dismiss", "leave"}));
    // One click ping for the ad however often it is clicked.
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 1u);

    // The banner's own failure passes on as it is: the SDK's no fill.
    ads::DZRequestError noFill;
    static_cast<ads::Error&>(noFill) = ads::DZErrorWithCode(ads::kDZErrorNoFill);
    adapter->didFailToReceiveAdWithError(banner, noFill);
    ASSERT_EQ(connector->failures.size(), 1u);
    EXPECT_EQ(connector->failures[0].domain, ads::kDZErrorDomain);
    EXPECT_EQ(connector->failures[0].code, ads::kDZErrorNoFill);

    adapter->stopBeingDelegate();
    EXPECT_FALSE(banner.delegate());
    EXPECT_TRUE(adapter->changeAdSizeTo(ads::kDZAdSizeLargeBanner));
    EXPECT_TRUE(ads::DZAdSizesEqual(banner.adSize(), ads::kDZAdSizeLargeBanner));
}

TEST_F(DZMAdapterDozuzaVuRazAdsService, AnEmptyInlineAdIsTheSDKsNoFillAndTheNextNetworkFills) {
    // An inline ad without any markup has nothing to show: the own
    // banner's no fill passes on unchanged, and the next network fills.
    core::Dictionary broken{{"ad_size", "320x50"}};
    ASSERT_TRUE(
        fill(response({ownNetwork("1", broken), mediationtesting::scriptedNetwork("2", "fill")})));
    EXPECT_EQ(owner->finished, 1);
    ASSERT_EQ(connector->failures.size(), 0u);  // the connector of the last network
    const auto impressions = pingValues(MediationScenarios::kImpression, "aec");
    ASSERT_EQ(impressions.size(), 1u);
    EXPECT_EQ(impressions[0], "1,0");
}

class DZMAdapterDozuzaVuRazAdsInterstitialService
    : public adaptertesting::AdapterSlotTest<ads::DZMAdNetworkConnectorInterstitial> {};

TEST_F(DZMAdapterDozuzaVuRazAdsInterstitialService, TheInlineAdFillsAMediatedInterstitial) {
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    owner->kind = ads::DZSlotDelegateKind::interstitial;
    owner->own(*slot);
    core::Dictionary ad = slottesting::inlineAd("<p>full screen</p>");
    ASSERT_TRUE(start(response({ownNetwork("1", ad)})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }, 20));
    EXPECT_EQ(owner->finished, 1);
    ASSERT_TRUE(connector);
    const auto adapter = this->adapter<DZMAdapterDozuzaVuRazAds>();
    ASSERT_TRUE(adapter && adapter->interstitial());
    ads::DZInterstitial& interstitial = *adapter->interstitial();
    EXPECT_TRUE(interstitial.isMediated());
    EXPECT_EQ(interstitial.adUnitID(), kOwnUnit);
    EXPECT_TRUE(interstitial.isReady());
    ASSERT_FALSE(connector->events.empty());
    EXPECT_EQ(connector->events.front(), "interstitial");

    connector->events.clear();
    adapter->interstitialWillPresentScreen(interstitial);
    adapter->interstitialDidReceiveAdClick(interstitial);
    adapter->interstitialWillLeaveApplication(interstitial);
    adapter->interstitialWillDismissScreen(interstitial);
    adapter->interstitialDidDismissScreen(interstitial);
    // Only the click callback counts a click.
    EXPECT_EQ(connector->events,
              (std::vector<std::string>{"presentInterstitial", "click", "leave",
                                        "willDismissInterstitial", "dismissInterstitial"}));
    adapter->stopBeingDelegate();
    EXPECT_FALSE(interstitial.delegate());
}

// Native requests through connectors made by hand.
class DZMAdapterDozuzaVuRazAdsNativeTest : public testing::Test {
protected:
    using NativeConnector = adaptertesting::EventConnector<ads::DZMAdNetworkConnector>;

    void SetUp() override {
        ads::Error error;
        config = ads::DZMConfig::initWithAppKey(
            "app", core::Value(core::Dictionary{{"ad_networks", core::Array{ownNetwork("1", {})}}}),
            &error);
        ASSERT_TRUE(config);
        ASSERT_FALSE(config->adNetworkConfigs().empty());
    }
    std::shared_ptr<NativeConnector> connector(bool native) {
        auto made = NativeConnector::make(config, config->adNetworkConfigs().front());
        made->native = native;
        made->setUpAdapter();
        return made;
    }
    static std::shared_ptr<DZMAdapterDozuzaVuRazAds>
    adapterOf(const std::shared_ptr<NativeConnector>& connector) {
        return std::dynamic_pointer_cast<DZMAdapterDozuzaVuRazAds>(connector->adapter());
    }

    std::shared_ptr<ads::DZMConfig> config;
};

TEST_F(DZMAdapterDozuzaVuRazAdsNativeTest, RequestsItCannotServeFailWithTheirReasons) {
    const auto banner = connector(false);
    const auto bannerAdapter = adapterOf(banner);
    ASSERT_TRUE(bannerAdapter);
    bannerAdapter->getNativeAdWithAdTypes({"1"}, {});
    ASSERT_EQ(banner->failures.size(), 1u);
    EXPECT_EQ(banner->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_EQ(banner->failures[0].message,
              "Connector used DZMAdNetworkConnectorNativeAd isn't a valid connector for "
              "requesting native ad");
    EXPECT_FALSE(bannerAdapter->adLoader());

    // The publisher banner type alone is none of this adapter's.
    const auto native = connector(true);
    const auto nativeAdapter = adapterOf(native);
    nativeAdapter->getNativeAdWithAdTypes({"-1"}, {});
    ASSERT_EQ(native->failures.size(), 1u);
    EXPECT_EQ(native->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_EQ(native->failures[0].message,
              "DZMAdapterDozuzaVuRazAds can't handle any of the requested ad types. (\n    -1\n)");
    EXPECT_FALSE(nativeAdapter->adLoader());

    // A native ad handed to a connector that takes none is refused.
    const auto loader = ads::DZAdLoader::create(kOwnUnit, {}, {"1"}, {});
    ASSERT_TRUE(loader);
    bannerAdapter->adLoaderDidReceiveNativeContentAd(*loader, nullptr);
    ASSERT_EQ(banner->failures.size(), 2u);
    EXPECT_EQ(banner->failures[1].code, ads::kDZErrorInternalError);
    EXPECT_EQ(banner->failures[1].message, "Invalid connector used for handling native ad.");
    ASSERT_FALSE(banner->events.empty());
    EXPECT_EQ(banner->events.back(), "fail com.dozuza.ads 11");
}

TEST_F(DZMAdapterDozuzaVuRazAdsNativeTest,
       ANativeRequestLoadsOnlyTheTypesItServesAndRelaysFailures) {
    // The network's empty inline ad: our loader's own load has nothing to
    // show and fails.
    ads::Error error;
    config = ads::DZMConfig::initWithAppKey(
        "app",
        core::Value(core::Dictionary{
            {"ad_networks", core::Array{ownNetwork("1", core::Dictionary{{"k", "v"}})}}}),
        &error);
    ASSERT_TRUE(config);
    const auto native = connector(true);
    const auto adapter = adapterOf(native);
    adapter->getNativeAdWithAdTypes({"1", "-1", "2"}, {});
    const auto& loader = adapter->adLoader();
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->adUnitID(), std::optional<std::string>(kOwnUnit));
    EXPECT_EQ(loader->adLoaderConfiguration()->adTypes(), (std::set<std::string>{"1", "2"}));
    EXPECT_EQ(loader->delegate().get(), static_cast<ads::DZAdLoaderDelegate*>(adapter.get()));
    ASSERT_TRUE(waitFor([&] { return !native->failures.empty(); }, 20));
    EXPECT_EQ(native->failures[0].domain, ads::kDZErrorDomain);
}

}  // namespace

namespace {

class DZMAdapterDozuzaVuRazAdsRewardedService : public mediationtesting::MediationSlotTest {
protected:
    void TearDown() override {
        rewarded.reset();
        MediationSlotTest::TearDown();
    }
    std::shared_ptr<rewardedtesting::RecordingHost> host =
        std::make_shared<rewardedtesting::RecordingHost>();
    std::shared_ptr<ads::DZRewardBasedVideoAd> rewarded = ads::DZRewardBasedVideoAd::create();
};

TEST_F(DZMAdapterDozuzaVuRazAdsRewardedService,
       SetUpIsAtOnceAndAPrivateRewardedAdLoadsTheInlineAd) {
    rewarded->setDelegate(host);
    core::Dictionary ad = slottesting::inlineAd("<p>rewarded</p>");
    ad.set("rewards", core::Array{core::Dictionary{{"rb_type", "coins"}, {"rb_amount", 5}}});
    const auto body = response({withFillURLs(ownNetwork("1", ad))});
    rewarded->loadRequest(slottesting::requestWithExtras(mediationExtras(body)), "unit/rewarded");
    ASSERT_TRUE(waitFor([&] { return !host->events.empty(); }, 20));
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_TRUE(rewarded->isReady());
    EXPECT_EQ(rewarded->adNetworkClassName(),
              std::optional<std::string>(DZMAdapterDozuzaVuRazAds::kClassName));
    const auto found = rewarded->connectors().find(DZMAdapterDozuzaVuRazAds::kClassName);
    ASSERT_NE(found, rewarded->connectors().end());
    const auto adapter =
        std::dynamic_pointer_cast<DZMAdapterDozuzaVuRazAds>(found->second->adapter());
    ASSERT_TRUE(adapter);
    // Set up without waiting: nothing of the own network is pending.
    EXPECT_TRUE(rewarded->pendingSetUpConnectorsTimestamp().empty());
    const auto own = adapter->rewardBasedVideoAd();
    ASSERT_TRUE(own);
    EXPECT_NE(own, rewarded);
    EXPECT_NE(own, ads::DZRewardBasedVideoAd::sharedInstance());
    EXPECT_TRUE(own->isReady());
    EXPECT_EQ(own->adUnitID(), std::optional<std::string>(kOwnUnit));

    // The private ad's events reach the host through the waterfall.
    adapter->rewardBasedVideoAdDidOpen(*own);
    adapter->rewardBasedVideoAdDidStartPlaying(*own);
    adapter->didRewardUserWithReward(*own, nullptr);
    adapter->rewardBasedVideoAdDidClose(*own);
    ASSERT_GE(host->events.size(), 2u);
    EXPECT_EQ(host->events[1], "open");
    EXPECT_EQ(host->events.back(), "close");

    // A new request replaces the private ad, and the old one is detached.
    adapter->requestRewardBasedVideoAd();
    EXPECT_NE(adapter->rewardBasedVideoAd(), own);
    EXPECT_FALSE(own->delegate());
    adapter->stopBeingDelegate();
    EXPECT_FALSE(adapter->rewardBasedVideoAd()->delegate());
}

}  // namespace

namespace {

using DZMAdapterDozuzaVuRazAdsPublisherBannerService = DZMAdapterDozuzaVuRazAdsService;

TEST_F(DZMAdapterDozuzaVuRazAdsPublisherBannerService,
       ManualImpressionURLsGiveAPublisherBannerFollowingTheConnector) {
    core::Dictionary ad = ownAd("");
    ad.set("manual_impression_urls",
           core::Array{
               server.secureBaseURL() +
               MediationScenarios::trackingPath(MediationScenarios::kManualImpression, token())});
    ASSERT_TRUE(fill(response({ownNetwork("1", ad)})));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = own();
    ASSERT_TRUE(adapter);
    const auto banner = std::dynamic_pointer_cast<ads::ZODBannerView>(adapter->bannerView());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeBanner));
    EXPECT_TRUE(adapter->observesManualImpressions());
    const auto manualPings = [&] {
        EXPECT_TRUE(mediationtesting::settlePings());
        return server.trackingRequests(MediationScenarios::kManualImpression, token()).size();
    };
    EXPECT_EQ(manualPings(), 0u);
    // Another connector's manual impression is not this network's.
    const auto other = ads::DZMAdNetworkConnectorBanner::create(connector->mediationConfig(),
                                                                connector->networkConfig());
    ASSERT_TRUE(other);
    other->reportManualImpression();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(manualPings(), 0u);
    // The network's manual impression becomes our banner's.
    connector->reportManualImpression();
    ASSERT_TRUE(waitFor([&] { return manualPings() == 1; }));

    // The banner's app events reach the connector (kept while the slot
    // takes none).
    banner->appEventDelegate()->didReceiveAppEvent(*banner, "coins", std::string("5"));
    ASSERT_EQ(connector->queuedAppEvents().size(), 1u);
    EXPECT_EQ(connector->queuedAppEvents()[0].name, "coins");

    adapter->stopBeingDelegate();
    EXPECT_FALSE(adapter->observesManualImpressions());
    connector->reportManualImpression();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(manualPings(), 1u);
}

}  // namespace

namespace {

// A waterfall whose connector carries the ad loader configuration of a
// loader that asked for publisher banners (banner options).
class DZMAdapterDozuzaVuRazAdsBannerOptionsService : public DZMAdapterDozuzaVuRazAdsService {
protected:
    void SetUp() override {
        DZMAdapterDozuzaVuRazAdsService::SetUp();
        const auto make = owner->makeConnector;
        owner->makeConnector = [this, make](const std::shared_ptr<ads::DZMConfig>& config,
                                            const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
            -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            auto made = make(config, network);
            if (made && withOptions)
                made->setAdLoaderConfiguration(ads::DZAdLoaderConfiguration::create(
                    {"1"}, {std::make_shared<ads::ZODBannerViewOptions>()}));
            return made;
        };
    }
    bool withOptions = true;
};

TEST_F(DZMAdapterDozuzaVuRazAdsBannerOptionsService,
       BannerOptionsAloneGiveAPublisherBannerThatFollowsTheConnector) {
    // No "manual_impression_urls": the options are the only reason.
    ASSERT_TRUE(fill(response({ownNetwork("1", ownAd())})));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = own();
    ASSERT_TRUE(adapter);
    const auto banner = std::dynamic_pointer_cast<ads::ZODBannerView>(adapter->bannerView());
    ASSERT_TRUE(banner);
    // The inline ad's size and the banner's set-up hold for it as well.
    EXPECT_TRUE(ads::DZAdSizesEqual(banner->adSize(), ads::kDZAdSizeMediumRectangle));
    EXPECT_TRUE(banner->isMediated());
    EXPECT_FALSE(banner->slot()->reloadable());
    EXPECT_EQ(banner->adUnitID(), std::optional<std::string>(kOwnUnit));
    EXPECT_EQ(banner->appEventDelegate().get(),
              static_cast<ads::DZAppEventDelegate*>(adapter.get()));
    EXPECT_TRUE(adapter->observesManualImpressions());
    EXPECT_EQ(connector->events, std::vector<std::string>{"view"});
}

TEST_F(DZMAdapterDozuzaVuRazAdsBannerOptionsService, WithoutOptionsTheSameResponseIsAPlainBanner) {
    withOptions = false;
    ASSERT_TRUE(fill(response({ownNetwork("1", ownAd())})));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = own();
    ASSERT_TRUE(adapter && adapter->bannerView());
    EXPECT_FALSE(std::dynamic_pointer_cast<ads::ZODBannerView>(adapter->bannerView()));
    EXPECT_FALSE(adapter->observesManualImpressions());
}

// A loader's waterfall over the own network whose inline ad is a native
// response, preprocessed by the support page of the local server.
class DZMAdapterDozuzaVuRazAdsNativeService : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        core::UserDefaults::standard()->setObject(
            std::string(ads::DZNativeAd::kSupportURLKey),
            server.urlString(fixtures::NativeAds::kSupportPath));
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(
            std::string(ads::DZNativeAd::kSupportURLKey));
        MediationSlotTest::TearDown();
    }
};

TEST_F(DZMAdapterDozuzaVuRazAdsNativeService, AnInlineNativeAdIsServedAsItselfWithItsAssets) {
    const core::Array entries = fixtures::NativeAds::entries("native/content2", server.baseURL());
    ASSERT_FALSE(entries.empty());
    const core::Dictionary inlineAd{
        {"ad_json", core::Dictionary{{"ads", core::Array{entries[0]}}}}};
    const auto loader = ads::DZAdLoader::create("unit/native", {}, {"1", "2"}, {});
    ASSERT_TRUE(loader);
    const auto delegate = std::make_shared<nativetesting::RecordingLoaderDelegate>();
    loader->setDelegate(delegate);
    loader->loadRequest(slottesting::requestWithExtras(
        mediationExtras(response({withFillURLs(ownNetwork("1", inlineAd))}))));
    ASSERT_TRUE(waitFor(
        [&] { return !delegate->events.empty() && delegate->events.back() == "finish"; }, 20));
    ASSERT_EQ(delegate->events, (std::vector<std::string>{"ad First wallpaper", "finish"}));

    // The publisher gets our network's own content ad, taken over by the
    // outer loader, with the assets of the inline response.
    ASSERT_FALSE(delegate->ads.empty());
    const auto ad = std::dynamic_pointer_cast<ads::DZNativeContentAd>(delegate->ads[0]);
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->headline(), std::optional<std::string>("First wallpaper"));
    EXPECT_EQ(ad->body(), std::optional<std::string>("Wallpapers for every screen."));
    EXPECT_EQ(ad->callToAction(), std::optional<std::string>("Open"));
    EXPECT_EQ(ad->advertiser(), std::optional<std::string>("Vantor"));
    EXPECT_EQ(ad->adUnitID(), "unit/native");
    EXPECT_EQ(ad->adNetworkClassName(), DZMAdapterDozuzaVuRazAds::kClassName);
    ASSERT_TRUE(ad->mediatedNativeAd());
    // Handed over whole: the mediated ad keeps no network ad of its own.
    EXPECT_EQ(ad->mediatedNativeAd()->ad(), nullptr);
    EXPECT_EQ(pingValues(MediationScenarios::kFill, "net"), std::vector<std::string>{"1"});

    // A recorded impression pings the waterfall once.
    ad->recordImpressionWithEnvironment({});
    ad->recordImpressionWithEnvironment({});
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "net"), std::vector<std::string>{"1"});
    // Being our own ad, it also reports its own impression through the
    // support page, which pings the entry's impression URL.
    ASSERT_TRUE(waitFor(
        [&] { return !server.requestsTo(fixtures::NativeAds::kImpressionPath).empty(); }, 10));
    const auto own = server.requestsTo(fixtures::NativeAds::kImpressionPath);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].queryValue("ad"), "native/content2:0");
}

TEST_F(DZMAdapterDozuzaVuRazAdsNativeService,
       ACustomTemplateAdNeedsItsTemplateAskedForByThePublisher) {
    // Our loader inside the waterfall asks with the outer loader's
    // template ids: one the publisher did not ask for is refused, and the
    // waterfall ends without an ad.
    const core::Dictionary inlineAd{
        {"ad_json", core::Dictionary{{"ads", fixtures::NativeAds::entries("native/template",
                                                                          server.baseURL())}}}};
    const auto loadWith = [&](core::Array templateIDs) {
        const auto loader = ads::DZAdLoader::create("unit/template", {}, {"3"}, {});
        const auto delegate = std::make_shared<nativetesting::RecordingLoaderDelegate>();
        delegate->templateIDs = std::move(templateIDs);
        loader->setDelegate(delegate);
        loader->loadRequest(
            slottesting::requestWithExtras(mediationExtras(response({ownNetwork("1", inlineAd)}))));
        EXPECT_TRUE(waitFor(
            [&] { return !delegate->events.empty() && delegate->events.back() == "finish"; }, 20));
        return delegate->events;
    };
    const auto refused = loadWith(core::Array{"555"});
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_TRUE(refused[0].starts_with("fail 9 ")) << refused[0];
    caseName = "-asked";
    EXPECT_EQ(loadWith(core::Array{"10104"}),
              (std::vector<std::string>{"ad template 10104", "finish"}));
}

}  // namespace
