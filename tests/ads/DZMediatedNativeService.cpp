// Mediated native ads and banners against the local ad server: a native
// express network's template showing the headline it is given and its view
// reaching the slot, failures that move the waterfall on at once (a
// network without native support, assets that cannot be built), the ad
// loader's connectors and its take-over of finished native ads, and the
// banner an ad loader makes of a mediated banner.

#include <gtest/gtest.h>

#include "MediatedNativeTesting.h"
#include "MediationSlotTesting.h"
#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/ZODBannerViewOptions.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/mediation/core/DZMediatedAd.h"
#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeAd.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeExpressAd.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "ads/video/DZVideoController.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/NativeExpressScenarios.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using namespace mediationtesting;
using namespace mediatednativetesting;
using fixtures::NativeExpressScenarios;

constexpr const char* kNativeAdapter = "NativeAdapter";

// A native network whose "data" says what it delivers: "content" (a
// content ad with the "headline"), "bare" (an app install ad with only a
// headline) or "noFill".
class NativeAdapter : public ads::DZMAdNetworkAdapter {
public:
    explicit NativeAdapter(const std::shared_ptr<ads::DZMAdNetworkConnector>& connector)
        : connector_(connector) {}

    static std::vector<std::shared_ptr<NativeAdapter>>& made() {
        static std::vector<std::shared_ptr<NativeAdapter>> adapters;
        return adapters;
    }
    static void registerClass() {
        ads::DZMClassDescription description;
        description.name = kNativeAdapter;
        description.protocols = {ads::DZMProtocol::adNetworkAdapter};
        // Adapters of the current API answer banner requests as well.
        description.instanceSelectors = {ads::DZMSelector::getBannerWithSize,
                                         ads::DZMSelector::getNativeAdWithAdTypesOptions};
        description.makeAdapter = [](const std::shared_ptr<ads::DZMAdNetworkConnector>& connector) {
            auto adapter = std::make_shared<NativeAdapter>(connector);
            made().push_back(adapter);
            return adapter;
        };
        ads::DZMClassRegistry::registerClass(description);
    }

    void getNativeAdWithAdTypes(
        const std::vector<std::string>& adTypes,
        const std::vector<std::shared_ptr<ads::DZAdLoaderOptions>>&) override {
        askedTypes = adTypes;
        const auto connector = connector_.lock();
        if (!connector) return;
        const core::Dictionary data = connector->credentials().value_or(core::Dictionary{});
        const std::string behaviour = data["behaviour"].stringValue();
        if (behaviour == "noFill") {
            connector->adapterDidFailAd(this, ads::DZErrorWithCodeDescription(1, "no fill"));
            return;
        }
        if (const core::Value* handles = data.find("handles_impressions"))
            handlesImpressions = handles->boolValue();
        std::shared_ptr<ads::DZMediatedNativeAdProtocol> ad;
        if (behaviour == "own") {
            ad = makeOwnAd ? makeOwnAd() : nullptr;
        } else if (behaviour == "content") {
            auto content = std::make_shared<ContentNetworkAd>();
            content->assets.headline = data["headline"].stringValue();
            content->logoImage = imageAt("https://cdn.test/logo.png");
            ad = content;
        } else {
            auto bare = std::make_shared<AppInstallNetworkAd>();
            bare->assets.headline = data["headline"].stringValue();
            ad = bare;
        }
        connector->adapterDidReceiveMediatedNativeAd(this, ad);
    }
    void stopBeingDelegate() override { stopped = true; }
    // As the network's "data" says ("handles_impressions").
    std::optional<bool> handlesUserImpressions() const override { return handlesImpressions; }

    std::vector<std::string> askedTypes;
    bool stopped = false;
    std::optional<bool> handlesImpressions;
    // What the "own" behaviour delivers.
    static inline std::function<std::shared_ptr<ads::DZMediatedNativeAdProtocol>()> makeOwnAd;

private:
    std::weak_ptr<ads::DZMAdNetworkConnector> connector_;
};

