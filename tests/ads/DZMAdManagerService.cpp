// The mediation waterfall of a banner slot over scripted adapters on the
// manual clock: networks without adapters, per-network timeouts, fills,
// no fill against errors, a shown network's failed refresh, cancelling,
// late reports, a missing connector, and the pings with their exit codes,
// durations and fill statuses.

#include <thread>

#include "CSITesting.h"
#include "MediationSlotTesting.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "ads/mediation/adapters/DZMAdapterHTML.h"

namespace {

using namespace mediationtesting;
using fixtures::MediationScenarios;

class DZMAdManagerService : public MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        constants.set(ads::DZMConfig::kAdNetworkTimeoutKey, 4.0);
        constants.set(ads::DZMConfig::kFinalAdNetworkTimeoutKey, 6.0);
    }
    [[nodiscard]] bool advanceAndDrain(double seconds) {
        clock.advance(seconds);
        return adwebtesting::drainMainQueue();
    }

    // A waterfall of a hundred thousand networks that fail inside their own
    // requests, in a slot whose timing reports are on or off as asked.
    void runHundredThousandFailingNetworks(bool timingReports);

    adwebtesting::ConstantsScope constants;
};

TEST_F(DZMAdManagerService, NetworksWithoutAdaptersAreSkippedAndTheLastGetsTheFinalTimeout) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(
        response({core::Dictionary{
                      {"id", "A"}, {"adapters", core::Array{"Gone"}}, {"allocation_id", "alloc-A"}},
                  scriptedNetwork("B", "silent"), scriptedNetwork("C", "silent")})));
    // A was never asked; B is.
    EXPECT_FALSE(ScriptedAdapter::forNetwork("A"));
    ASSERT_TRUE(ScriptedAdapter::forNetwork("B"));
    EXPECT_EQ(manager()->requestingConnector()->networkConfig()->networkID(), "B");

    // B has the network timeout of 4 s, C, the last, the final one of 6 s.
    ASSERT_TRUE(advanceAndDrain(3.9));
    EXPECT_FALSE(ScriptedAdapter::forNetwork("C"));
    ASSERT_TRUE(advanceAndDrain(0.1));
    ASSERT_TRUE(ScriptedAdapter::forNetwork("C"));
    EXPECT_TRUE(ScriptedAdapter::forNetwork("B")->stopped);
    ASSERT_TRUE(advanceAndDrain(5.9));
    EXPECT_TRUE(owner->failures.empty());
    ASSERT_TRUE(advanceAndDrain(0.1));
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorMediationNoFill);

    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"4,3,3"});
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "adt"),
              std::vector<std::string>{"0,4000,6000"});
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "st"),
              std::vector<std::string>{"alloc-A.3.0_alloc-B.2.4000_alloc-C.2.6000"});
}

TEST_F(DZMAdManagerService, ATimeoutThenAFillPingsFillStatusesThenExitCodes) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response(
        {withFillURLs(scriptedNetwork("A", "silent")), withFillURLs(scriptedNetwork("B", "fill"))},
        {{"ad_network_timeout_millis", 10000}})));
    ASSERT_TRUE(advanceAndDrain(10));
    ASSERT_EQ(owner->finished, 1);
    const auto filled = ScriptedAdapter::forNetwork("B");
    ASSERT_TRUE(filled);
    ASSERT_EQ(owner->adViews.size(), 1u);
    EXPECT_EQ(owner->adViews[0], filled->view);
    EXPECT_EQ(slot->state(), ads::DZSlot::kValidAd);
    EXPECT_EQ(slot->adNetworkClassName(), kScriptedAdapter);
    EXPECT_EQ(manager()->receivedConnector(), filled->connector());

    // The fill ping of B only, with both fill statuses in order; the
    // impression (at once: impression definition 0) with both exit codes
    // and durations.
    EXPECT_EQ(pingValues(MediationScenarios::kFill, "net"), std::vector<std::string>{"B"});
    EXPECT_EQ(pingValues(MediationScenarios::kFill, "st"),
              std::vector<std::string>{"alloc-A.2.10000_alloc-B.0.0"});
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"3,0"});
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "adt"),
              std::vector<std::string>{"10000,0"});
    EXPECT_TRUE(pings(MediationScenarios::kNoFill).empty());
    // Both lists went into the pings and start again.
    EXPECT_FALSE(slot->slotStats()->adapterExitCodesParameter());
    EXPECT_FALSE(slot->slotStats()->adapterFillStatusParameter());
}

