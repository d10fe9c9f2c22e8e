// The server constants the core page sends: stored by kind, converted,
// applied to live objects, then announced; the web view experiment drawn
// when the controller is made.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "core/NotificationCenter.h"
#include "core/Random.h"

namespace {

using ads::DZSDKCoreController;
using adwebtesting::ConstantsScope;

class DZSDKCoreConstantsTest : public testing::Test {
protected:
    void TearDown() override {
        controller.reset();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
        core::Random::install(nullptr);
        for (const auto& key : core::UserDefaults::standard()->dictionaryRepresentation().keys())
            if (key.rfind("/dozuza/ads/", 0) == 0 || key.rfind("ns:", 0) == 0 ||
                key == ads::kDZAppSessionTimeoutKey)
                core::UserDefaults::standard()->removeObjectForKey(key);
        ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(true);
        ads::DZMRAIDInterceptor::sharedInstance()->restoreDefaultImplementationURLStrings();
    }
    void deliver(const core::Dictionary& constants) {
        if (!controller) controller = DZSDKCoreController::create();
        controller->didLoadSDKConstants(*controller->activeSDKCoreWebView()->SDKCoreDMSGHandler(),
                                        constants);
    }
    [[nodiscard]] static core::Value stored(const std::string& name) {
        return core::UserDefaults::standard()->objectForKey("/dozuza/ads/" + name);
    }

    std::shared_ptr<DZSDKCoreController> controller;
};

TEST_F(DZSDKCoreConstantsTest, EachKindIsStoredAsItsReadersExpect) {
    deliver({{"wv_class", "wk"},
             {"dzads:sai:click_ping_schema", "a,b"},
             {"dzads:banner_ad_pool:schema", ""},
             {"clickthrough_confirm_schemes", R"({"tel":"1","n":2})"},
             {"dzads:sawmill_config", R"({"url":"x"})"},
             {"ns_prefix", "ns:"},
             {"efs", "e"},
             {"dns_domain_set", R"(["a.test", 3, "b.test"])"}});
    EXPECT_EQ(stored("wv_class"), core::Value("wk"));
    EXPECT_EQ(stored("dzads:sai:click_ping_schema"), core::Value(core::Array{"a", "b"}));
    EXPECT_EQ(stored("dzads:banner_ad_pool:schema"), core::Value(core::Array{""}));
    EXPECT_EQ(stored("clickthrough_confirm_schemes"), core::Value(core::Dictionary{{"tel", "1"}}));
    EXPECT_EQ(stored("dzads:sawmill_config"), core::Value(core::Dictionary{{"url", "x"}}));
    const auto defaults = core::UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("ns:efs"), "e");
    EXPECT_EQ(defaults->objectForKey("ns:dns_domain_set"),
              core::Value(core::Array{"a.test", "b.test"}));

    // Absent or empty texts and unusable maps keep; absent lists and JSON go.
    deliver({{"wv_class", ""},
             {"clickthrough_confirm_schemes", "[1]"},
             {"dzads:sawmill_config", "{not json"}});
    EXPECT_EQ(stored("wv_class"), core::Value("wk"));
    EXPECT_EQ(stored("clickthrough_confirm_schemes"), core::Value(core::Dictionary{{"tel", "1"}}));
    EXPECT_EQ(stored("dzads:sawmill_config"), core::Value(core::Dictionary{{"url", "x"}}));
    EXPECT_TRUE(stored("dzads:sai:click_ping_schema").isNull());
    deliver({});
    EXPECT_EQ(stored("wv_class"), core::Value("wk"));
    EXPECT_TRUE(stored("dzads:sawmill_config").isNull());
}

TEST_F(DZSDKCoreConstantsTest, ConvertedAndAppliedConstants) {
    const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
    const auto defaults = core::UserDefaults::standard();
    deliver({{"dzads:app_activity_tracker:app_session_timeout_ms", "60000"},
             {"mraid_disable_redirect", "1"},
             {"mraid_banner_path", "https://s.test/b.js"}});
    // Converted once, to the seconds its reader takes.
    EXPECT_EQ(defaults->doubleForKey(ads::kDZAppSessionTimeoutKey), 60.0);
    EXPECT_FALSE(interceptor->enabled());
    EXPECT_EQ(interceptor->bannerImplementationURLString(), "https://s.test/b.js");

    const bool greedy = ads::DZAdViewResourceCollection::isGreedyCollectionEnabled();
    deliver({{"sb_greedy", "0"}});
    EXPECT_FALSE(ads::DZAdViewResourceCollection::isGreedyCollectionEnabled());
    deliver({{"sb_greedy", "1"}});
    EXPECT_TRUE(ads::DZAdViewResourceCollection::isGreedyCollectionEnabled());
    deliver({{"sb_greedy", "0"}});
    deliver({});  // absent: left as it is
    EXPECT_FALSE(ads::DZAdViewResourceCollection::isGreedyCollectionEnabled());
    ads::DZAdViewResourceCollection::setGreedyCollectionEnabled(greedy);

    deliver({{"mraid_disable_redirect", "0"}});
    EXPECT_TRUE(interceptor->enabled());
    EXPECT_EQ(defaults->doubleForKey(ads::kDZAppSessionTimeoutKey), 60.0);  // kept
    // Constants without the script paths leave the variants without one.
    EXPECT_FALSE(interceptor->bannerImplementationURLString());
    EXPECT_FALSE(interceptor->interstitialImplementationURLString());
}