class DZMediatedNativeService : public MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        NativeAdapter::made().clear();
        NativeAdapter::registerClass();
        owner->makeConnector = [this](const std::shared_ptr<ads::DZMConfig>& config,
                                      const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
            -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            auto connector = ads::DZMAdNetworkConnectorNativeExpressAd::create(config, network);
            connector->setAdLoaderConfiguration(ads::DZAdLoaderConfiguration::create({"1"}, {}));
            connectors.push_back(connector);
            return connector;
        };
    }
    void TearDown() override {
        connectors.clear();
        NativeAdapter::made().clear();
        ads::DZMClassRegistry::shared().unregisterClass(kNativeAdapter);
        MediationSlotTest::TearDown();
    }

    [[nodiscard]] core::Dictionary nativeExpressNetwork(const std::string& id,
                                                        const std::string& behaviour,
                                                        const std::string& adapter = kNativeAdapter,
                                                        const std::string& headline = "Fjord at dawn ") {
        return NativeExpressScenarios::network(
            id, adapter, server.secureBaseURL(),
            core::Dictionary{{"behaviour", behaviour}, {"headline", headline + id}});
    }
    [[nodiscard]] std::string pageText(const char* elementID) const {
        if (connectors.empty()) return "(no connector)";
        const auto& adView = connectors.back()->adView();
        if (!adView) return "(no view)";
        return adwebtesting::evaluate(*adView->webView(),
                                      std::string("document.getElementById('") + elementID +
                                          "').textContent")
            .stringValue();
    }

    std::vector<std::shared_ptr<ads::DZMAdNetworkConnectorNativeExpressAd>> connectors;
};

TEST_F(DZMediatedNativeService, TheTemplateShowsTheHeadlineItIsGivenAndTheSlotGetsItsView) {
    ASSERT_TRUE(makeSlot());
    // A headline with line separators, a closing script tag and text
    // beyond ASCII reaches the page as it is.
    const std::string headline = "Fj\u00f6rd\u2028at\u2029dawn </script><!-- ";
    ASSERT_TRUE(
        start(response({nativeExpressNetwork("X", "content", kNativeAdapter, headline)})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    ASSERT_EQ(owner->finished, 1) << (owner->failures.empty() ? "" : owner->failures[0].message);
    ASSERT_EQ(connectors.size(), 1u);
    const auto& adView = connectors[0]->adView();
    ASSERT_TRUE(adView);
    ASSERT_FALSE(owner->adViews.empty());
    EXPECT_EQ(owner->adViews.back(), adView);
    EXPECT_FALSE(manager()->adNetworkTimerArmed());

    EXPECT_EQ(pageText(NativeExpressScenarios::kHeadlineID), headline + "X");
    EXPECT_EQ(pageText(NativeExpressScenarios::kTemplatesID), "7,8");
    EXPECT_TRUE(
        adwebtesting::evaluate(*adView->webView(), "window.assetsBeforeFirstScript").boolValue());
    // Relative resources load from the network's base URL.
    EXPECT_TRUE(waitFor([&] {
        return !server
                    .requestsTo(std::string(NativeExpressScenarios::kBasePath) +
                                NativeExpressScenarios::kPictureName)
                    .empty();
    }));
    // The adapter was asked for the loader's types.
    ASSERT_EQ(NativeAdapter::made().size(), 1u);
    EXPECT_EQ(NativeAdapter::made()[0]->askedTypes, std::vector<std::string>{"1"});
}

// The template in a window as a person sees it: its impression pings the
// waterfall once and reaches the network's ad; a tap on its link opens the
// landing page through the opener, counts as the slot's click and pings
// the waterfall's click URL once, the network's ad hearing of it.
TEST_F(DZMediatedNativeService, TheTemplatesImpressionAndTappedLinkReachTheWaterfallAndTheOpener) {
    ui::Application::shared().becomeActive();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    struct Cleanup {
        ~Cleanup() { store::URLOpener::shared().clearForTesting(); }
    } cleanup;
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({nativeExpressNetwork("X", "content")})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    ASSERT_EQ(owner->finished, 1);
    ASSERT_FALSE(connectors.empty());
    const auto adView = connectors[0]->adView();
    ASSERT_TRUE(adView);
    const auto network = std::dynamic_pointer_cast<ContentNetworkAd>(connectors[0]->mediatedNativeAd());
    ASSERT_TRUE(network);
    adView->setFrame({0, 100, 320, 50});
    window->addSubview(adView);
    const auto tracked = [&](std::string_view kind) {
        return server.trackingRequests(kind, token()).size();
    };
    ASSERT_TRUE(waitFor([&] {
        clock.advance(0.1);
        return tracked(fixtures::MediationScenarios::kImpression) == 1;
    }));
    EXPECT_EQ(network->assets.delegate->heard, std::vector<std::string>{"impression"});

    // The page has taken the view's size: its link is under the finger.
    ASSERT_TRUE(waitFor([&] {
        return adwebtesting::evaluate(*adView->webView(),
                                      "(document.elementFromPoint(160, 25) || {}).id === 'cta'")
            .boolValue();
    }));
    clock.advance(0.2);
    const gfx::Point link = adView->convertPointTo({160, 25}, nullptr);
    const auto touch = window->touchDown(link);
    core::RunLoop::main().runOnce(0);
    window->touchUp(touch, link);
    ASSERT_TRUE(waitFor([&] { return !store::URLOpener::shared().openedURLs().empty(); }));
    EXPECT_EQ(store::URLOpener::shared().openedURLs()[0].absoluteString(),
              NativeExpressScenarios::kLandingURL);
    EXPECT_EQ(owner->clicks, 1);
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kClick, "net"),
              std::vector<std::string>{"X"});
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "net"),
              std::vector<std::string>{"X"});
    EXPECT_EQ(network->assets.delegate->heard,
              (std::vector<std::string>{"impression", "click -"}));
    adView->removeFromSuperview();
}

