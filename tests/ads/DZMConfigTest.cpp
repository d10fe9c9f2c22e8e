// The mediation configuration: the response's settings and networks with
// their edge cases, the adapter chosen for a network with its messages,
// custom event classes, and which registered classes count as adapters.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "AdWebTesting.h"
#include "MediationTesting.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMConfig.h"
#include "core/JSON.h"

namespace {

using ads::DZMAdNetworkConfig;
using ads::DZMConfig;

double refreshOf(core::Value refresh) {
    ads::Error error;
    const auto config = DZMConfig::initWithAppKey(
        "unit",
        core::Dictionary{{"settings", core::Dictionary{{"refresh", std::move(refresh)}}},
                         {"ad_networks", core::Array{}}},
        &error);
    return config ? config->refreshInterval() : -1;
}

class DZMConfigTest : public testing::Test {
protected:
    void SetUp() override { mediationtesting::registerTestClasses(); }

    static std::shared_ptr<DZMConfig> parse(const std::string& json, ads::Error* error) {
        const auto value = core::JSON::parse(json);
        EXPECT_TRUE(value) << json;
        return DZMConfig::initWithAppKey("unit/1", value.value_or(core::Value()), error);
    }
    static std::shared_ptr<DZMAdNetworkConfig> network(const std::string& json, ads::Error* error) {
        const auto value = core::JSON::parse(json);
        EXPECT_TRUE(value && value->dictionary()) << json;
        return DZMAdNetworkConfig::initWithDictionary(*value->dictionary(), error);
    }

    adwebtesting::ConstantsScope constants;
};

TEST_F(DZMConfigTest, OnlyAnObjectIsAConfiguration) {
    ads::Error error;
    EXPECT_FALSE(DZMConfig::initWithAppKey("unit", core::Array{1, 2}, &error));
    EXPECT_EQ(error.code, ads::kDZErrorMediationDataError);
    EXPECT_EQ(error.message, "Request Error: The mediation response was invalid.");
    const auto config = DZMConfig::initWithAppKey(
        "unit", core::Dictionary{{"qdata", "q"}, {"ad_networks", core::Array{}}}, nullptr);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->appKey(), "unit");
    EXPECT_EQ(config->qdataString(), "q");
    EXPECT_EQ(config->refreshInterval(), 0.0);
}

TEST_F(DZMConfigTest, RefreshIntervalsAtOrAboveTheBoundOrNotNumbersMeanNone) {
    EXPECT_EQ(refreshOf(29999.5), 29999.5);
    EXPECT_EQ(refreshOf(30000.0), 0.0);
    EXPECT_EQ(refreshOf(45000.0), 0.0);
    EXPECT_EQ(refreshOf(std::nan("")), 0.0);
    EXPECT_EQ(refreshOf("45"), 45.0);
    EXPECT_EQ(refreshOf("60"), 60.0);
    EXPECT_EQ(refreshOf("soon"), 0.0);
}