TEST_F(DZMAdManagerService, NoFillAndErrorsAreToldApart) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(
        start(response({scriptedNetwork("A", "noFill", 1), scriptedNetwork("B", "error", 2)})));
    ASSERT_TRUE(advanceAndDrain(1));
    ASSERT_TRUE(advanceAndDrain(2));
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorMediationNoFill);
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"1,2"});
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "st"),
              std::vector<std::string>{"alloc-A.1.1000_alloc-B.6.2000"});
}

TEST_F(DZMAdManagerService, AShownNetworkRefreshesItselfAndAFailedRefreshStopsTheWaterfall) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill"), scriptedNetwork("B", "fill")})));
    ASSERT_EQ(owner->finished, 1);
    const auto adapter = ScriptedAdapter::forNetwork("A");
    ASSERT_TRUE(adapter);
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "nr"), std::vector<std::string>{"0"});

    // Its own second delivery goes straight to the slot, with its impression
    // marked as a refresh.
    adapter->answer();
    EXPECT_EQ(owner->finished, 2);
    EXPECT_EQ(owner->adViews.back(), adapter->view);
    EXPECT_TRUE(adapter->connector()->didNetworkRefresh());
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "nr"),
              (std::vector<std::string>{"0", "1"}));

    // Its refresh fails: SDK error 3 with the network's message, and B is
    // never asked.
    adapter->tell([](ads::DZMAdNetworkConnector& connector, ScriptedAdapter* self) {
        connector.adapterDidFailAd(self, ads::DZErrorWithCodeDescription(2, "refresh broke"));
    });
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorServerError);
    EXPECT_EQ(owner->failures[0].message, "refresh broke");
    EXPECT_TRUE(slot->hasAutoRefreshed());
    EXPECT_FALSE(ScriptedAdapter::forNetwork("B"));
    EXPECT_TRUE(pings(MediationScenarios::kNoFill).empty());
}

TEST_F(DZMAdManagerService, AShownNetworkTakesANewSizeOrTheSlotLoadsAgain) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill")})));
    const auto adapter = ScriptedAdapter::forNetwork("A");
    ASSERT_TRUE(slot->isMediating());
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeLargeBanner), true);
    ASSERT_EQ(adapter->changedSizes.size(), 1u);
    EXPECT_TRUE(ads::DZAdSizesEqual(adapter->changedSizes[0], ads::kDZAdSizeLargeBanner));
    EXPECT_EQ(owner->adViews.size(), 1u);
    EXPECT_EQ(ScriptedAdapter::made().size(), 1u);

    // A network that keeps its size: the owner loses the view, the slot
    // loads again.
    adapter->takesSizes = false;
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeMediumRectangle), true);
    ASSERT_GE(owner->adViews.size(), 2u);
    EXPECT_EQ(owner->adViews[1], nullptr);
    ASSERT_TRUE(waitFor([&] { return owner->finished == 2; }));
    EXPECT_EQ(ScriptedAdapter::made().size(), 2u);
}

TEST_F(DZMAdManagerService, CancelSendsTheNoFillPingsOnceWithTheNetworkCancelled) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "silent"), scriptedNetwork("B", "fill")})));
    ASSERT_TRUE(advanceAndDrain(1.5));
    manager()->cancel();
    EXPECT_TRUE(ScriptedAdapter::forNetwork("A")->stopped);
    EXPECT_FALSE(manager()->requestingConnector());
    EXPECT_FALSE(manager()->requestInProgress());
    manager()->cancel();
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "st"),
              std::vector<std::string>{"alloc-A.4.1500"});
    // Its timer went with it: B is never asked.
    ASSERT_TRUE(advanceAndDrain(10));
    EXPECT_FALSE(ScriptedAdapter::forNetwork("B"));
    EXPECT_EQ(pings(MediationScenarios::kNoFill).size(), 1u);
}

TEST_F(DZMAdManagerService, ALateReportLeavesTheRunningNetworksTimerAlone) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "silent"), scriptedNetwork("B", "silent")})));
    const auto stale = ScriptedAdapter::forNetwork("A")->connector();
    ASSERT_TRUE(advanceAndDrain(4));
    ASSERT_TRUE(ScriptedAdapter::forNetwork("B"));
    ASSERT_TRUE(manager()->adNetworkTimerArmed());

    // A's answers after its timeout count for nothing, and B keeps its timer.
    manager()->adRequestFailedFromConnector(stale, ads::DZErrorWithCode(1));
    manager()->adRequestReturnsFromConnectorWithView(stale, std::make_shared<ui::View>());
    EXPECT_TRUE(manager()->adNetworkTimerArmed());
    EXPECT_TRUE(manager()->requestInProgress());
    EXPECT_TRUE(owner->adViews.empty());
    ASSERT_TRUE(advanceAndDrain(6));
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorMediationNoFill);
    EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"3,3"});
}