// A network that counts its own impressions: the template's impression
// pings nothing and tells the network's ad nothing; the network's own
// announcement pings the waterfall, once.
TEST_F(DZMediatedNativeService, ANetworkThatCountsItsImpressionsPingsWhenItReportsOne) {
    ui::Application::shared().becomeActive();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({NativeExpressScenarios::network(
        "X", kNativeAdapter, server.secureBaseURL(),
        core::Dictionary{{"behaviour", "content"},
                         {"headline", "Fjord at dawn X"},
                         {"handles_impressions", true}})})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    ASSERT_EQ(owner->finished, 1);
    ASSERT_FALSE(connectors.empty());
    const auto adView = connectors[0]->adView();
    ASSERT_TRUE(adView);
    const auto network =
        std::dynamic_pointer_cast<ContentNetworkAd>(connectors[0]->mediatedNativeAd());
    ASSERT_TRUE(network);
    adView->setFrame({0, 100, 320, 50});
    window->addSubview(adView);
    // Seen for seconds: long past the template's impression.
    for (int i = 0; i < 30; ++i) {
        clock.advance(0.1);
        ASSERT_TRUE(adwebtesting::drainMainQueue());
    }
    EXPECT_TRUE(network->assets.delegate->heard.empty());
    EXPECT_TRUE(pings(fixtures::MediationScenarios::kImpression).empty());

    ads::DZMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordImpression(network.get());
    ASSERT_TRUE(waitFor([&] {
        return !server.trackingRequests(fixtures::MediationScenarios::kImpression, token()).empty();
    }));
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "net"),
              std::vector<std::string>{"X"});
    EXPECT_TRUE(network->assets.delegate->heard.empty());
    adView->removeFromSuperview();
}

TEST_F(DZMediatedNativeService, ANetworkWithoutNativeSupportMovesTheWaterfallOnWithoutWaiting) {
    ASSERT_TRUE(makeSlot());
    // The first network's adapter serves banners only; the manual clock
    // never moves, so only a failure heard at once lets the second run.
    ASSERT_TRUE(start(response({nativeExpressNetwork("A", "content", kScriptedAdapter),
                                nativeExpressNetwork("B", "content")})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    EXPECT_EQ(owner->finished, 1);
    ASSERT_EQ(NativeAdapter::made().size(), 1u);
    EXPECT_EQ(pageText(NativeExpressScenarios::kHeadlineID), "Fjord at dawn B");
    // An error, then a fill, sent with the template's impression.
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "aec"),
              std::vector<std::string>{"2,0"});
}

