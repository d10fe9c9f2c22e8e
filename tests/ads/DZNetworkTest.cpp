#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ads/foundation/DZNetwork.h"
#include "ads/foundation/DZUserAgent.h"
#include "core/RunLoop.h"
#include "ui/NetworkReachability.h"
#include "ui/TelephonyNetworkInfo.h"

using namespace ads;

namespace {

constexpr std::uint32_t kReachable = kDZReachabilityFlagReachable;
constexpr std::uint32_t kCellular = kDZReachabilityFlagReachable | kDZReachabilityFlagIsWWAN;

std::optional<std::string> entry(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    if (!value) return std::nullopt;
    EXPECT_TRUE(value->isString()) << key;
    return value->stringValue();
}

// Platform facts for one test: reachability flags and telephony.
class NetworkFactsScope {
public:
    NetworkFactsScope(std::uint32_t flags, ui::TelephonyFacts telephony)
        : previous_(ui::NetworkReachability::setFlagsSourceForTesting(
              [flags](const std::string&) { return flags; })) {
        ui::TelephonyNetworkInfo::overrideForTesting(std::move(telephony));
    }
    ~NetworkFactsScope() {
        ui::NetworkReachability::setFlagsSourceForTesting(previous_);
        ui::TelephonyNetworkInfo::overrideForTesting(std::nullopt);
    }

private:
    ui::NetworkReachability::FlagsSource previous_;
};

bool waitFor(const std::shared_ptr<DZNetwork>& network, std::string_view key,
             std::optional<std::string> expected) {
    return core::RunLoop::main().runUntil(
        [&] { return entry(network->requestDictionary(), key) == expected; }, 5);
}

}  // namespace

TEST(DZNetwork, FlagsGiveTypesAndCodes) {
    const auto network = DZNetwork::create();
    EXPECT_TRUE(network->requestDictionary().empty());

    network->setNetworkTypeFromFlags(kCellular);
    auto dictionary = network->requestDictionary();
    EXPECT_EQ(entry(dictionary, "net"), "ed");
    EXPECT_EQ(entry(dictionary, "net_last"), "ed");

    network->setNetworkTypeFromFlags(kReachable);
    dictionary = network->requestDictionary();
    EXPECT_EQ(entry(dictionary, "net"), "wi");
    EXPECT_EQ(entry(dictionary, "net_last"), "wi");

    // The cellular bit alone counts as cellular; no bits is "not reachable".
    EXPECT_EQ(DZNetwork::networkTypeFromFlags(kDZReachabilityFlagIsWWAN), kDZNetworkTypeCellular);
    network->setNetworkTypeFromFlags(0);
    dictionary = network->requestDictionary();
    EXPECT_FALSE(dictionary.contains("net"));
    EXPECT_EQ(entry(dictionary, "net_last"), "wi");
    EXPECT_EQ(dictionary.keys(), std::vector<std::string>{"net_last"});
}

TEST(DZNetwork, LastKnownTypeKeepsTheLastReachableOne) {
    const auto network = DZNetwork::create();
    network->setNetworkType(kDZNetworkTypeNotReachable);
    EXPECT_TRUE(network->requestDictionary().empty());

    network->setNetworkType(kDZNetworkTypeCellular);
    network->setNetworkType(kDZNetworkTypeCellular);
    network->setNetworkType(kDZNetworkTypeNotReachable);
    auto dictionary = network->requestDictionary();
    EXPECT_FALSE(dictionary.contains("net"));
    EXPECT_EQ(entry(dictionary, "net_last"), "ed");

    network->setNetworkType(kDZNetworkTypeUnknown);
    EXPECT_EQ(entry(network->requestDictionary(), "net_last"), "ed");
}

