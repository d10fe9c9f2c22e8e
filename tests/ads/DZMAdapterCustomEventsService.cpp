// The custom event adapter in a banner slot's waterfall: the named class
// found through the registry, its protocol checked for the format, the
// request and extras it is handed, its clicks, and the failures it reports.

#include "MediationSlotTesting.h"
#include "ads/core/request/DZRequest.h"
#include "ads/mediation/adapters/DZMAdapterCustomEvents.h"
#include "ads/mediation/core/DZCustomEventExtras.h"

namespace {

using namespace mediationtesting;
using fixtures::MediationScenarios;
using DZMAdapterCustomEventsService = ConnectorRecordingTest;

TEST_F(DZMAdapterCustomEventsService, UnknownOrUnnamedClassesFailAtOnce) {
    recordConnectors<ads::DZMAdNetworkConnectorBanner>();
    ASSERT_TRUE(makeSlot());
    core::Dictionary unnamed = customEventNetwork("B", "", "fill");
    unnamed.set("data", core::Dictionary{{"parameter", "fill"}});
    ASSERT_TRUE(start(response({customEventNetwork("A", "Nowhere", "fill")})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].domain, ads::DZMAdapterCustomEvents::kErrorDomain);
    EXPECT_EQ(failures()[0].code, 1);
    EXPECT_EQ(failures()[0].message, "Cannot find Custom Event class named Nowhere.");
    // Not the SDK's no fill: the network counts as an error.
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"2"});

    ASSERT_TRUE(start(response({unnamed})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].message, "No class name for the Custom Event.");
}

TEST_F(DZMAdapterCustomEventsService, AClassOfAnotherFormatIsNamedWithTheProtocolItLacks) {
    owner->makeConnector =
        [this](const auto& config,
               const auto& network) -> std::shared_ptr<ads::DZMAdNetworkConnector> {
        auto connector =
            RecordingConnector<ads::DZMAdNetworkConnectorInterstitial>::make(config, network);
        failures = [connector] { return connector->failures; };
        return connector;
    };
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    owner->own(*slot);
    ASSERT_TRUE(start(response({customEventNetwork("A", BannerOnlyEvent::kName, "fill")})));
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(
        failures()[0].message,
        "Custom Event class BannerOnlyEvent does not conform to the DZCustomEventInterstitial "
        "protocol.");
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationNoFill);
}

TEST_F(DZMAdapterCustomEventsService, ABannerEventFillsWithItsLabelsExtrasAndCountsOneClick) {
    recordConnectors<ads::DZMAdNetworkConnectorBanner>();
    ASSERT_TRUE(makeSlot());
    core::Dictionary network = customEventNetwork("A", ScriptedBannerEvent::kName, "fill");
    network.set("data", core::Dictionary{{"class_name", ScriptedBannerEvent::kName},
                                         {"parameter", "fill"},
                                         {"label", "mine"}});
    const auto body = response({network});
    auto extras = std::make_shared<ads::DZCustomEventExtras>();
    extras->setExtras({{"colour", "blue"}}, "mine");
    extras->setExtras({{"colour", "red"}}, "theirs");
    extras->setExtras({{"lost", "1"}}, std::nullopt);
    EXPECT_EQ(extras->allExtras().size(), 2u);
    auto request = slottesting::requestWithExtras(mediationExtras(body));
    request->registerAdNetworkExtras(extras);
    ASSERT_TRUE(start(request));
    ASSERT_EQ(owner->finished, 1);

    const auto event = ScriptedBannerEvent::latest();
    ASSERT_TRUE(event);
    ASSERT_EQ(owner->adViews.size(), 1u);
    EXPECT_EQ(owner->adViews[0], event->view);
    EXPECT_EQ(event->serverParameter, "fill");
    EXPECT_EQ(event->serverLabel, "mine");
    EXPECT_EQ(event->additionalParameters, (core::Dictionary{{"colour", "blue"}}));
    EXPECT_TRUE(ads::DZAdSizesEqual(event->size, ads::kDZAdSizeBanner));
    EXPECT_TRUE(failures().empty());

    // A click in the ad counts as the event's click, once per ad.
    const auto delegate = event->delegate();
    ASSERT_TRUE(delegate);
    delegate->customEventBannerClickDidOccurInAd(*event, event->view);
    delegate->customEventBannerWasClicked(*event);
    EXPECT_EQ(pings(MediationScenarios::kClick).size(), 1u);

    // A native request through a banner connector is refused.
    const auto adapter = manager()->receivedConnector()->adapter();
    adapter->getNativeAdWithAdTypes({"1"}, {});
    ASSERT_EQ(failures().size(), 1u);
    EXPECT_EQ(failures()[0].message,
              "Connector used DZMAdNetworkConnectorNativeAd isn't a valid connector for "
              "requesting native ad");
    EXPECT_EQ(adapter->handlesUserClicks(), false);

    // The event hears nothing more once its network is let go of.
    manager()->cancel();
    EXPECT_FALSE(event->delegate());
}

TEST_F(DZMAdapterCustomEventsService, AnotherLabelGetsNoExtrasAndTheSDKVersionIsTheAdaptersOwn) {
    ASSERT_TRUE(makeSlot());
    auto extras = std::make_shared<ads::DZCustomEventExtras>();
    extras->setExtras({{"colour", "blue"}}, "theirs");
    core::Dictionary network = customEventNetwork("A", ScriptedBannerEvent::kName, "wait");
    const auto body = response({network});
    auto request = slottesting::requestWithExtras(mediationExtras(body));
    request->registerAdNetworkExtras(extras);
    ASSERT_TRUE(start(request));
    ASSERT_TRUE(manager()->requestInProgress());
    const auto event = ScriptedBannerEvent::latest();
    ASSERT_TRUE(event);
    EXPECT_FALSE(event->additionalParameters);
    EXPECT_EQ(event->serverParameter, "wait");
    EXPECT_EQ(manager()->requestingConnector()->adapterVersion(),
              "adapter: DZMAdapterCustomEvents, version: " + ads::DZRequest::sdkVersion());
}

}  // namespace