TEST_F(DZMediatedNativeService, AssetsThatCannotBeBuiltAndFailuresOfTheAdapterMoveOnAtOnce) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({nativeExpressNetwork("A", "bare"),
                                nativeExpressNetwork("B", "noFill"),
                                nativeExpressNetwork("C", "content")})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    EXPECT_EQ(owner->finished, 1);
    EXPECT_EQ(NativeAdapter::made().size(), 3u);
    ASSERT_FALSE(connectors.empty());
    EXPECT_FALSE(connectors[0]->adView()) << "no template without assets";
    EXPECT_EQ(pageText(NativeExpressScenarios::kHeadlineID), "Fjord at dawn C");
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "aec"),
              std::vector<std::string>{"2,1,0"});
}

TEST_F(DZMediatedNativeService, ATemplateThatFailsToLoadFailsItsNetworkAndNothingLater) {
    ASSERT_TRUE(makeSlot());
    // The adapter answers at once, so the first template is still loading.
    ASSERT_TRUE(start(response(
        {nativeExpressNetwork("A", "content"), nativeExpressNetwork("B", "content")})));
    ASSERT_EQ(connectors.size(), 1u);
    const auto first = connectors[0];
    ASSERT_TRUE(first->adView());
    first->didFailLoadWithError(*first->adView(),
                                ads::DZErrorWithCodeDescription(2, "template failed"));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    EXPECT_EQ(owner->finished, 1);
    ASSERT_EQ(connectors.size(), 2u);
    EXPECT_EQ(pageText(NativeExpressScenarios::kHeadlineID), "Fjord at dawn B");
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "aec"),
              std::vector<std::string>{"2,0"});
    // The failed template's own load, once done, reports nothing.
    first->adViewDidFinishLoad(*first->adView());
    ASSERT_FALSE(owner->adViews.empty());
    EXPECT_EQ(owner->adViews.back(), connectors[1]->adView());
    EXPECT_EQ(owner->finished, 1);
}

TEST_F(DZMediatedNativeService, TheAdLoaderMakesNativeConnectorsForNativeAndUntypedNetworks) {
    const auto loader = ads::DZAdLoader::create("unit/1", {}, {"1"}, {});
    ASSERT_TRUE(loader);
    const auto connectorFor = [&](core::Dictionary network) -> std::string {
        network.set("id", "N");
        network.set("adapters", core::Array{kNativeAdapter});
        ads::Error error;
        const auto config = ads::DZMConfig::initWithAppKey(
            "app", core::Dictionary{{"ad_networks", core::Array{network}}}, &error);
        if (!config || config->adNetworkConfigs().empty()) {
            ADD_FAILURE() << "no network configured: " << error.message;
            return "(no network)";
        }
        const auto connector =
            loader->mediationConnectorForConfiguration(config, config->adNetworkConfigs()[0]);
        return connector ? connector->className() : "none";
    };
    EXPECT_EQ(connectorFor({}), ads::DZMAdNetworkConnectorNativeAd::kClassName);
    EXPECT_EQ(connectorFor({{"response_type", ""}}), ads::DZMAdNetworkConnectorNativeAd::kClassName);
    EXPECT_EQ(connectorFor({{"response_type", "native"}}),
              ads::DZMAdNetworkConnectorNativeAd::kClassName);
    EXPECT_EQ(connectorFor({{"response_type", "banner"}}), "none");
}

