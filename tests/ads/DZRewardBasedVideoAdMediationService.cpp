// The rewarded ad's waterfall on the manual clock, over scripted rewarded
// adapters, with its pings read back from the local ad server: networks
// asked once their set-up reports, failed set-ups and time-outs moving on,
// late answers ignored, one turn per network entry even when entries share
// an adapter class, the reward rule, fill and no-fill pings, the filling
// entry's impression, click, video start and reward pings (or the default
// templates), the mediated ad's events and exposure, and stale set-ups
// replaced.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AnalyticsTesting.h"
#include "MediationSlotTesting.h"
#include "RewardedTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "fixtures/AdScenarios.h"
#include "fixtures/RewardedScenarios.h"
#include "ui/ViewController.h"

namespace {

using adwebtesting::waitFor;
using rewardedtesting::kAlpha;
using rewardedtesting::kBeta;
using rewardedtesting::RecordingHost;
using rewardedtesting::ScriptedRewardedAdapter;

// A network entry for a scripted rewarded adapter.
core::Dictionary rewardedNetwork(const std::string& id, const std::string& adapter,
                                 core::Dictionary data) {
    if (!data.contains("label")) data.set("label", id);
    return core::Dictionary{{"id", id},
                            {"adapters", core::Array{adapter}},
                            {"allocation_id", "alloc-" + id},
                            {"data", std::move(data)}};
}

class DZRewardBasedVideoAdMediationService : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        ScriptedRewardedAdapter::reset();
        ScriptedRewardedAdapter::registerClasses();
        rewarded->setDelegate(host);
    }
    void TearDown() override {
        rewarded.reset();
        ScriptedRewardedAdapter::reset();
        MediationSlotTest::TearDown();
    }

    // Loads a mediation response over the networks and runs until the
    // waterfall asks a network or the load has ended.
    [[nodiscard]] bool load(core::Array networks, core::Dictionary settings = {}) {
        for (auto& network : networks)
            if (core::Dictionary* entry = network.dictionary()) *entry = withFillURLs(*entry);
        const size_t before = host->events.size();
        const size_t asked = ScriptedRewardedAdapter::requests().size();
        const size_t made = ScriptedRewardedAdapter::made().size();
        rewarded->loadRequest(
            slottesting::requestWithExtras(mediationExtras(response(std::move(networks), std::move(settings)))),
            "unit/rewarded");
        return waitFor([&] {
            return host->events.size() > before || ScriptedRewardedAdapter::requests().size() > asked ||
                   (rewarded->requestingConnector() && ScriptedRewardedAdapter::made().size() > made);
        });
    }
    [[nodiscard]] std::vector<std::string> asked() const { return ScriptedRewardedAdapter::requests(); }

    std::shared_ptr<RecordingHost> host = std::make_shared<RecordingHost>();
    std::shared_ptr<ads::DZRewardBasedVideoAd> rewarded = ads::DZRewardBasedVideoAd::create();
};

TEST_F(DZRewardBasedVideoAdMediationService, NetworksAreAskedOnlyOnceTheirSetUpHasReported) {
    // A set-up still running when the network's turn comes: asked as soon
    // as it reports success. The load counts as one running request
    // ("crqc") until it ends.
    const auto running = [] {
        return ads::DZApplication::sharedInstance()->statistics()->objectForKeyedSubscript("crqc").intValue();
    };
    const auto before = running();
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"setUp", "wait"}})}));
    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(running(), before + 1);
    EXPECT_EQ(rewarded->pendingSetUpConnectorsTimestamp().count(kAlpha), 1u);
    ASSERT_TRUE(ScriptedRewardedAdapter::latest(kAlpha));
    ScriptedRewardedAdapter::latest(kAlpha)->reportSetUp(true);
    EXPECT_EQ(asked(), std::vector<std::string>{std::string(kAlpha) + " 1"});
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_TRUE(rewarded->isReady());
    EXPECT_EQ(rewarded->adNetworkClassName(), std::optional<std::string>(kAlpha));
    EXPECT_TRUE(rewarded->pendingSetUpConnectorsTimestamp().empty());
    EXPECT_TRUE(waitFor([&] { return running() == before; }));

    // A failed set-up moves on to the next network at once.
    caseName = "-failed";
    ASSERT_TRUE(load({rewardedNetwork("1", kBeta, {{"setUp", "wait"}}),
                      rewardedNetwork("2", kAlpha, {{"label", "second"}})}));
    EXPECT_EQ(asked().size(), 1u);
    ASSERT_TRUE(ScriptedRewardedAdapter::latest(kBeta));
    ScriptedRewardedAdapter::latest(kBeta)->reportSetUp(false);
    ASSERT_FALSE(asked().empty());
    EXPECT_EQ(asked().back(), std::string(kAlpha) + " second");
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "receive"}));
    EXPECT_EQ(rewarded->connectors().count(kBeta), 0u);
}