// The responses a server may send, each with what the configuration holds.
TEST_F(DZMConfigTest, ResponsesParseByTheirRules) {
    constants.set(DZMConfig::kAdNetworkTimeoutKey, 7.0);
    constants.set(DZMConfig::kFinalAdNetworkTimeoutKey, 8.0);
    using Check = std::function<void(const std::shared_ptr<DZMConfig>&, const ads::Error&)>;
    const auto fails = [](long code, std::string message) -> Check {
        return [code, message](const std::shared_ptr<DZMConfig>& config, const ads::Error& error) {
            EXPECT_FALSE(config);
            EXPECT_EQ(error.code, code);
            EXPECT_EQ(error.message, message);
        };
    };
    const struct {
        const char* name;
        std::string json;
        Check check;
    } cases[] = {
        {"no networks key", R"({"settings":{"refresh":30}})",
         fails(7, "Request Error: The mediation response was invalid.")},
        {"networks not a list", R"({"ad_networks":{"id":"1"}})",
         fails(7, "Request Error: The mediation response was invalid.")},
        {"empty list", R"({"ad_networks":[]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_TRUE(config->adNetworkConfigs().empty());
             EXPECT_FALSE(config->noFillURLs());
         }},
        {"scalars in the list are skipped", R"({"ad_networks":["a", 3, {"id":"9"}, null]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             ASSERT_EQ(config->adNetworkConfigs().size(), 1u);
             EXPECT_EQ(config->adNetworkConfigs()[0]->networkID(), "9");
         }},
        {"numeric id", R"({"ad_networks":[{"id":1234}]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_EQ(config->adNetworkConfigs()[0]->networkID(), "1234");
         }},
        {"boolean id", R"({"ad_networks":[{"id":"1"},{"id":true}]})",
         fails(7, "The VuRaz Mediation response was invalid: An ad network config has an "
                  "invalid network ID.")},
        {"list id", R"({"ad_networks":[{"id":[1]}]})",
         fails(7, "The VuRaz Mediation response was invalid: An ad network config has an "
                  "invalid network ID.")},
        {"no id", R"({"ad_networks":[{"data":{}}]})",
         fails(7, "The VuRaz Mediation response was invalid: An ad network config has no "
                  "network ID.")},
        {"timeouts from the constants", R"({"ad_networks":[]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_EQ(config->adNetworkTimeout(), 7.0);
             EXPECT_EQ(config->finalAdNetworkTimeout(), 8.0);
         }},
        {"timeout millis override both", R"({"settings":{"ad_network_timeout_millis":2500},
                                             "ad_networks":[]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_EQ(config->adNetworkTimeout(), 2.5);
             EXPECT_EQ(config->finalAdNetworkTimeout(), 2.5);
         }},
        {"a negative timeout is no timeout", R"({"settings":{"ad_network_timeout_millis":-5},
                                                 "ad_networks":[]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_EQ(config->adNetworkTimeout(), 7.0);
         }},
        {"animation 9", R"({"settings":{"ad_transition_anim":9},"ad_networks":[]})",
         [](const auto& config, const auto&) { EXPECT_EQ(config->bannerAnimationType(), 8); }},
        {"animation -1", R"({"settings":{"ad_transition_anim":-1},"ad_networks":[]})",
         [](const auto& config, const auto&) { EXPECT_EQ(config->bannerAnimationType(), 8); }},
        {"animation 0", R"({"settings":{"ad_transition_anim":0},"ad_networks":[]})",
         [](const auto& config, const auto&) { EXPECT_EQ(config->bannerAnimationType(), 0); }},
        {"settings of the wrong type", R"({"settings":{"imp_urls":"x","use_displayed_impression":
                                           [1]},"ad_networks":[]})",
         [](const auto& config, const auto&) {
             EXPECT_FALSE(config->impressionURLs());
             EXPECT_EQ(config->impressionDefinition(), 0);
         }},
        {"settings that are not an object", R"({"settings":[1],"ad_networks":[]})",
         [](const auto& config, const auto&) { EXPECT_EQ(config->bannerAnimationType(), 8); }},
        {"templates, impression definition, sizes",
         R"({"settings":{"click_urls":["c"],"imp_urls":[],"nofill_urls":["n"],
                         "use_displayed_impression":true,"allow_pub_rendered_attribution":true,
                         "rewards":[{"rb_type":"coin"}]},
             "qdata":"q","default_slot_sz":"320x50","default_ad_sz":7,"ad_networks":[]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             EXPECT_EQ(config->clickURLs(), (core::Array{"c"}));
             EXPECT_EQ(config->impressionURLs(), core::Array{});
             EXPECT_EQ(config->noFillURLs(), (core::Array{"n"}));
             EXPECT_EQ(config->impressionDefinition(), 1);
             EXPECT_TRUE(config->allowPublisherRenderedAttribution());
             ASSERT_TRUE(config->rewards());
             EXPECT_EQ(config->rewards()->size(), 1u);
             EXPECT_EQ(config->defaultSlotSize(), core::Value("320x50"));
             EXPECT_EQ(config->defaultAdSize(), core::Value(7));
         }},
        {"network fields", R"({"ad_networks":[{"id":"n","data":{"pubid":"p","k":1},
             "allocation_id":42,"clickurl":["c"],"click_urls":["ignored"],"fill_urls":["f"],
             "imp_urls":["i"],"slot_sizes":["300x250"],"response_type":"",
             "adapters":["ScriptedAdapter", 5],"ad":{"ad_html":"x"}}]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             ASSERT_FALSE(config->adNetworkConfigs().empty());
             const auto& network = config->adNetworkConfigs()[0];
             EXPECT_EQ(network->publisherID(), "p");
             EXPECT_EQ(network->allocationIDString(), "42");
             EXPECT_EQ(network->clickURLs(), (core::Array{"c"}));
             EXPECT_EQ(network->fillURLs(), (core::Array{"f"}));
             EXPECT_EQ(network->impressionURLs(), (core::Array{"i"}));
             EXPECT_EQ(network->slotSizes(), (core::Array{"300x250"}));
             EXPECT_EQ(network->responseType(), "");
             EXPECT_EQ(network->adapterList(), std::vector<std::string>{"ScriptedAdapter"});
             EXPECT_EQ(network->adapterClass(), "ScriptedAdapter");
             EXPECT_TRUE(network->ad());
         }},
        {"a network without adapter stays", R"({"ad_networks":[{"id":"a","adapters":["Gone"]},
                                                {"id":"b","adapters":["OldAdapter"]}]})",
         [](const auto& config, const auto&) {
             ASSERT_TRUE(config);
             ASSERT_EQ(config->adNetworkConfigs().size(), 2u);
             EXPECT_FALSE(config->adNetworkConfigs()[0]->adapterClass());
             EXPECT_FALSE(config->adNetworkConfigs()[1]->adapterClass());
         }},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        ads::Error error;
        const auto config = parse(entry.json, &error);
        entry.check(config, error);
    }
}