// A finished native ad of the SDK's own network, handed on as a network ad.
class OwnNetworkContentAd final : public ads::DZNativeAd,
                                  public ads::DZMediatedNativeContentAd {
public:
    OwnNetworkContentAd() : DZNativeAd(core::Dictionary{}, {}) {}
    void adLoaderDidReceiveAd(ads::DZAdLoader& loader) override {
        deliveredWhileLoading = loader.isLoading();
        ++deliveries;
    }
    int deliveries = 0;
    bool deliveredWhileLoading = true;
    const ads::DZLoadableClass& loadableClass() const override {
        return ads::DZNativeContentAd::adClass();
    }
    std::optional<std::string> headline() const override { return "own"; }
    std::optional<std::string> body() const override { return std::nullopt; }
    ads::DZMediatedNativeAdImages images() const override { return {}; }
    std::shared_ptr<ads::DZNativeAdImage> logo() const override { return nullptr; }
    std::optional<std::string> callToAction() const override { return std::nullopt; }
    std::optional<std::string> advertiser() const override { return std::nullopt; }
};

TEST_F(DZMediatedNativeService, TheLoaderTakesOverAFinishedNativeAdAndRefusesAnAdOfNoKind) {
    const auto loader = ads::DZAdLoader::create("unit/7", {}, {"1"}, {});
    ASSERT_TRUE(loader);
    const auto own = std::make_shared<OwnNetworkContentAd>();
    const auto mediated = std::make_shared<ads::DZMediatedNativeAd>();
    mediated->setAd(own);
    mediated->setAdNetworkClassName("OwnNetworkAdapter");
    mediated->setAllowPublisherRenderedAttribution(true);
    const auto loadable = mediated->loadableAdForAdLoader(*loader);
    ASSERT_EQ(loadable, std::static_pointer_cast<ads::DZLoadable>(own));
    EXPECT_EQ(mediated->ad(), nullptr);
    EXPECT_EQ(own->mediatedNativeAd(), mediated);
    EXPECT_EQ(own->adNetworkClassName(), "OwnNetworkAdapter");
    EXPECT_EQ(own->adUnitID(), "unit/7");
    EXPECT_TRUE(own->publisherRenderAdChoicesAllowed());

    const auto none = std::make_shared<ads::DZMediatedNativeAd>();
    none->setAd(std::make_shared<PlainNetworkAd>());
    EXPECT_EQ(none->loadableAdForAdLoader(*loader), nullptr);
}

class ContentDelegate : public ads::DZNativeContentAdLoaderDelegate {
public:
    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&,
                                             const ads::DZRequestError& error) override {
        events.push_back("fail " + error.message);
    }
    void adLoaderDidFinishLoading(ads::DZAdLoader&) override { events.push_back("finish"); }
    void adLoaderDidReceiveNativeContentAd(ads::DZAdLoader&,
                                           const std::shared_ptr<ads::DZNativeContentAd>&) override {}
    std::vector<std::string> events;
};

TEST_F(DZMediatedNativeService, ALoaderDeliversANetworksNativeAdThatPingsTheWaterfallOnce) {
    const auto own = std::make_shared<OwnNetworkContentAd>();
    NativeAdapter::makeOwnAd = [own] { return own; };
    const auto loader = ads::DZAdLoader::create("unit/1", {}, {"1"}, {});
    ASSERT_TRUE(loader);
    const auto delegate = std::make_shared<ContentDelegate>();
    loader->setDelegate(delegate);
    core::Dictionary network{{"id", "N"},
                             {"adapters", core::Array{kNativeAdapter}},
                             {"allocation_id", "alloc-N"},
                             {"data", core::Dictionary{{"behaviour", "own"}}}};
    loader->loadRequest(slottesting::requestWithExtras(mediationExtras(response({network}))));
    ASSERT_TRUE(waitFor([&] { return !delegate->events.empty(); }));
    NativeAdapter::makeOwnAd = nullptr;
    EXPECT_EQ(delegate->events, std::vector<std::string>{"finish"});
    EXPECT_EQ(own->deliveries, 1);
    EXPECT_FALSE(own->deliveredWhileLoading) << "the network's ad is the final result";
    ASSERT_TRUE(own->mediatedNativeAd());
    EXPECT_EQ(own->adNetworkClassName(), kNativeAdapter);
    EXPECT_EQ(own->adUnitID(), "unit/1");
    EXPECT_EQ(pings(fixtures::MediationScenarios::kFill).size(), 0u) << "no fill templates";

    // The view policy's impression and click reach the waterfall's pings,
    // a second impression does not.
    own->recordImpressionWithEnvironment({});
    own->recordImpressionWithEnvironment({});
    own->performClickOnView(nullptr, "1001", {});
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "net"),
              std::vector<std::string>{"N"});
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kClick, "net"),
              std::vector<std::string>{"N"});

    // The loader's next request gets the network's next ad: the network
    // that filled the last one does not block it.
    const auto next = std::make_shared<OwnNetworkContentAd>();
    NativeAdapter::makeOwnAd = [next] { return next; };
    delegate->events.clear();
    loader->loadRequest(slottesting::requestWithExtras(mediationExtras(response({network}))));
    ASSERT_TRUE(waitFor([&] { return !delegate->events.empty(); }, 5));
    NativeAdapter::makeOwnAd = nullptr;
    EXPECT_EQ(delegate->events, std::vector<std::string>{"finish"});
    EXPECT_EQ(next->deliveries, 1);
}

