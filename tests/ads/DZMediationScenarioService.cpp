// Banner slots loading mediation responses from the local ad server
// through our core page: each scenario's waterfall over the built-in HTML
// and custom event adapters, and the pings the server receives.

#include "MediationSlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "core/PendingWork.h"

namespace {

using namespace mediationtesting;
using fixtures::MediationScenario;
using fixtures::MediationScenarios;

class DZMediationScenarioService : public MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        // App settings a slot asks for would go to the shared core page.
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        server.setCorePage({});
    }
    void TearDown() override {
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        MediationSlotTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    // A banner slot on a page of its own loads the scenario served as the
    // ad; runs until a network is asked or the load has ended.
    [[nodiscard]] bool load(MediationScenario scenario) {
        server.serveMediation(fixtures::AdServer::kAdPath, scenario, options());
        owner = std::make_shared<slottesting::RecordingOwner>();
        SetUpOwner();
        if (!makeSlot()) return false;
        if (!controller) makeController();
        slot->setSDKCoreController(controller);
        slot->loadRequest(std::make_shared<ads::DZRequest>());
        return waitFor([&] { return manager()->config() != nullptr || owner->outcomes() > 0; });
    }
    void SetUpOwner() {
        owner->becomesMediationDelegate = true;
        owner->makeConnector = [](const std::shared_ptr<ads::DZMConfig>& config,
                                  const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
            -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            return ads::DZMAdNetworkConnectorBanner::create(config, network);
        };
    }
    // Ticks of the manual clock, each once the pages, pings and snapshots
    // under way have come back, until the load has ended.
    [[nodiscard]] bool tickUntilDone(double limitSeconds) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.2) {
            (void)waitFor([] { return !core::PendingWork::any(); });
            if (owner->outcomes() > 0) return true;
            clock.advance(0.2);
        }
        return owner->outcomes() > 0;
    }
};

TEST_F(DZMediationScenarioService, AnHTMLNetworkPassesBackAndACustomEventFillsTheBanner) {
    ASSERT_TRUE(load(MediationScenario::passbackThenCustomEvent));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
    ASSERT_EQ(owner->finished, 1);
    const auto event = ScriptedBannerEvent::latest();
    ASSERT_TRUE(event);
    ASSERT_FALSE(owner->adViews.empty());
    EXPECT_EQ(owner->adViews.back(), event->view);
    EXPECT_EQ(event->serverLabel, "label-2");
    EXPECT_EQ(slot->adNetworkClassName(), "DZMAdapterCustomEvents");

    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"1,0"});
    EXPECT_TRUE(pings(MediationScenarios::kNoFill).empty());
    EXPECT_EQ(pingValues(MediationScenarios::kFill, "net"), std::vector<std::string>{"2"});
    EXPECT_EQ(pingValues(MediationScenarios::kFill, "st"),
              std::vector<std::string>{"alloc-1.1.0_alloc-2.0.0"});
    // The creative asked for its passback page, which never loaded.
    EXPECT_TRUE(server.requestsTo("/passback/" + token() + "/").empty());
}

TEST_F(DZMediationScenarioService, EachScenarioEndsAsItsNetworksDo) {
    const struct {
        const char* name;
        MediationScenario scenario;
        // 0: the banner shows; else the SDK error.
        long failure;
        // The impression's exit codes when it shows, the no-fill ping's
        // when it fails ("" for no no-fill ping at all).
        const char* exitCodes;
    } cases[] = {
        {"missingAdapter", MediationScenario::missingAdapter, 0, "4,0"},
        {"customEvent", MediationScenario::customEvent, 0, "0"},
        {"refreshAtBound", MediationScenario::refreshAtBound, 0, "0"},
        {"noFillThenError", MediationScenario::noFillThenError, 9, "1,2"},
        {"htmlWithPassback", MediationScenario::htmlWithPassback, 9, "1"},
        {"timeoutThenFill", MediationScenario::timeoutThenFill, 0, "3,0"},
        {"emptyList", MediationScenario::emptyList, 9, "@gw_aec@"},
        {"badID", MediationScenario::badID, 7, ""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        caseName = entry.name;
        slot.reset();
        ASSERT_TRUE(load(entry.scenario));
        ASSERT_TRUE(tickUntilDone(30));
        if (entry.failure == 0) {
            EXPECT_EQ(owner->finished, 1);
            EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"),
                      std::vector<std::string>{entry.exitCodes});
            EXPECT_TRUE(pings(MediationScenarios::kNoFill).empty());
            EXPECT_EQ(pings(MediationScenarios::kFill).size(), 1u);
        } else {
            ASSERT_EQ(owner->failures.size(), 1u);
            EXPECT_EQ(owner->failures[0].code, entry.failure);
            const auto expected = std::string(entry.exitCodes).empty()
                                      ? std::vector<std::string>{}
                                      : std::vector<std::string>{entry.exitCodes};
            EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), expected);
        }
        if (entry.scenario == MediationScenario::refreshAtBound) {
            EXPECT_EQ(slot->reloadInterval(), 0.0);
        }
    }
}

}  // namespace
