// The banner and interstitial connectors between the waterfall and
// scripted adapters: click, impression and fill pings from their
// templates, the sizes a banner network is asked for, app events, the
// slot events of full screens, the wrong formats, and the questions an
// adapter may ask about the request.

#include <set>

#include "MediationSlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZExtras.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"

namespace {

using namespace mediationtesting;
using fixtures::MediationScenarios;

using DZMAdNetworkConnectorService = ConnectorRecordingTest;

TEST_F(DZMAdNetworkConnectorService, ClicksPingTheResponsesAndTheNetworksTemplatesOncePerAd) {
    ASSERT_TRUE(makeSlot());
    core::Dictionary network = scriptedNetwork("A", "fill");
    network.set("clickurl",
                core::Array{server.secureBaseURL() +
                            MediationScenarios::trackingPath("clk", token()) + "?net=network"});
    ASSERT_TRUE(start(response({network})));
    const auto adapter = ScriptedAdapter::forNetwork("A");
    ASSERT_TRUE(adapter);
    const auto click = [&] {
        adapter->tell([](ads::DZMAdNetworkConnector& connector, ScriptedAdapter* self) {
            connector.adapterDidGetAdClick(self);
        });
    };
    click();
    click();
    // The response's template and the network's, each once (they travel
    // side by side, so the server may see them in either order).
    std::set<std::string> clicked;
    for (const auto& ping : pings(MediationScenarios::kClick))
        clicked.insert(ping.queryValue("net").value_or("-"));
    EXPECT_EQ(clicked, (std::set<std::string>{"A", "network"}));
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 2u);
    EXPECT_TRUE(
        server.requestsTo(ads::DZMAdNetworkConnector::kClickTemplatePath.substr(0, 4)).empty());

    // A new ad of the network may be clicked again; a click of another
    // adapter is nobody's.
    adapter->answer();
    click();
    ads::DZMAdNetworkConnector& connector = *adapter->connector();
    ScriptedAdapter other(adapter->connector());
    connector.adapterDidGetAdClick(&other);
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 4u);
}

TEST_F(DZMAdNetworkConnectorService, WithoutTemplatesTheDefaultsArePinged) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(core::Dictionary{
        {"qdata", "q1"}, {"ad_networks", core::Array{scriptedNetwork("A", "fill")}}}));
    ScriptedAdapter::forNetwork("A")->tell(
        [](ads::DZMAdNetworkConnector& c, ScriptedAdapter* a) { c.adapterDidGetAdClick(a); });
    ASSERT_TRUE(settlePings());
    const auto clicks = server.requestsTo("/clk");
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].queryValue("ad_loc"), "unit/1");
    EXPECT_EQ(clicks[0].queryValue("qdata"), "q1");
    EXPECT_EQ(clicks[0].queryValue("ad_network_id"), "A");
    EXPECT_EQ(clicks[0].queryValue("js"), ads::DZRequest::sdkVersion());
    EXPECT_EQ(clicks[0].queryValue("nr"), "0");
    const auto impressions = server.requestsTo("/imp");
    ASSERT_EQ(impressions.size(), 1u);
    EXPECT_EQ(impressions[0].queryValue("aec"), "0");
    // No fill templates, no fill ping.
    for (const auto& request : server.requests())
        EXPECT_FALSE(request.path.starts_with("/fill")) << request.path;
}

TEST_F(DZMAdNetworkConnectorService, ABannerNetworkIsAskedForItsSlotSize) {
    ASSERT_TRUE(makeSlot(ads::kDZAdSizeMediumRectangle));
    ASSERT_TRUE(start(
        response({scriptedNetwork("A", "fill", 0, {{"slot_sizes", core::Array{"320x50"}}})})));
    auto adapter = ScriptedAdapter::forNetwork("A");
    ASSERT_EQ(adapter->bannerSizes.size(), 1u);
    EXPECT_TRUE(ads::DZAdSizesEqual(adapter->bannerSizes[0], ads::kDZAdSizeBanner));

    // Without its own, the response's default slot size, from the header.
    owner->preempt = true;
    ASSERT_TRUE(
        start(response({scriptedNetwork("B", "fill")}), {{"X-Duzo-Ad-Slot-Size", "468x60"}}));
    adapter = ScriptedAdapter::forNetwork("B");
    ASSERT_EQ(adapter->bannerSizes.size(), 1u);
    EXPECT_TRUE(ads::DZAdSizesEqual(adapter->bannerSizes[0], ads::kDZAdSizeFullBanner));

    // A size that fits no screen is refused before the adapter is asked.
    recordConnectors<ads::DZMAdNetworkConnectorBanner>();
    ASSERT_TRUE(start(
        response({scriptedNetwork("C", "fill", 0, {{"slot_sizes", core::Array{"5000x50"}}})})));
    EXPECT_TRUE(ScriptedAdapter::forNetwork("C")->bannerSizes.empty());
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ads::kDZErrorInternalError);
    EXPECT_EQ(failures()[0].message, "Banner adType requested is invalid.");
}