TEST_F(DZMediatedNativeService, ALoaderDeliversAContentAdMadeOfTheNetworksAd) {
    const auto network = std::make_shared<ContentNetworkAd>();
    network->assets.headline = "Tide pools";
    network->assets.body = "Low water walks";
    network->assets.callToAction = "Go";
    network->advertiserText = "Coast";
    network->logoImage = imageAt(server.secureBaseURL() + "/native/img/logo.png");
    network->assets.images = {imageAt(server.secureBaseURL() + "/native/img/main.png")};
    NativeAdapter::makeOwnAd = [network] { return network; };
    const auto loader = ads::DZAdLoader::create("unit/3", {}, {"1"}, {});
    ASSERT_TRUE(loader);
    class Received : public ContentDelegate {
    public:
        void adLoaderDidReceiveNativeContentAd(
            ads::DZAdLoader&, const std::shared_ptr<ads::DZNativeContentAd>& ad) override {
            ads.push_back(ad);
            events.push_back("ad");
        }
        std::vector<std::shared_ptr<ads::DZNativeContentAd>> ads;
    };
    const auto delegate = std::make_shared<Received>();
    loader->setDelegate(delegate);
    const core::Dictionary entry{{"id", "N"},
                                 {"adapters", core::Array{kNativeAdapter}},
                                 {"allocation_id", "alloc-N"},
                                 {"data", core::Dictionary{{"behaviour", "own"}}}};
    loader->loadRequest(slottesting::requestWithExtras(mediationExtras(response({entry}))));
    ASSERT_TRUE(waitFor([&] { return delegate->events.size() >= 2; }));
    NativeAdapter::makeOwnAd = nullptr;
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"ad", "finish"}))
        << delegate->events.front();
    ASSERT_EQ(delegate->ads.size(), 1u);
    const auto& ad = delegate->ads[0];
    ASSERT_TRUE(ad->mediatedNativeAd());
    EXPECT_EQ(ad->mediatedNativeAd()->ad(), network);
    EXPECT_EQ(ad->adNetworkClassName(), kNativeAdapter);
    EXPECT_EQ(ad->adUnitID(), "unit/3");

    // The network's own announcement of an impression does not ping (the
    // adapter leaves impressions to the SDK); the SDK's does, once.
    ads::DZMediatedNativeAdNotificationSource::mediatedNativeAdDidRecordImpression(network.get());
    ad->recordImpressionWithEnvironment({});
    EXPECT_EQ(pingValues(fixtures::MediationScenarios::kImpression, "net"),
              std::vector<std::string>{"N"});
    EXPECT_EQ(network->assets.delegate->heard, std::vector<std::string>{"impression"});
}