TEST_F(DZMAdManagerService, WithoutAConnectorTheWaterfallEndsWithError8) {
    owner->makeConnector = nullptr;
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "fill"), scriptedNetwork("B", "fill")})));
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorMediationAdapterError);
    EXPECT_FALSE(ScriptedAdapter::forNetwork("B"));
    EXPECT_EQ(pings(MediationScenarios::kNoFill).size(), 1u);

    // An empty list is no fill from all networks.
    owner->preempt = true;
    ASSERT_TRUE(start(response({})));
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationNoFill);
    EXPECT_EQ(pings(MediationScenarios::kNoFill).size(), 2u);
}

TEST_F(DZMAdManagerService, AskingFromAnotherThreadComesToNothingOnceCancelled) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "silent"), scriptedNetwork("B", "silent"),
                                scriptedNetwork("C", "silent")})));
    std::thread([&] { manager()->makeAdRequest(); }).join();
    manager()->cancelPendingActions();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(ScriptedAdapter::forNetwork("B"));

    std::thread([&] { manager()->makeAdRequest(); }).join();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(ScriptedAdapter::forNetwork("B"));
}

void DZMAdManagerService::runHundredThousandFailingNetworks(bool timingReports) {
    // The HTML adapter fails inside its own request when its network has no
    // markup; every failure asks the next network from inside that request.
    constexpr size_t kNetworks = 100000;
    core::Array networks;
    networks.reserve(kNetworks);
    for (size_t i = 0; i < kNetworks; ++i)
        networks.push_back(
            core::Dictionary{{"id", "H" + std::to_string(i)},
                             {"adapters", core::Array{ads::DZMAdapterHTML::kClassName}},
                             {"data", core::Dictionary{}}});
    size_t asked = 0;
    owner->makeConnector = [&asked](const std::shared_ptr<ads::DZMConfig>& config,
                                    const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
        -> std::shared_ptr<ads::DZMAdNetworkConnector> {
        ++asked;
        return ads::DZMAdNetworkConnectorBanner::create(config, network);
    };
    // The slot's sampling draw (0 reports at any rate, 999 at none below
    // one); every later draw gives the same.
    testsupport::CSISamplingScope sampling({timingReports ? 0 : 999});
    ASSERT_TRUE(makeSlot());
    ASSERT_EQ(slot->CSI()->configuration()->reportingEnabled(), timingReports);
    // The slot's record in memory only: a stored one is written whole after
    // every entry, which for this many networks is a matter of minutes.
    slot->slotStats()->setIdentifier("");
    // No no-fill ping: its exit codes alone would be 200 KB of URL.
    ASSERT_TRUE(start(response(std::move(networks), {{"nofill_urls", core::Array{}}})));
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorMediationNoFill);
    EXPECT_EQ(asked, kNetworks);
    EXPECT_FALSE(manager()->requestInProgress());
    EXPECT_FALSE(manager()->adNetworkTimerArmed());
    EXPECT_TRUE(manager()->networkQueue().empty());
    const auto recorder = slot->CSI()->timeRecorderForAction(ads::DZMAdManager::kCSIAction);
    if (!timingReports) {
        EXPECT_FALSE(recorder);
        return;
    }
    // Each network's failure is one timing, none lost to another's key.
    ASSERT_TRUE(recorder);
    EXPECT_EQ(recorder->completedVariables().size(), kNetworks);
}

TEST_F(DZMAdManagerService, AHundredThousandNetworksThatFailAtOnceRunAsALoop) {
    runHundredThousandFailingNetworks(false);
}

TEST_F(DZMAdManagerService, AHundredThousandNetworksThatFailAtOnceRunAsALoopWhileTimingsReport) {
    runHundredThousandFailingNetworks(true);
}