TEST_F(DZMAdNetworkConnectorService, AppEventsWaitForTheAdUntilTheHundredthAndGoToAListeningOwner) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill")})));
    const auto adapter = ScriptedAdapter::forNetwork("A");
    const auto send = [&](int index) {
        adapter->tell([index](ads::DZMAdNetworkConnector& connector, ScriptedAdapter* self) {
            connector.adapterDidReceiveAppEvent(self, "e" + std::to_string(index), "i");
        });
    };
    for (int i = 0; i < 101; ++i) send(i);
    const auto& banner =
        static_cast<const ads::DZMAdNetworkConnectorBanner&>(*adapter->connector());
    ASSERT_EQ(banner.queuedAppEvents().size(), 100u);
    EXPECT_EQ(banner.queuedAppEvents().front().name, "e0");
    EXPECT_EQ(banner.queuedAppEvents().back().name, "e99");

    owner->takesAppEvents = true;
    send(101);
    EXPECT_EQ(owner->appEvents, std::vector<std::string>{"e101=i"});
    EXPECT_EQ(banner.queuedAppEvents().size(), 100u);
}

TEST_F(DZMAdNetworkConnectorService, FullScreensOfABannerReachTheSlotAndCountAsAClick) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill")})));
    std::vector<std::string> posted;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto observe = [&](const char* name) {
        return center.addObserver(
            name, nullptr, nullptr,
            [&posted, name](const core::Notification&) { posted.push_back(name); });
    };
    const auto willPresent = observe(ads::DZSlot::kWillPresentFullScreenNotification);
    const auto didDismiss = observe(ads::DZSlot::kDidDismissFullScreenNotification);
    const auto& application = ads::DZApplication::sharedInstance()->statistics();
    const auto clicksBefore = application->objectForKeyedSubscript("pclick").intValue();
    ScriptedAdapter::forNetwork("A")->tell([](ads::DZMAdNetworkConnector& c, ScriptedAdapter* a) {
        c.adapterWillPresentFullScreenModal(a);
        c.adapterWillDismissFullScreenModal(a);
        c.adapterDidDismissFullScreenModal(a);
    });
    EXPECT_EQ(application->objectForKeyedSubscript("pclick").intValue(), clicksBefore)
        << "a full screen alone is no click of the slot's";
    ScriptedAdapter::forNetwork("A")->tell([](ads::DZMAdNetworkConnector& c, ScriptedAdapter* a) {
        c.adapterWillLeaveApplication(a);
    });
    // Leaving the app is the slot's click: counted on the shown ad and the
    // application, and marked as a leave.
    EXPECT_EQ(application->objectForKeyedSubscript("pclick").intValue(), clicksBefore + 1);
    EXPECT_EQ(slot->ad()->statistics()->objectForKeyedSubscript("pcc").intValue(), 1);
    EXPECT_EQ(slot->ad()->statistics()->objectForKeyedSubscript("pclb"), core::Value(true));
    center.removeObserver(willPresent);
    center.removeObserver(didDismiss);
    EXPECT_EQ(owner->screenEvents,
              (std::vector<std::string>{"present", "willDismiss", "dismiss", "leave"}));
    EXPECT_EQ(posted, (std::vector<std::string>{ads::DZSlot::kWillPresentFullScreenNotification,
                                                ads::DZSlot::kDidDismissFullScreenNotification}));
    // One click per ad, however many ways it is told.
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 1u);
}

TEST_F(DZMAdNetworkConnectorService, InterstitialNetworksPresentAsTheirImpression) {
    owner->makeConnector = [](const auto& config,
                              const auto& network) -> std::shared_ptr<ads::DZMAdNetworkConnector> {
        return ads::DZMAdNetworkConnectorInterstitial::create(config, network);
    };
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    slot->setAdUnitID("unit/1");
    owner->own(*slot);
    ASSERT_TRUE(start(response({withFillURLs(scriptedNetwork("A", "fill"))})));
    ASSERT_EQ(owner->finished, 1);
    EXPECT_FALSE(manager()->requestingConnector());
    EXPECT_EQ(pings(MediationScenarios::kFill).size(), 1u);
    EXPECT_TRUE(pings(MediationScenarios::kImpression).empty());
    slot->presentMediatedInterstitialFromRootViewController(nullptr);
    EXPECT_EQ(ScriptedAdapter::forNetwork("A")->presented, 1);

    ScriptedAdapter::forNetwork("A")->tell([](ads::DZMAdNetworkConnector& c, ScriptedAdapter* a) {
        c.adapterWillPresentInterstitial(a);
        c.adapterDidDismissInterstitial(a);
        c.adapterWillLeaveApplication(a);
    });
    EXPECT_EQ(slot->ad()->statistics()->objectForKeyedSubscript("pclb"), core::Value(true));
    EXPECT_EQ(owner->screenEvents,
              (std::vector<std::string>{"present", "willDismiss", "dismiss", "leave"}));
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"0"});
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 1u);
}