TEST_F(DZRewardBasedVideoAdMediationService, ATimedOutNetworkIsPassedAndItsLateAnswerIgnored) {
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"answer", "silent"}}),
                      rewardedNetwork("2", kBeta, {{"answer", "silent"}})},
                     {{"ad_network_timeout_millis", 4000}}));
    EXPECT_EQ(asked(), std::vector<std::string>{std::string(kAlpha) + " 1"});
    clock.advance(3.9);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(asked().size(), 1u);
    clock.advance(0.1);
    ASSERT_TRUE(waitFor([&] { return asked().size() == 2; }));

    // Alpha answers after its time-out: nothing happens.
    const auto alpha = ScriptedRewardedAdapter::latest(kAlpha);
    alpha->connector()->adapterDidReceiveRewardBasedVideoAd(alpha.get());
    EXPECT_TRUE(host->events.empty());
    EXPECT_TRUE(rewarded->requestInProgress());

    const auto beta = ScriptedRewardedAdapter::latest(kBeta);
    beta->connector()->adapterDidReceiveRewardBasedVideoAd(beta.get());
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_EQ(rewarded->adNetworkClassName(), std::optional<std::string>(kBeta));
    EXPECT_EQ(pingValues("fill", "st"), std::vector<std::string>{"alloc-1.2.4000_alloc-2.0.0"});
}

TEST_F(DZRewardBasedVideoAdMediationService, EntriesSharingAnAdapterClassEachGetATurnOfTheirOwn) {
    // Each turn hands over its own entry: the second entry's credentials
    // fill where the first's did not.
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"answer", "noFill"}, {"label", "first"}}),
                      rewardedNetwork("2", kAlpha, {{"answer", "fill"}, {"label", "second"}})}));
    EXPECT_EQ(asked(), (std::vector<std::string>{std::string(kAlpha) + " first",
                                                 std::string(kAlpha) + " second"}));
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_EQ(ScriptedRewardedAdapter::made().size(), 1u);
    EXPECT_EQ(pingValues("fill", "net"), std::vector<std::string>{"2"});

    // A turn's time-out belongs to that turn: the first turn ends early
    // (no fill at 5 s), and its time-out at 10 s must not end the second
    // turn of the same connector, which started at 5 s.
    caseName = "-timeouts";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"answer", "silent"}}),
                      rewardedNetwork("2", kAlpha, {{"answer", "silent"}})}));
    const auto alpha = ScriptedRewardedAdapter::latest(kAlpha);
    ASSERT_NE(alpha, nullptr);
    clock.advance(5);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    alpha->connector()->adapterDidFailToLoadRewardBasedVideoAdwithError(alpha.get(), ads::DZErrorWithCode(1));
    EXPECT_EQ(asked().size(), 4u);
    clock.advance(5.5);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    EXPECT_TRUE(rewarded->requestInProgress());
    alpha->connector()->adapterDidReceiveRewardBasedVideoAd(alpha.get());
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "receive"}));
    // Its own time-out, at 15 s, finds the waterfall over.
    clock.advance(5);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(host->events.size(), 2u);
}