TEST_F(DZSDKCoreConstantsTest, UnusableIntervalsKeepTheirDefaults) {
    struct Case {
        std::optional<std::string> value;
        double timeout;
        double sampling;
    };
    const Case cases[] = {
        {std::nullopt, 10.0, 0.4}, {"2.5", 2.5, 2.5},    {"0", 10.0, 0.4},   {"-3", 10.0, 0.4},
        {"nan", 10.0, 0.4},        {"1e999", 10.0, 0.4}, {"abc", 10.0, 0.4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.value_or("absent"));
        controller = DZSDKCoreController::create();
        core::Dictionary constants;
        if (c.value) {
            constants.set("dz:javascript_completion_timeout", *c.value);
            constants.set("refresh_intervals",
                          "{\"live_view_sampling_interval\":\"" + *c.value + "\"}");
        }
        deliver(constants);
        EXPECT_EQ(controller->SDKCoreJavaScriptCompletionBlockTimeoutInterval(), c.timeout);
        EXPECT_EQ(controller->liveViewSamplingInterval(), c.sampling);
    }
}

TEST_F(DZSDKCoreConstantsTest, ExperimentIdentifiersIncludeTheWebViewExperiment) {
    ConstantsScope constants;
    constants.set(DZSDKCoreController::kWebViewExperimentFractionKey, "1");
    constants.set(DZSDKCoreController::kWebViewExperimentExperimentKey, "wk-arm");
    constants.set(DZSDKCoreController::kWebViewExperimentControlKey, "ui-arm");
    struct Case {
        std::uint32_t armDraw;
        const char* kind;
        const char* id;
    };
    // A first draw of 1 << 22 gives 0 of 1000 (a draw of 0 would be drawn
    // again); the second picks the arm.
    constexpr std::uint32_t kLowest = 1u << 22;
    for (const Case c : {Case{0x80000000u, "wk", "wk-arm"}, Case{0, "ui", "ui-arm"}}) {
        core::Random::install(
            std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{kLowest, c.armDraw}));
        controller = DZSDKCoreController::create();
        EXPECT_EQ(controller->webViewConfiguration().webViewClassKey(), c.kind);
        EXPECT_EQ(controller->SDKCoreWebViewExperimentID(), c.id);
        deliver({{"a_experiment_id", "11"}, {"other", "x"}, {"b_experiment_id", "12"}});
        EXPECT_EQ(stored("experiment_id_string"), core::Value(std::string("11,12,") + c.id));
    }
    deliver({{"experiment_id_string", "given"}, {"a_experiment_id", "11"}});
    EXPECT_EQ(stored("experiment_id_string"), core::Value("given"));

    // A fraction of 0 takes no process in, not even one drawing 0.
    constants.set(DZSDKCoreController::kWebViewExperimentFractionKey, "0");
    core::Random::install(
        std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{kLowest, 0}));
    controller = DZSDKCoreController::create();
    EXPECT_EQ(controller->webViewConfiguration().webViewClassKey(), "ui");
    EXPECT_FALSE(controller->SDKCoreWebViewExperimentID());
    deliver({});
    EXPECT_TRUE(stored("experiment_id_string").isNull());
}

TEST_F(DZSDKCoreConstantsTest, TheNotificationComesAfterEveryConstantIsStored) {
    controller = DZSDKCoreController::create();
    std::vector<core::Value> seen;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto token =
        center.addObserver(DZSDKCoreController::kDidUpdateConstantsNotification, controller.get(),
                           nullptr, [&](const core::Notification&) {
                               seen.push_back(stored("dzads:sdk_core_constants:caps"));
                               seen.push_back(stored("wv_class"));
                           });
    deliver({{"wv_class", "ui"}, {"dzads:sdk_core_constants:caps", "7"}});
    center.removeObserver(token);
    EXPECT_EQ(seen, (std::vector<core::Value>{core::Value("7"), core::Value("ui")}));
    EXPECT_TRUE(controller->SDKCoreUpdateHandled());
}

TEST_F(DZSDKCoreConstantsTest, AvailableAdaptersArePresentOnesOfTheNamedAndBuiltIn) {
    // A host's adapter, and the built-in adapters this SDK links in.
    ads::DZMClassDescription custom;
    custom.name = "Custom1";
    custom.protocols = {ads::DZMProtocol::adNetworkAdapter};
    ads::DZMClassRegistry::registerClass(custom);
    deliver({{"adapter_class_names", "Custom1,Absent"}});
    EXPECT_EQ(
        ads::DZApplication::sharedInstance()->availableAdapterNames(),
        (std::vector<std::string>{"Custom1", "DZMAdapterDozuzaVuRazAds", "DZMAdapterCustomEvents",
                                  "DZMAdapterHTML", "DZMAdURLAdapter"}));
    deliver({});
    EXPECT_EQ(ads::DZApplication::sharedInstance()->availableAdapterNames(),
              (std::vector<std::string>{"DZMAdapterDozuzaVuRazAds", "DZMAdapterCustomEvents",
                                        "DZMAdapterHTML", "DZMAdURLAdapter"}));
    ads::DZMClassRegistry::shared().unregisterClass("Custom1");
}

}  // namespace

TEST_F(DZSDKCoreConstantsTest, ACacheSizeOutsideItsRangeIsNoSize) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"5", 5},   {"2.9", 2},   {"0", 3},      {"0.5", 3},
        {"-2", 3},  {"1e300", 3}, {"-1e300", 3}, {"18446744073709551616", 3},
        {"inf", 3}, {"many", 3},
    };
    for (const auto& [value, size] : cases) {
        SCOPED_TRACE(value);
        controller = DZSDKCoreController::create();
        deliver({{"live_view_unload_cache_size", value}});
        EXPECT_EQ(controller->liveViewUnloadCacheMaxSize(), size);
    }
}