TEST_F(DZMConfigTest, TheFirstCurrentAdapterClassIsChosenAndOldOnesAreNamed) {
    ads::Error error;
    // The first name has no class: the second is chosen without a word.
    auto chosen = network(R"({"id":"1","adapters":["Missing","ScriptedAdapter"]})", &error);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->adapterClass(), "ScriptedAdapter");
    EXPECT_TRUE(error.domain.empty());

    // An old adapter before a current one: the current one serves, and the
    // old one is named.
    chosen = network(R"({"id":"1","adapters":["OldAdapter","ScriptedAdapter"]})", &error);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->adapterClass(), "ScriptedAdapter");
    EXPECT_EQ(error.code, ads::kDZErrorMediationAdapterError);
    EXPECT_EQ(error.message,
              "Ad network adapter OldAdapter implements an old API. Please update the adapter.");

    // Only old adapters; a class that answers but adopts nothing is skipped;
    // names after the chosen class are not looked at.
    error = {};
    chosen = network(R"({"id":"1","adapters":["OldAdapter","NotAnAdapter","OldAdapter"]})", &error);
    EXPECT_FALSE(chosen->adapterClass());
    EXPECT_EQ(error.message,
              "Ad network adapters (OldAdapter, OldAdapter) implement an old API. Please update "
              "the adapters. No valid adapters found for this ad network.");
    error = {};
    chosen = network(R"({"id":"1","adapters":["ScriptedSubAdapter","OldAdapter"]})", &error);
    EXPECT_EQ(chosen->adapterClass(), "ScriptedSubAdapter");
    EXPECT_TRUE(error.domain.empty());

    // Nothing found: the missing-adapter message names every name.
    error = {};
    chosen = network(R"({"id":"1","adapters":["A","B"]})", &error);
    EXPECT_EQ(error.code, ads::kDZErrorMediationAdapterError);
    EXPECT_EQ(error.message,
              "Cannot find an ad network adapter with the name(s): A,B. Remember to link all "
              "required ad network adapters and SDKs, and set -ObjC in the 'Other Linker Flags' "
              "setting of your build target.");
    EXPECT_EQ(DZMAdNetworkConfig::errorMessageForMissingAdapterClasses({}), "");
    EXPECT_NE(chosen->description().find("networkID:1 adapter:(null)"), std::string::npos);
}