TEST_F(DZMediatedNativeService, ThePublisherHearsTheNetworksVideoPlayAndPause) {
    auto network = std::make_shared<ContentNetworkAd>();
    network->assets.headline = "Surf";
    network->assets.body = "Waves all day";
    network->assets.callToAction = "Go";
    network->advertiserText = "Coast";
    network->logoImage = imageAt(server.secureBaseURL() + "/native/img/logo.png");
    network->assets.images = {imageAt(server.secureBaseURL() + "/native/img/main.png")};
    network->assets.media = std::make_shared<ui::View>();
    network->assets.video = true;
    NativeAdapter::makeOwnAd = [network] { return network; };
    auto loader = ads::DZAdLoader::create("unit/video", {}, {"1"}, {});
    ASSERT_TRUE(loader);
    class Received : public ContentDelegate {
    public:
        void adLoaderDidReceiveNativeContentAd(
            ads::DZAdLoader&, const std::shared_ptr<ads::DZNativeContentAd>& ad) override {
            ads.push_back(ad);
        }
        std::vector<std::shared_ptr<ads::DZNativeContentAd>> ads;
    };
    const auto delegate = std::make_shared<Received>();
    loader->setDelegate(delegate);
    const core::Dictionary entry{{"id", "N"},
                                 {"adapters", core::Array{kNativeAdapter}},
                                 {"allocation_id", "alloc-N"},
                                 {"data", core::Dictionary{{"behaviour", "own"}}}};
    loader->loadRequest(slottesting::requestWithExtras(mediationExtras(response({entry}))));
    ASSERT_TRUE(waitFor([&] { return !delegate->ads.empty(); }));
    NativeAdapter::makeOwnAd = nullptr;
    auto ad = delegate->ads[0];
    auto controller = ad->videoController();
    ASSERT_TRUE(controller);
    EXPECT_TRUE(controller->hasVideoContent());

    class Publisher : public ads::DZVideoControllerDelegate {
    public:
        void videoControllerDidPlayVideo(ads::DZVideoController&) override { heard.push_back("play"); }
        void videoControllerDidPauseVideo(ads::DZVideoController&) override {
            heard.push_back("pause");
        }
        void videoControllerDidEndVideoPlayback(ads::DZVideoController&) override {
            heard.push_back("end");
        }
        std::vector<std::string> heard;
    };
    const auto publisher = std::make_shared<Publisher>();
    controller->setDelegate(publisher);
    using Source = ads::DZMediatedNativeAdNotificationSource;
    Source::mediatedNativeAdDidPlayVideo(network.get());
    Source::mediatedNativeAdDidPauseVideo(network.get());
    Source::mediatedNativeAdDidEndVideoPlayback(network.get());
    ASSERT_TRUE(waitFor([&] { return publisher->heard.size() == 3; }));
    EXPECT_EQ(publisher->heard, (std::vector<std::string>{"play", "pause", "end"}));

    // The publisher's controller and the network's one do not keep each
    // other: both go with the ad.
    const std::weak_ptr<ads::DZVideoControlling> inner = controller->internalVideoController();
    ASSERT_FALSE(inner.expired());
    const std::weak_ptr<ads::DZVideoController> outer = controller;
    controller.reset();
    delegate->ads.clear();
    ad.reset();
    loader.reset();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(outer.expired() || inner.expired());
}

class RecordingAppEvents : public ads::DZAppEventDelegate {
public:
    void didReceiveAppEvent(ads::DZBannerView& banner, const std::string& name,
                            const std::optional<std::string>& info) override {
        heard.push_back(name + "=" + info.value_or("(none)"));
        banners.push_back(&banner);
    }
    std::vector<std::string> heard;
    std::vector<const ads::DZBannerView*> banners;
};

