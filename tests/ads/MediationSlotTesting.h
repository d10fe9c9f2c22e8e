#pragma once
// Shared by the mediation tests that run a slot: a banner slot whose owner
// makes banner connectors, mediation responses loaded into it as inline
// ads, and the mediation pings read back from the local ad server (over
// TLS, as the SDK's mediation tracking host) by the test's token.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MediationTesting.h"
#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/JSON.h"
#include "fixtures/MediationScenarios.h"

namespace mediationtesting {

using adwebtesting::waitFor;

// Every ping started so far has ended.
[[nodiscard]] inline bool settlePings() {
    return waitFor([] {
        for (const auto& tracker : ads::DZClickTrackerCollection::sharedInstance()->trackers())
            if (!tracker->hasTracked()) return false;
        return true;
    });
}

class MediationSlotTest : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        ads::DZServerHosts::setMediationHost("127.0.0.1:" +
                                             std::to_string(server.server().securePort()));
        registerTestClasses();
        owner->becomesMediationDelegate = true;
        owner->makeConnector = [](const std::shared_ptr<ads::DZMConfig>& config,
                                  const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
            -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            return ads::DZMAdNetworkConnectorBanner::create(config, network);
        };
    }
    void TearDown() override {
        slot.reset();
        ScriptedAdapter::made().clear();
        ScriptedBannerEvent::made().clear();
        EXPECT_TRUE(settlePings());
        ads::DZServerHosts::setMediationHost(std::nullopt);
        SDKCoreTest::TearDown();
    }

    // The test's name, and the case's within it.
    [[nodiscard]] std::string token() const {
        return testing::UnitTest::GetInstance()->current_test_info()->name() + caseName;
    }
    [[nodiscard]] fixtures::MediationScenarioOptions options() const {
        return {server.secureBaseURL(), token(), ScriptedBannerEvent::kName};
    }
    // A response over the networks with the test's tracking templates;
    // settings add to (and override) those.
    [[nodiscard]] core::Value response(core::Array networks, core::Dictionary settings = {}) const {
        core::Dictionary all = fixtures::MediationScenarios::trackingSettings(options());
        for (const auto& [key, value] : settings) all.set(key, value);
        return core::Dictionary{{"settings", std::move(all)},
                                {"qdata", "q-" + token()},
                                {"ad_networks", std::move(networks)}};
    }
    [[nodiscard]] core::Dictionary withFillURLs(core::Dictionary network) const {
        network.set("fill_urls", fixtures::MediationScenarios::fillURLs(options()));
        return network;
    }

    [[nodiscard]] bool makeSlot(const ads::DZAdSize& size = ads::kDZAdSizeBanner) {
        slot = slottesting::bannerSlot(*owner, size);
        return slot != nullptr;
    }
    [[nodiscard]] const std::shared_ptr<ads::DZMAdManager>& manager() const {
        return slot->mediationManager();
    }
    // The extras of a request whose ad is the response, with more entries.
    [[nodiscard]] static core::Dictionary mediationExtras(const core::Value& body,
                                                          core::Dictionary headers = {},
                                                          core::Dictionary more = {}) {
        headers.set("X-Duzo-Mediation", "1");
        headers.set("Content-Type", "application/json");
        core::Dictionary extras{
            {"_ad", core::Dictionary{{"ad_json", core::JSON::write(body).value_or("")}}},
            {"_adHeaders", std::move(headers)}};
        for (const auto& [key, value] : more) extras.set(key, value);
        return extras;
    }
    // Loads the request (the response as the slot's ad) and runs until the
    // waterfall asks a network or the load has ended.
    [[nodiscard]] bool start(const std::shared_ptr<ads::DZRequest>& request) {
        const size_t before = owner->outcomes();
        slot->loadRequest(request);
        return waitFor(
            [&] { return manager()->requestInProgress() || owner->outcomes() > before; });
    }
    [[nodiscard]] bool start(const core::Value& body, core::Dictionary headers = {}) {
        return start(slottesting::requestWithExtras(mediationExtras(body, std::move(headers))));
    }
    // The test's pings of a kind, once every ping has ended.
    [[nodiscard]] std::vector<fixtures::LoopbackRequest> pings(std::string_view kind) {
        EXPECT_TRUE(settlePings());
        return server.trackingRequests(kind, token());
    }
    [[nodiscard]] std::vector<std::string> pingValues(std::string_view kind,
                                                      std::string_view name) {
        std::vector<std::string> values;
        for (const auto& ping : pings(kind)) values.push_back(ping.queryValue(name).value_or("-"));
        return values;
    }

    std::shared_ptr<slottesting::RecordingOwner> owner =
        std::make_shared<slottesting::RecordingOwner>();
    std::shared_ptr<ads::DZSlot> slot;
    std::string caseName;
};

// A banner or interstitial connector that keeps the failures it hears.
template <typename Base>
class RecordingConnector : public Base {
public:
    using Base::Base;
    static std::shared_ptr<RecordingConnector>
    make(const std::shared_ptr<ads::DZMConfig>& config,
         const std::shared_ptr<ads::DZMAdNetworkConfig>& network) {
        if (!config || !network) return nullptr;
        return std::shared_ptr<RecordingConnector>(new RecordingConnector(config, network));
    }
    void adapterDidFailAd(const ads::DZMAdNetworkAdapter* adapter,
                          const ads::Error& error) override {
        failures.push_back(error);
        Base::adapterDidFailAd(adapter, error);
    }
    std::vector<ads::Error> failures;
};

// A slot test whose owner makes recording connectors on request.
class ConnectorRecordingTest : public MediationSlotTest {
protected:
    template <typename Base>
    void recordConnectors() {
        owner->makeConnector =
            [this](const auto& config,
                   const auto& network) -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            auto connector = RecordingConnector<Base>::make(config, network);
            failures = [connector] { return connector->failures; };
            return connector;
        };
    }

    std::function<std::vector<ads::Error>()> failures;
};

}  // namespace mediationtesting