TEST_F(DZMAdNetworkConnectorService, EachConnectorRefusesTheOtherFormat) {
    // A banner connector asked for an interstitial.
    recordConnectors<ads::DZMAdNetworkConnectorBanner>();
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    owner->own(*slot);
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill")})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].message,
              "Connector DZMAdNetworkConnectorBanner doesn't support interstitial");
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationNoFill);
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"2"});

    // An interstitial connector asked for a banner.
    recordConnectors<ads::DZMAdNetworkConnectorInterstitial>();
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("B", "fill")})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].message, "Invalid mediation ad requested from interstitial object.");
}

// Registers an adapter class that answers only the given request, with a
// factory for scripted adapters or without one.
void registerHalfAdapter(const std::string& name, std::set<ads::DZMSelector> selectors,
                         bool withFactory) {
    ads::DZMClassDescription description;
    description.name = name;
    description.protocols = {ads::DZMProtocol::adNetworkAdapter};
    description.instanceSelectors = std::move(selectors);
    if (withFactory)
        description.makeAdapter = [](const std::shared_ptr<ads::DZMAdNetworkConnector>& connector) {
            auto adapter = std::make_shared<ScriptedAdapter>(connector);
            ScriptedAdapter::made().push_back(adapter);
            return adapter;
        };
    ads::DZMClassRegistry::registerClass(description);
}

core::Dictionary networkOfClass(const std::string& id, const std::string& className) {
    core::Dictionary network = scriptedNetwork(id, "fill");
    network.set("adapters", core::Array{className});
    return network;
}

TEST_F(DZMAdNetworkConnectorService, AnAdapterThatCannotBeAskedFailsItsNetworkAtOnce) {
    registerHalfAdapter("NoFactoryAdapter", {ads::DZMSelector::getBannerWithSize}, false);
    registerHalfAdapter("InterstitialOnlyAdapter", {ads::DZMSelector::getInterstitial}, true);
    registerHalfAdapter("BannerOnlyAdapter", {ads::DZMSelector::getBannerWithSize}, true);
    core::Console::Capture console;

    // Banners: neither A nor B can be asked for one; C fills with no time
    // passing, and A and B count as adapter errors.
    recordConnectors<ads::DZMAdNetworkConnectorBanner>();
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(
        response({networkOfClass("A", "NoFactoryAdapter"),
                  networkOfClass("B", "InterstitialOnlyAdapter"), scriptedNetwork("C", "fill")})));
    ASSERT_EQ(owner->finished, 1);
    EXPECT_EQ(manager()->receivedConnector()->networkConfig()->networkID(), "C");
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"),
              std::vector<std::string>{"2,2,0"});
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "adt"),
              std::vector<std::string>{"0,0,0"});
    // B's adapter was made and never asked.
    ASSERT_TRUE(ScriptedAdapter::forNetwork("B"));
    EXPECT_TRUE(ScriptedAdapter::forNetwork("B")->bannerSizes.empty());

    // An interstitial asked of an adapter that only makes banners.
    caseName = "-interstitial";
    recordConnectors<ads::DZMAdNetworkConnectorInterstitial>();
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    owner->own(*slot);
    ASSERT_TRUE(start(response({networkOfClass("D", "BannerOnlyAdapter")})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].code, ads::kDZErrorMediationAdapterError);
    EXPECT_EQ(failures()[0].message,
              "Adapter class BannerOnlyAdapter does not respond to getInterstitial.");
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationNoFill);

    ads::DZLogger::sharedInstance().waitForLogging();
    // The adapters' lines; the process's first request also tells how to
    // get test ads.
    std::vector<std::string> adapterLines;
    for (const std::string& line : console.lines())
        if (line.starts_with("<Dozuza> Adapter class")) adapterLines.push_back(line);
    EXPECT_EQ(
        adapterLines,
        (std::vector<std::string>{
            "<Dozuza> Adapter class NoFactoryAdapter made no adapter.",
            "<Dozuza> Adapter class InterstitialOnlyAdapter does not respond to "
            "getBannerWithSize:.",
            "<Dozuza> Adapter class BannerOnlyAdapter does not respond to getInterstitial."}));
    for (const char* name : {"NoFactoryAdapter", "InterstitialOnlyAdapter", "BannerOnlyAdapter"})
        ads::DZMClassRegistry::shared().unregisterClass(name);
}