TEST_F(DZRewardBasedVideoAdMediationService, TheServersRewardWinsThenTheAdaptersThenOneOfNothing) {
    const auto grant = [&](const std::shared_ptr<ads::DZAdReward>& reward) {
        ASSERT_FALSE(ScriptedRewardedAdapter::made().empty());
        const auto adapter = ScriptedRewardedAdapter::made().back();
        adapter->connector()->adapterDidRewardUserWithReward(adapter.get(), reward);
    };
    const auto adapterReward = std::make_shared<ads::DZAdReward>("gems", *core::Decimal::parse("3"));

    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})},
                     {{"rewards", core::Array{core::Dictionary{{"rb_type", "coins"}, {"rb_amount", 2.5}}}}}));
    grant(adapterReward);
    caseName = "-adapter";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})}));
    grant(adapterReward);
    caseName = "-none";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})}));
    grant(nullptr);
    // A server entry that makes no reward leaves the adapter's.
    caseName = "-unusable";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})},
                     {{"rewards", core::Array{core::Dictionary{{"rb_type", "coins"}, {"rb_amount", "2"}}}}}));
    grant(adapterReward);
    EXPECT_EQ(host->events,
              (std::vector<std::string>{"receive", "reward coins 2.5", "receive", "reward gems 3", "receive",
                                        "reward  1", "receive", "reward gems 3"}));
}

TEST_F(DZRewardBasedVideoAdMediationService, WhenEveryNetworkFailsTheNoFillPingPrecedesCodeNine) {
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"answer", "noFill"}}),
                      rewardedNetwork("2", "ScriptedRewardedNoSetUp", {}),
                      rewardedNetwork("3", kBeta, {{"answer", "error"}})}));
    ASSERT_EQ(host->failures.size(), 1u);
    EXPECT_EQ(host->failures[0].code, 9);
    EXPECT_EQ(host->failures[0].message, "No ad returned from any ad server.");
    EXPECT_FALSE(rewarded->isReady());
    EXPECT_FALSE(rewarded->requestInProgress());
    // The adapter that answers no set-up failed it: status 3; no fill 1,
    // an error 6, in the order of the response.
    EXPECT_EQ(pingValues("nofill", "st"), std::vector<std::string>{"alloc-1.1.0_alloc-2.3.0_alloc-3.6.0"});
    EXPECT_TRUE(pings("fill").empty());
}

TEST_F(DZRewardBasedVideoAdMediationService, AMediatedAdsClickReachesNoHostCallbackItsOtherEventsDo) {
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})}));
    const auto adapter = ScriptedRewardedAdapter::latest(kAlpha);
    const auto connector = adapter->connector();
    // Events before the ad is presented come from the filling connector only.
    auto root = std::make_shared<ui::ViewController>();
    rewarded->presentFromRootViewController(root);
    EXPECT_EQ(adapter->presents, 1);
    EXPECT_FALSE(rewarded->isReady());
    connector->adapterDidOpenRewardBasedVideoAd(adapter.get());
    connector->adapterDidStartPlayingRewardBasedVideoAd(adapter.get());
    connector->adapterDidGetAdClick(adapter.get());
    connector->adapterWillLeaveApplication(adapter.get());
    connector->adapterDidCloseRewardBasedVideoAd(adapter.get());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "open", "start", "leave", "close"}));
    EXPECT_EQ(pingValues("clk", "net"), std::vector<std::string>{"1"});
    EXPECT_EQ(pingValues("imp", "net"), std::vector<std::string>{"1"});

    // A second present does nothing.
    rewarded->presentFromRootViewController(root);
    EXPECT_EQ(adapter->presents, 1);
}