TEST(DZNetwork, RadioTechnologyRemembersTheLastOne) {
    const auto network = DZNetwork::create();
    network->setRadioAccessTechnology("LTE");
    auto dictionary = network->requestDictionary();
    EXPECT_EQ(entry(dictionary, "ios_radio"), "LTE");
    EXPECT_EQ(entry(dictionary, "ios_radio_last"), "LTE");

    network->setRadioAccessTechnology(std::nullopt);
    dictionary = network->requestDictionary();
    EXPECT_FALSE(dictionary.contains("ios_radio"));
    EXPECT_EQ(entry(dictionary, "ios_radio_last"), "LTE");

    network->setRadioAccessTechnology("WCDMA");
    network->setRadioAccessTechnology("");
    dictionary = network->requestDictionary();
    EXPECT_FALSE(dictionary.contains("ios_radio"));
    EXPECT_EQ(entry(dictionary, "ios_radio_last"), "WCDMA");
}

TEST(DZNetwork, KeepsTheFirstNonEmptyUserAgent) {
    const auto network = DZNetwork::create();
    EXPECT_EQ(network->userAgentString(), "");
    network->setUserAgentString(std::nullopt);
    network->setUserAgentString("");
    EXPECT_EQ(network->userAgentString(), "");
    network->setUserAgentString("Agent/1");
    network->setUserAgentString("Agent/2");
    EXPECT_EQ(network->userAgentString(), "Agent/1");
}

TEST(DZNetwork, EnablingWatchesReachabilityAndTheRadio) {
    NetworkFactsScope facts(kCellular, {"LTE", ui::CellularProvider{"310", "260"}});
    const auto network = DZNetwork::create();
    network->enableRadioAccessTechnologyChecking();
    ASSERT_TRUE(waitFor(network, "net", "ed"));
    ASSERT_TRUE(waitFor(network, "ios_radio", "LTE"));
    auto dictionary = network->requestDictionary();
    EXPECT_EQ(dictionary.keys(),
              (std::vector<std::string>{"net", "net_last", "cellular_country_code",
                                        "cellular_network_code", "ios_radio", "ios_radio_last"}));
    EXPECT_EQ(entry(dictionary, "cellular_country_code"), "310");
    EXPECT_EQ(entry(dictionary, "cellular_network_code"), "260");

    // The radio goes away (and the SIM with it); the connection drops.
    ui::TelephonyNetworkInfo::overrideForTesting(ui::TelephonyFacts{});
    ASSERT_TRUE(waitFor(network, "ios_radio", std::nullopt));
    ui::NetworkReachability::setFlagsSourceForTesting([](const std::string&) { return 0u; });
    ASSERT_TRUE(waitFor(network, "net", std::nullopt));
    dictionary = network->requestDictionary();
    EXPECT_EQ(dictionary.keys(), (std::vector<std::string>{"net_last", "ios_radio_last"}));
    EXPECT_EQ(entry(dictionary, "net_last"), "ed");
    EXPECT_EQ(entry(dictionary, "ios_radio_last"), "LTE");
}

TEST(DZNetwork, ReachabilityOverWifiFromTheProfile) {
    NetworkFactsScope facts(kReachable, {std::nullopt, std::nullopt});
    const auto network = DZNetwork::create();
    network->enableRadioAccessTechnologyChecking();
    ASSERT_TRUE(waitFor(network, "net", "wi"));
    EXPECT_FALSE(network->requestDictionary().contains("cellular_country_code"));
}

TEST(DZNetwork, SharedInstanceSuppliesTheUserAgent) {
    const auto shared = DZNetwork::sharedInstance();
    EXPECT_EQ(shared, DZNetwork::sharedInstance());
    // The shared agent is set once per process; repeated runs find it set.
    if (shared->userAgentString().empty()) {
        EXPECT_EQ(DZUserAgent(), DZDefaultUserAgent());
    }
    shared->setUserAgentString("Mozilla/5.0 (Web View)");
    const std::string kept = shared->userAgentString();
    EXPECT_FALSE(kept.empty());
    EXPECT_EQ(DZUserAgent(), kept);
}