TEST_F(DZMediatedNativeService, AMediatedBannerBecomesABannerOfItsSlotSizeWithItsAppEvents) {
    const auto events = std::make_shared<RecordingAppEvents>();
    auto options = std::make_shared<ads::ZODBannerViewOptions>();
    options->setAppEventDelegate(events);
    const auto loader = ads::DZAdLoader::create("unit/9", {}, {"1"}, {options});
    ASSERT_TRUE(loader);
    const auto bannerFor = [&](core::Array slotSizes, const std::vector<std::string>& sent)
        -> std::shared_ptr<ads::ZODBannerView> {
        core::Dictionary network = scriptedNetwork("A", "fill");
        if (!slotSizes.empty()) network.set("slot_sizes", std::move(slotSizes));
        ads::Error error;
        const auto config = ads::DZMConfig::initWithAppKey(
            "app", core::Dictionary{{"ad_networks", core::Array{network}}}, &error);
        if (!config || config->adNetworkConfigs().empty()) {
            ADD_FAILURE() << "no network configured: " << error.message;
            return nullptr;
        }
        const auto connector =
            ads::DZMAdNetworkConnectorBanner::create(config, config->adNetworkConfigs()[0]);
        for (const auto& name : sent)
            connector->adapterDidReceiveAppEvent(nullptr, name,
                                                 name == "b" ? std::nullopt
                                                             : std::optional<std::string>("1"));
        const auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 310, 70));
        ads::DZMediatedBannerAd mediated(view, connector);
        auto banner = mediated.bannerForAdLoader(*loader);
        EXPECT_TRUE(connector->queuedAppEvents().empty());
        if (banner) {
            EXPECT_EQ(banner->slot()->mediationConnector(), connector);
        }
        return banner;
    };

    const auto sized = bannerFor(core::Array{"320x50"}, {"a", "b", "c"});
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->appEventDelegate(), events);
    EXPECT_EQ(sized->adSize().size, (gfx::Size{320, 50}));
    EXPECT_EQ(sized->adUnitID(), "unit/9");
    EXPECT_EQ(events->heard, (std::vector<std::string>{"a=1", "b=(none)", "c=1"}));
    for (const auto* banner : events->banners) EXPECT_EQ(banner, sized.get());

    // Text of another form, and no default slot size: the view's frame.
    const auto framed = bannerFor(core::Array{"wide"}, {});
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->adSize().size, (gfx::Size{310, 70}));
    EXPECT_EQ(ads::DZMediatedBannerAd::sizeFromSlotSizeText("728 x 90"), (gfx::Size{728, 90}));
    EXPECT_EQ(ads::DZMediatedBannerAd::sizeFromSlotSizeText("320x50x2"), (gfx::Size{}));
    EXPECT_EQ(events->heard.size(), 3u);
}

class BannerLoaderDelegate : public ads::ZODBannerAdLoaderDelegate {
public:
    std::vector<ads::DZBoxedValue> validBannerSizesForAdLoader(ads::DZAdLoader&) override {
        return {ads::DZAdSizeBoxedValue(ads::kDZAdSizeBanner)};
    }
    void adLoaderDidReceiveZODBannerView(ads::DZAdLoader&,
                                         const std::shared_ptr<ads::ZODBannerView>& banner) override {
        banners.push_back(banner);
    }
    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&,
                                             const ads::DZRequestError& error) override {
        failures.push_back(error.message);
    }
    std::vector<std::shared_ptr<ads::ZODBannerView>> banners;
    std::vector<std::string> failures;
};

TEST_F(DZMediatedNativeService, ALoaderAskingForBannersGetsTheNetworksViewInAPublisherBanner) {
    const auto loader = ads::DZAdLoader::create("unit/b", {}, {"-1"}, {});
    ASSERT_TRUE(loader);
    const auto delegate = std::make_shared<BannerLoaderDelegate>();
    loader->setDelegate(delegate);
    core::Dictionary network = scriptedNetwork("A", "fill");
    network.set("response_type", "banner");
    network.set("slot_sizes", core::Array{"320x50"});
    loader->loadRequest(slottesting::requestWithExtras(mediationExtras(response({network}))));
    ASSERT_TRUE(waitFor([&] { return !delegate->banners.empty() || !delegate->failures.empty(); }));
    ASSERT_EQ(delegate->banners.size(), 1u)
        << (delegate->failures.empty() ? "" : delegate->failures.front());
    const auto& banner = delegate->banners[0];
    EXPECT_EQ(banner->adSize().size, (gfx::Size{320, 50}));
    EXPECT_EQ(banner->adUnitID(), "unit/b");
    ASSERT_TRUE(banner->validAdSizes());
    EXPECT_EQ(banner->validAdSizes()->size(), 1u);
    const auto adapter = ScriptedAdapter::forNetwork("A");
    ASSERT_TRUE(adapter && adapter->view);
    EXPECT_EQ(banner->slot()->mediationConnector(), adapter->connector());
}

}  // namespace