TEST_F(DZRewardBasedVideoAdMediationService, TheFillingEntrysPingsGoOutOncePerEventWithItsMacros) {
    // With the host analytics present the templates pass its rewriting
    // first; the ad unit's exposure runs from open to close.
    adstest::HostAnalyticsScope analytics;
    const auto templates = [&](const char* kind) {
        return core::Array{server.secureBaseURL() +
                           fixtures::MediationScenarios::trackingPath(kind, token()) +
                           "?net=@gw_adnetid@&alloc=@gw_allocid@&loc=@gw_adlocid@&q=@gw_qdata@"
                           "&nr=@gw_adnetrefresh@&aec=@gw_aec@"};
    };
    const auto withTemplates = [&](core::Dictionary network) {
        network.set("imp_urls", templates("netimp"));
        network.set("clickurl", templates("netclk"));
        network.set("video_start_urls", templates("vstart"));
        network.set("video_complete_urls", templates("vdone"));
        return network;
    };
    // Both entries share the connector; the second fills, so every ping
    // is the second entry's.
    ASSERT_TRUE(load({withTemplates(rewardedNetwork("1", kAlpha, {{"answer", "noFill"}})),
                      withTemplates(rewardedNetwork("2", kAlpha, {}))}));
    ASSERT_EQ(host->events, std::vector<std::string>{"receive"});
    const auto adapter = ScriptedRewardedAdapter::latest(kAlpha);
    const auto connector = adapter->connector();
    const auto count = [&](const char* kind) { return pings(kind).size(); };
    const auto expectEntry = [&](const char* kind) {
        SCOPED_TRACE(kind);
        const auto sent = pings(kind);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].queryValue("net"), "2");
        EXPECT_EQ(sent[0].queryValue("alloc"), "alloc-2");
        EXPECT_EQ(sent[0].queryValue("loc"), "unit/rewarded");
        EXPECT_EQ(sent[0].queryValue("q"), "q-" + token());
        EXPECT_EQ(sent[0].queryValue("nr"), "0");
        // No exit codes are given: the macro stays as written.
        EXPECT_EQ(sent[0].queryValue("aec"), "@gw_aec@");
    };
    for (const char* kind : {"imp", "netimp", "clk", "netclk", "vstart", "vdone"})
        EXPECT_EQ(count(kind), 0u) << kind << " before the ad is shown";

    // Presenting pings the response's and then the network's impression.
    rewarded->presentFromRootViewController(std::make_shared<ui::ViewController>());
    EXPECT_EQ(pingValues("imp", "net"), std::vector<std::string>{"2"});
    expectEntry("netimp");
    EXPECT_TRUE(analytics.host->exposures().empty());

    // Opening begins the exposure once and pings nothing more.
    connector->adapterDidOpenRewardBasedVideoAd(adapter.get());
    connector->adapterDidOpenRewardBasedVideoAd(adapter.get());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(analytics.host->exposures(), std::vector<std::string>{"begin unit/rewarded"});
    EXPECT_EQ(count("imp"), 1u);
    EXPECT_EQ(count("netimp"), 1u);

    connector->adapterDidStartPlayingRewardBasedVideoAd(adapter.get());
    expectEntry("vstart");
    EXPECT_EQ(count("vdone"), 0u);
    connector->adapterDidRewardUserWithReward(adapter.get(), nullptr);
    expectEntry("vdone");
    connector->adapterDidGetAdClick(adapter.get());
    EXPECT_EQ(pingValues("clk", "net"), std::vector<std::string>{"2"});
    expectEntry("netclk");
    connector->adapterDidCloseRewardBasedVideoAd(adapter.get());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(analytics.host->exposures(),
              (std::vector<std::string>{"begin unit/rewarded", "end unit/rewarded"}));
    EXPECT_EQ(host->events,
              (std::vector<std::string>{"receive", "open", "open", "start", "reward  1", "close"}));
    // Nothing went out twice.
    for (const char* kind : {"imp", "netimp", "clk", "netclk", "vstart", "vdone"})
        EXPECT_EQ(count(kind), 1u) << kind;
}