TEST_F(DZMAdNetworkConnectorService, AdaptersLearnTheRequestFromTheirConnector) {
    ASSERT_TRUE(makeSlot());
    const auto request = std::make_shared<ads::DZRequest>();
    request->setTestDevices(
        core::Array{"Simulator", ads::DZDevice::sharedInstance()->deviceIdentifier()});
    request->setLocationWithLatitude(1.5, 2.5, 30);
    request->setGender(2);
    request->setRequestAgent("agent");
    core::Dictionary shared = scriptedNetwork("A", "silent");
    core::Dictionary data = *shared["data"].dictionary();
    data.set("pubid", "pub");
    data.set("gwhirl_share_location", "1");
    shared.set("data", data);
    shared.set("extras", core::Dictionary{{"x", "1"}});
    const core::Dictionary ownAd{{"ad_html", "<p>own</p>"}, {"ad_base_url", "https://own.test/"}};
    const core::Value body = response({shared, scriptedNetwork("B", "fill", 0, {{"ad", ownAd}})});
    // The request whose targeting the adapters learn carries the response.
    request->registerAdNetworkExtras(
        std::make_shared<ads::DZExtras>(mediationExtras(body, {}, {{"k", "v"}})));
    ASSERT_TRUE(start(request));
    ASSERT_TRUE(manager()->requestInProgress());

    ASSERT_TRUE(ScriptedAdapter::forNetwork("A"));
    const auto connector = ScriptedAdapter::forNetwork("A")->connector();
    ASSERT_TRUE(connector);
    EXPECT_EQ(connector->publisherId(), "pub");
    ASSERT_TRUE(connector->credentials());
    EXPECT_FALSE(connector->credentials()->contains("gwhirl_share_location"));
    EXPECT_TRUE(connector->testMode());
    EXPECT_TRUE(connector->userHasLocation());
    EXPECT_EQ(connector->userLatitude(), 1.5);
    EXPECT_EQ(connector->userLocationAccuracyInMeters(), 30.0);
    EXPECT_EQ(connector->userGender(), 2);
    EXPECT_EQ(connector->userRequestAgent(), "agent");
    EXPECT_EQ(connector->currentAdapterName(), kScriptedAdapter);
    EXPECT_EQ(connector->adapterNames(),
              (core::Array{core::Array{kScriptedAdapter}, core::Array{kScriptedAdapter}}));
    EXPECT_EQ(connector->extras(), (core::Dictionary{{"x", "1"}}));
    EXPECT_EQ(connector->adapterVersion(), "adapter: ScriptedAdapter, version: scripted-1");
    // The scripted class reads DZExtras.
    const auto networkExtras = std::dynamic_pointer_cast<ads::DZExtras>(connector->networkExtras());
    ASSERT_TRUE(networkExtras);
    EXPECT_EQ((*networkExtras->additionalParameters())["k"], core::Value("v"));
    EXPECT_GE(connector->adVolume(), 0.0f);
    EXPECT_LE(connector->adVolume(), 1.0f);

    // The network's own ad goes with what the slot's ad knows, and a
    // redirect from the slot ad's base URL to the network ad's.
    EXPECT_FALSE(connector->inlineAd());
    slot->ad()->setAdBaseURL(core::URL::create("https://slot.test/base"));
    slot->ad()->setSize({320, 50});
    // Without location sharing the network learns none.
    clock.advance(ads::DZMConfig::kDefaultAdNetworkTimeout);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    const auto other = ScriptedAdapter::forNetwork("B")->connector();
    EXPECT_FALSE(other->userHasLocation());
    EXPECT_EQ(other->userLatitude(), 0.0);
    EXPECT_FALSE(other->userLocationDescription());
    const auto inlined = other->inlineAd();
    ASSERT_TRUE(inlined);
    EXPECT_EQ(inlined->dictionary, ownAd);
    EXPECT_EQ(inlined->native.interstitialSize, (gfx::Size{320, 50}));
    ASSERT_FALSE(inlined->native.redirects.empty());
    const auto& redirect = *inlined->native.redirects.back();
    EXPECT_EQ(redirect.response().statusCode(), 399);
    EXPECT_EQ(redirect.response().url().absoluteString(), "https://slot.test/base");
    EXPECT_EQ(redirect.request().url().absoluteString(), "https://own.test/");
    EXPECT_EQ(redirect.request().value("x-duzo-annotation-inlined"),
              "inlined in mediation response");

    // A manual impression is announced with the connector.
    const void* announced = nullptr;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto token = center.addObserver(
        ads::DZMAdNetworkConnector::kDidRecordManualImpressionNotification, nullptr, nullptr,
        [&](const core::Notification& note) { announced = note.object; });
    other->reportManualImpression();
    center.removeObserver(token);
    EXPECT_EQ(announced, other.get());
}

}  // namespace