TEST_F(DZMConfigTest, CustomEventClassesResolveThroughTheRegistry) {
    const auto resolve = [&](const std::string& json, ads::Error* error) {
        auto entry = network(json, nullptr);
        const bool resolved = entry->resolveAdNetworkClassForCustomEventWithError(error);
        return std::make_pair(resolved, entry->adapterClass());
    };
    ads::Error error;
    // Not a custom event network: nothing to resolve, no error.
    EXPECT_EQ(resolve(R"({"id":"1","adapters":["ScriptedAdapter"]})", &error),
              std::make_pair(false, std::optional<std::string>("ScriptedAdapter")));
    EXPECT_TRUE(error.domain.empty());

    const std::string custom = R"({"id":"1","adapters":["DZMAdapterCustomEvents"])";
    EXPECT_EQ(resolve(custom + "}", &error),
              std::make_pair(false, std::optional<std::string>("DZMAdapterCustomEvents")));
    EXPECT_EQ(error.message, "Custom event adapter class name is empty.");
    EXPECT_EQ(resolve(custom + R"(,"data":{"class_name":"Nowhere"}})", &error),
              std::make_pair(false, std::optional<std::string>()));
    EXPECT_EQ(error.message, DZMAdNetworkConfig::errorMessageForMissingAdapterClasses({"Nowhere"}));
    EXPECT_EQ(resolve(custom + R"(,"data":{"class_name":"ScriptedBannerEvent"}})", &error).first,
              false);
    EXPECT_EQ(error.message, "Class ScriptedBannerEvent does not conforms to mediation protocols.");
    EXPECT_EQ(resolve(custom + R"(,"data":{"class_name":"RewardedAdapter"}})", &error),
              std::make_pair(true, std::optional<std::string>("RewardedAdapter")));
}

TEST_F(DZMConfigTest, AdapterClassesAreThoseOfTheAdapterProtocols) {
    using ads::DZMAdNetworkAdapter;
    EXPECT_EQ(DZMAdNetworkAdapter::availableAdapterNamesInSet(
                  {"ScriptedSubAdapter", "NotAnAdapter", "DZMAdapterHTML", "Gone",
                   "ScriptedSubAdapter", "RewardedAdapter", "ScriptedBannerEvent"}),
              (std::vector<std::string>{"ScriptedSubAdapter", "DZMAdapterHTML"}));
    EXPECT_TRUE(DZMAdNetworkAdapter::classIsAdapterClass("RewardedAdapter"));
    EXPECT_TRUE(DZMAdNetworkAdapter::classIsAdapterClass("OldAdapter"));
    EXPECT_FALSE(DZMAdNetworkAdapter::classIsAdapterClass("NotAnAdapter"));
    EXPECT_TRUE(DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI("RewardedAdapter"));
    EXPECT_TRUE(DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI("ScriptedSubAdapter"));
    EXPECT_FALSE(DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI("OldAdapter"));
    EXPECT_FALSE(DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI("Gone"));

    // A class whose superclass chain loops ends the walk.
    ads::DZMClassDescription loop;
    loop.name = "Loop";
    loop.superclassName = "Loop";
    ads::DZMClassRegistry::registerClass(loop);
    EXPECT_FALSE(DZMAdNetworkAdapter::classIsAdapterClass("Loop"));
    ads::DZMClassRegistry::shared().unregisterClass("Loop");
}

}  // namespace