TEST_F(DZRewardBasedVideoAdMediationService,
       WithoutTemplatesTheDefaultsArePingedAndVideoPingsNothing) {
    // No impression or click templates anywhere: the default templates on
    // the mediation tracking host. Video start and reward have no default.
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})},
                     {{"imp_urls", core::Array{}}, {"click_urls", core::Array{}}}));
    const auto adapter = ScriptedRewardedAdapter::latest(kAlpha);
    const auto connector = adapter->connector();
    connector->adapterDidStartPlayingRewardBasedVideoAd(adapter.get());
    connector->adapterDidRewardUserWithReward(adapter.get(), nullptr);
    ASSERT_TRUE(mediationtesting::settlePings());
    EXPECT_TRUE(server.requestsTo(fixtures::AdServer::kImpressionPath).empty());
    EXPECT_TRUE(server.requestsTo(fixtures::AdServer::kClickPath).empty());

    rewarded->presentFromRootViewController(std::make_shared<ui::ViewController>());
    connector->adapterDidGetAdClick(adapter.get());
    ASSERT_TRUE(mediationtesting::settlePings());
    for (const char* path : {fixtures::AdServer::kImpressionPath, fixtures::AdServer::kClickPath}) {
        SCOPED_TRACE(path);
        const auto sent = server.requestsTo(path);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].queryValue("ad_loc"), "unit/rewarded");
        EXPECT_EQ(sent[0].queryValue("qdata"), "q-" + token());
        EXPECT_EQ(sent[0].queryValue("ad_network_id"), "1");
        EXPECT_EQ(sent[0].queryValue("js"), ads::DZRequest::sdkVersion());
        EXPECT_EQ(sent[0].queryValue("nr"), "0");
    }
}

TEST_F(DZRewardBasedVideoAdMediationService, AStaleSetUpIsReplacedAtTheNextLoad) {
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"setUp", "wait"}})},
                     {{"ad_network_timeout_millis", 2000}}));
    clock.advance(2.1);
    ASSERT_TRUE(waitFor([&] { return !host->events.empty(); }));
    EXPECT_EQ(host->events, std::vector<std::string>{"fail 9"});
    const auto first = ScriptedRewardedAdapter::latest(kAlpha);
    EXPECT_FALSE(first->stopped);

    caseName = "-again";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {})}, {{"ad_network_timeout_millis", 2000}}));
    EXPECT_TRUE(first->stopped);
    EXPECT_EQ(ScriptedRewardedAdapter::made().size(), 2u);
    EXPECT_EQ(host->events, (std::vector<std::string>{"fail 9", "receive"}));

    // A set-up that reported stays and is reused by the next response.
    caseName = "-reuse";
    ASSERT_TRUE(load({rewardedNetwork("1", kAlpha, {{"label", "reused"}})}));
    EXPECT_EQ(ScriptedRewardedAdapter::made().size(), 2u);
    ASSERT_FALSE(asked().empty());
    EXPECT_EQ(asked().back(), std::string(kAlpha) + " reused");
}

TEST_F(DZRewardBasedVideoAdMediationService, TheServersRewardedResponseRunsItsNetworksInOrder) {
    // Two entries of one adapter class and a second class; the server's
    // reward beats the adapter's.
    rewarded->loadRequest(slottesting::requestWithExtras(mediationExtras(fixtures::RewardedScenarios::mediation(
                              options(), kAlpha, kBeta))),
                          "unit/rewarded");
    ASSERT_TRUE(waitFor([&] { return !host->events.empty(); }));
    EXPECT_EQ(asked(), (std::vector<std::string>{std::string(kAlpha) + " network-1",
                                                 std::string(kAlpha) + " network-2"}));
    const auto adapter = ScriptedRewardedAdapter::latest(kAlpha);
    adapter->connector()->adapterDidRewardUserWithReward(
        adapter.get(), std::make_shared<ads::DZAdReward>("gems", *core::Decimal::parse("9")));
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "reward gems 2.5"}));
    // The fill status names the networks up to the filling one.
    EXPECT_EQ(pingValues("fill", "st"), std::vector<std::string>{"alloc-1.1.0_alloc-2.0.0"});
}