// Fails inside its own request, then has the waterfall's pending actions
// cancelled, as a slot giving up in the middle of a report would.
class FailThenCancelAdapter : public ads::DZMAdNetworkAdapter {
public:
    static constexpr const char* kName = "FailThenCancelAdapter";
    explicit FailThenCancelAdapter(const std::shared_ptr<ads::DZMAdNetworkConnector>& connector)
        : connector_(connector) {}
    void getBannerWithSize(const ads::DZAdSize&) override {
        ++asked();
        const auto connector = connector_.lock();
        if (!connector) return;
        const auto manager = connector->adManager();
        connector->adapterDidFailAd(this, ads::DZErrorWithCodeDescription(1, "none"));
        if (manager) manager->cancelPendingActions();
    }
    void stopBeingDelegate() override {}
    static int& asked() {
        static int count = 0;
        return count;
    }
    static void registerClass() {
        asked() = 0;
        ads::DZMClassDescription description;
        description.name = kName;
        description.protocols = {ads::DZMProtocol::adNetworkAdapter};
        description.instanceSelectors = {ads::DZMSelector::getBannerWithSize};
        description.makeAdapter = [](const std::shared_ptr<ads::DZMAdNetworkConnector>& connector) {
            return std::make_shared<FailThenCancelAdapter>(connector);
        };
        ads::DZMClassRegistry::registerClass(description);
    }

private:
    std::weak_ptr<ads::DZMAdNetworkConnector> connector_;
};

TEST_F(DZMAdManagerService, NetworksThatFailAtOnceAreAskedInOrderUnlessCancelledMeanwhile) {
    // A and B fail inside their requests, C waits: the waterfall reaches C
    // with A's and B's outcomes recorded in order.
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "noFill"), scriptedNetwork("B", "error"),
                                scriptedNetwork("C", "silent"), scriptedNetwork("D", "fill")})));
    ASSERT_TRUE(ScriptedAdapter::forNetwork("C"));
    EXPECT_FALSE(ScriptedAdapter::forNetwork("D"));
    EXPECT_EQ(manager()->requestingConnector()->networkConfig()->networkID(), "C");
    EXPECT_EQ(slot->slotStats()->adapterExitCodesParameter(), "1,2");
    manager()->cancel();
    ASSERT_TRUE(adwebtesting::drainMainQueue());

    // The pending actions cancelled after a failure void the request for
    // the next network that failure made.
    FailThenCancelAdapter::registerClass();
    caseName = "-cancelled";
    owner->preempt = true;
    slot->loadRequest(slottesting::requestWithExtras(mediationExtras(
        response({core::Dictionary{{"id", "X"},
                                   {"adapters", core::Array{FailThenCancelAdapter::kName}},
                                   {"allocation_id", "alloc-X"}},
                  scriptedNetwork("Y", "fill")}))));
    ASSERT_TRUE(waitFor([] { return FailThenCancelAdapter::asked() == 1; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ads::DZMClassRegistry::shared().unregisterClass(FailThenCancelAdapter::kName);
    EXPECT_FALSE(ScriptedAdapter::forNetwork("Y"));
}

TEST_F(DZMAdManagerService, ANetworkLeftBehindByItsTimeoutReachesNeitherSlotNorServer) {
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(start(response({scriptedNetwork("A", "silent"), scriptedNetwork("B", "fill", 1)})));
    const auto late = ScriptedAdapter::forNetwork("A");
    ASSERT_TRUE(late);
    // Kept alive as a network's own code would keep its delegate.
    const auto stale = late->connector();
    ASSERT_TRUE(advanceAndDrain(4));
    EXPECT_FALSE(stale->adManager());
    EXPECT_FALSE(stale->slot());
    ASSERT_TRUE(advanceAndDrain(1));
    ASSERT_EQ(owner->finished, 1);
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "net"), std::vector<std::string>{"B"});

    // A answers after all: its view is watched by nobody, and its full
    // screen and its leaving the app are not the slot's.
    late->tell([](ads::DZMAdNetworkConnector& connector, ScriptedAdapter* self) {
        connector.adapterDidReceiveAdView(self,
                                          std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 50)));
        connector.adapterWillPresentFullScreenModal(self);
        connector.adapterDidDismissFullScreenModal(self);
        connector.adapterWillLeaveApplication(self);
    });
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(owner->adViews.size(), 1u);
    EXPECT_EQ(owner->finished, 1);
    EXPECT_TRUE(owner->screenEvents.empty());
    EXPECT_EQ(owner->clicks, 0);
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "net"), std::vector<std::string>{"B"});
    EXPECT_EQ(manager()->receivedConnector(), ScriptedAdapter::forNetwork("B")->connector());
}

}  // namespace