// Loads through our core page by scenario.
class DZRewardBasedVideoAdCorePageService : public DZRewardBasedVideoAdMediationService {
protected:
    void SetUp() override {
        DZRewardBasedVideoAdMediationService::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting([](ads::DZSDKCoreController::ScriptBuilder) {});
        std::string error;
        auto scenarios = fixtures::AdScenarios::load(fixtures::AdScenarios::defaultFolder(), &error);
        ASSERT_TRUE(scenarios) << error;
        server.setScenarios(std::move(*scenarios));
        server.setCorePage({});
        makeController();
        rewarded->setSDKCoreController(controller);
    }
    void TearDown() override {
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        DZRewardBasedVideoAdMediationService::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    [[nodiscard]] bool loadScenario(const std::string& scenario, core::Dictionary extras = {}) {
        const size_t before = host->events.size();
        rewarded->loadRequest(slottesting::requestWithExtras(std::move(extras)),
                              "dz-app-pub-0000000000000000/" + scenario);
        return tickUntil([&] { return host->events.size() > before; });
    }
    // Ticks of the manual clock, each after a short real wait for the
    // pages and the server, until the predicate holds.
    [[nodiscard]] bool tickUntil(const std::function<bool()>& done, double limitSeconds = 20) {
        for (double elapsed = 0; elapsed <= limitSeconds; elapsed += 0.2) {
            if (waitFor(done, 0.2)) return true;
            clock.advance(0.2);
        }
        return done();
    }
};

TEST_F(DZRewardBasedVideoAdCorePageService, AnInlineAdWithoutMarkupFallsBackToTheCorePage) {
    // The "_ad" extras hold neither HTML nor a URL: the core page is asked,
    // and its "errors" answer fails the load with code 0.
    ASSERT_TRUE(loadScenario("ad-errors", {{"_ad", core::Dictionary{{"ad_size", "320x480"}}}}));
    EXPECT_EQ(host->events, std::vector<std::string>{"fail 0"});
    EXPECT_FALSE(rewarded->requestInProgress());

    // What the core page was asked with.
    const auto parameters = rewarded->requestParameters();
    ASSERT_TRUE(parameters);
    EXPECT_EQ((*parameters)["slotname"].stringValue(), "dz-app-pub-0000000000000000/ad-errors");
    EXPECT_EQ((*parameters)["rbv"].stringValue(), "1");
    EXPECT_EQ((*parameters)["format"].stringValue(), "reward_mb");
    EXPECT_EQ((*parameters)["sai"].stringValue(), "0");
    EXPECT_FALSE((*parameters)["request_id"].stringValue().empty());
    EXPECT_FALSE(parameters->contains("extra_caps"));
}

TEST_F(DZRewardBasedVideoAdCorePageService, TheCorePagesAdURLAndInlineAdLoadTheRewardedCreative) {
    ASSERT_TRUE(loadScenario(fixtures::RewardedScenarios::kScenario));
    EXPECT_EQ(host->events, std::vector<std::string>{"receive"});
    ASSERT_NE(rewarded->ad(), nullptr);
    EXPECT_EQ(rewarded->ad()->responseType(), 1u);
    EXPECT_EQ(rewarded->ad()->reward(), nullptr);
    ASSERT_NE(rewarded->interstitial(), nullptr);
    EXPECT_TRUE(rewarded->interstitial()->isReady());

    // The inline answer carries the response's reward, which reaches the
    // interstitial's ad.
    ASSERT_TRUE(loadScenario(fixtures::RewardedScenarios::kInlineScenario));
    ASSERT_EQ(host->events, (std::vector<std::string>{"receive", "receive"}))
        << (host->failures.empty() ? "" : host->failures.back().message);
    ASSERT_NE(rewarded->ad(), nullptr);
    ASSERT_NE(rewarded->ad()->reward(), nullptr);
    EXPECT_EQ(rewarded->ad()->reward()->rewardAmount().string(), "2.5");
    const auto& slotAd = rewarded->interstitial()->slot()->ad();
    ASSERT_NE(slotAd, nullptr);
    ASSERT_NE(slotAd->reward(), nullptr);
    EXPECT_EQ(slotAd->reward()->rewardType(), "gems");
}

}  // namespace
