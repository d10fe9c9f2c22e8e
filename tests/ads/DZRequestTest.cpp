#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZCorrelator.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/request/DZSignalModule.h"
#include "ads/core/request/ZODRequest.h"
#include "ads/foundation/DZDevice.h"
#include "core/Random.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"

using namespace ads;

namespace {

class OtherExtras final : public DZAdNetworkExtras {
public:
    std::string className() const override { return "OtherExtras"; }
};

class ScriptedSignal final : public DZSignalModule {
public:
    explicit ScriptedSignal(std::optional<std::string> pair) : pair_(std::move(pair)) {}
    void start(std::string_view) override {}
    bool querySignal(std::string& signal, bool enabled) override {
        lastEnabled = enabled;
        if (!pair_) return false;
        signal += *pair_;
        return true;
    }
    std::optional<bool> lastEnabled;

private:
    std::optional<std::string> pair_;
};

struct SignalScope {
    explicit SignalScope(std::shared_ptr<DZSignalModule> module) {
        DZSignalModule::install(std::move(module));
    }
    ~SignalScope() { DZSignalModule::install(nullptr); }
};

std::vector<std::string> keysFrom(const core::Dictionary& dictionary, std::string_view first) {
    const auto keys = dictionary.keys();
    const auto start = std::find(keys.begin(), keys.end(), first);
    return {start, keys.end()};
}

core::Dictionary format(const char* name, core::Array templates, core::Array types) {
    return {{"format", name},
            {"custom_template_ids", std::move(templates)},
            {"allowed_response_types", std::move(types)}};
}

void fill(DZRequest& request) {
    request.setTestDevices(core::Array{DZDevice::sharedInstance()->deviceIdentifier(), 7});
    request.setGender(2);
    request.setBirthdayWithMonth(2, 29, 2004);
    request.setKeywords(core::Array{"sea", "sky"});
    request.tagForChildDirectedTreatment(false);
    request.setContentURL("  https://example.test/story \n");
    request.setRequestAgent("banner");
    request.setLocationWithLatitude(31.2, 121.5, 65);
    request.setFormatParameters(
        core::Array{format("a", {"t1", "t2"}, {"x"}), format("b", {}, {"y", "x"})});
    request.setResponseType(2);
    request.setCustomTargeting(core::Dictionary{{"tier", "gold"}});
    request.setPrivateMediationExtras(core::Dictionary{{"net", 1}});
    request.setAdConfigurationParameters(core::Dictionary{{"opt", true}});
    request.setNativeExpressEnabled(true);
    request.registerAdNetworkExtras(std::make_shared<DZExtras>(core::Dictionary{{"npa", "1"}}));
}

}  // namespace

TEST(DZRequest, VersionTextsAndRequestTypes) {
    EXPECT_EQ(DZRequest::sdkVersion(), "duzo-sdk-i-v7.22.0");
    EXPECT_EQ(&DZRequest::sdkVersion(), &DZRequest::sdkVersion());
    EXPECT_EQ(DZRequest::extendedSDKVersionNumber(), "duzo-sdk-i-v7.22.0-rc.2+0");
    EXPECT_EQ(DZRequest::requestTypeFromString("vuraz"), 2);
    EXPECT_EQ(DZRequest::requestTypeFromString("xfp"), 3);
    EXPECT_EQ(DZRequest::requestTypeFromString("adlens"), 1);
    EXPECT_EQ(DZRequest::requestTypeFromString("VuRaz"), 0);
    EXPECT_EQ(DZRequest::requestTypeFromString(std::nullopt), 0);
}

TEST(DZRequest, AFilledRequestWritesItsKeysInOrder) {
    const auto application = DZApplication::sharedInstance();
    application->setAvailableAdapterNames(std::vector<std::string>{"DZMAdapterHTML"});
    application->setInAppPreviewCreativeToken("preview");
    application->setDebugModeEnabled(true);
    DZMarkValidAdSizesUsed();
    DZMarkBannerResizeUsed();
    DZRequest request;
    fill(request);
    const core::Dictionary parameters = request.threadSafeParameters();
    application->setDebugModeEnabled(false);
    application->setInAppPreviewCreativeToken(std::nullopt);
    application->setAvailableAdapterNames(std::nullopt);

    const auto keys = parameters.keys();
    ASSERT_GE(keys.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 3),
              (std::vector<std::string>{"adapters", "gct", "de"}));
    const bool testDevice = !DZDevice::sharedInstance()->deviceIdentifier().empty();
    std::vector<std::string> expected{"js"};
    if (testDevice) expected.push_back("adtest");
    for (const char* key : {"extras",
                            "cust_gender",
                            "cust_age",
                            "kw",
                            "tag_for_child_directed_treatment",
                            "url",
                            "request_agent",
                            "uule",
                            "native_custom_templates",
                            "native_templates",
                            "native_version",
                            "x",
                            "y",
                            "custom_targeting",
                            "request_origin",
                            "_request_object_properties",
                            "options",
                            "ene",
                            "ios_current_boot_timestamp_ms",
                            "dcs",
                            "dcr"})
        expected.push_back(key);
    EXPECT_EQ(keysFrom(parameters, "js"), expected);

    EXPECT_EQ(parameters["cust_gender"], core::Value("2"));
    EXPECT_EQ(parameters["cust_age"], core::Value("20040229"));
    EXPECT_EQ(parameters["tag_for_child_directed_treatment"], core::Value("0"));
    EXPECT_EQ(parameters["url"], core::Value("https://example.test/story"));
    EXPECT_EQ(parameters["native_custom_templates"], core::Value("t1,t2"));
    EXPECT_EQ(parameters["native_templates"], core::Value("a,b"));
    EXPECT_EQ(parameters["native_version"], core::Value(2));
    EXPECT_EQ(parameters["x"], core::Value(true));
    EXPECT_EQ(parameters["request_origin"], core::Value("pub"));
    EXPECT_EQ(parameters["extras"], core::Value(core::Dictionary{{"npa", "1"}}));
    EXPECT_EQ(parameters["_request_object_properties"]["class"], core::Value("DZRequest"));
    EXPECT_EQ(parameters["ene"], core::Value(1));
    EXPECT_TRUE(parameters["ios_current_boot_timestamp_ms"].isDouble());
}

TEST(DZRequest, EmptyOrBlankFieldsWriteNothing) {
    DZRequest request;
    request.setGender(3);
    request.setContentURL(" \t\n");
    request.setCustomTargeting(core::Dictionary{});
    request.setFormatParameters(core::Array{format("a", {}, {})});
    request.setOrigin(std::nullopt);
    const core::Dictionary parameters = request.threadSafeParameters();
    for (const char* key :
         {"cust_gender", "cust_age", "url", "custom_targeting", "tag_for_child_directed_treatment",
          "native_templates", "native_version", "native_custom_templates", "request_origin", "ene",
          "extras", "adtest"})
        EXPECT_FALSE(parameters.contains(key)) << key;

    request.tagForChildDirectedTreatment(true);
    EXPECT_EQ(request.threadSafeParameters()["tag_for_child_directed_treatment"], core::Value("1"));

    ZODRequest zod;
    zod.setPublisherProvidedID(" \n");
    zod.setCategoryExclusions(core::Array{});
    const core::Dictionary zodParameters = zod.threadSafeParameters();
    EXPECT_FALSE(zodParameters.contains("ppid"));
    EXPECT_FALSE(zodParameters.contains("category_exclusions"));
}

TEST(DZRequest, AZODRequestComesBackThroughTheBaseClass) {
    DZMarkBannerResizeUsed();
    ZODRequest source;
    fill(source);
    source.setPublisherProvidedID("  user-42 ");
    source.setCategoryExclusions(core::Array{"cars"});
    const core::Dictionary parameters = source.threadSafeParameters();
    EXPECT_EQ(keysFrom(parameters, "dcr"),
              (std::vector<std::string>{"dcr", "ppid", "category_exclusions"}));

    const auto rebuilt = std::dynamic_pointer_cast<ZODRequest>(
        DZRequest::initWithParameters(core::Value(parameters)));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->publisherProvidedID(), "user-42");
    EXPECT_EQ(rebuilt->categoryExclusions(), core::Array{"cars"});
    EXPECT_EQ(rebuilt->gender(), 2);
    EXPECT_EQ(rebuilt->birthdayString(), "20040229");
    EXPECT_EQ(rebuilt->keywords(), source.keywords());
    EXPECT_EQ(rebuilt->testDevices(), source.testDevices());
    EXPECT_EQ(rebuilt->formatParameters(), source.formatParameters());
    EXPECT_EQ(rebuilt->privateMediationExtras(), source.privateMediationExtras());
    EXPECT_EQ(rebuilt->childDirectedTreatment(), false);
    EXPECT_EQ(rebuilt->contentURL(), "https://example.test/story");
    EXPECT_EQ(rebuilt->responseType(), 2);
    EXPECT_EQ(rebuilt->requestAgent(), "banner");
    EXPECT_EQ(rebuilt->customTargeting(), source.customTargeting());
    EXPECT_EQ(rebuilt->adConfigurationParameters(), source.adConfigurationParameters());
    EXPECT_TRUE(rebuilt->isNativeExpressEnabled());
    ASSERT_TRUE(rebuilt->location());
    EXPECT_EQ(*rebuilt->location(), *source.location());
    EXPECT_EQ(rebuilt->networkExtrasAdditionalParameters(), (core::Dictionary{{"npa", "1"}}));
    EXPECT_EQ(rebuilt->threadSafeParameters()["_request_object_properties"]["class"],
              core::Value("ZODRequest"));
}

TEST(DZRequest, RebuildingIgnoresWrongKindsAndUnknownClasses) {
    const core::Dictionary parameters{
        {"_request_object_properties",
         core::Dictionary{{"class", "NSObject"}, {"testDevices", "not a list"}}},
        {"cust_gender", 1},
        {"cust_age", "2004-02-29"},
        {"kw", "sea"},
        {"tag_for_child_directed_treatment", "no"},
        {"native_version", "3"},
        {"extras", core::Array{}},
    };
    const auto request = ZODRequest::initWithParameters(core::Value(parameters));
    ASSERT_TRUE(std::dynamic_pointer_cast<ZODRequest>(request));
    EXPECT_FALSE(request->testDevices());
    EXPECT_EQ(request->gender(), 0);
    EXPECT_FALSE(request->birthday());
    EXPECT_FALSE(request->keywords());
    EXPECT_EQ(request->childDirectedTreatment(), false);
    EXPECT_EQ(request->responseType(), 0);
    EXPECT_TRUE(request->cacheable());
    EXPECT_EQ(request->origin(), "pub");

    // A dictionary naming the base class turns a ZODRequest receiver into it.
    const auto base = ZODRequest::initWithParameters(core::Value(core::Dictionary{
        {"_request_object_properties", core::Dictionary{{"class", "DZRequest"}}}}));
    EXPECT_EQ(base->className(), "DZRequest");
}

TEST(DZRequest, ACopySharesExtrasSoAOneShotEntryStaysOnTheSource) {
    ZODRequest source;
    fill(source);
    source.setPublisherProvidedID("p");
    source.setOrigin("cache");
    const auto once = std::make_shared<DZExtras>(core::Dictionary{{"_useOnce", true}, {"k", "v"}});
    source.registerAdNetworkExtras(once);

    const auto copy = std::dynamic_pointer_cast<ZODRequest>(source.copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->publisherProvidedID(), "p");
    EXPECT_EQ(copy->origin(), "cache");
    EXPECT_EQ(copy->birthday(), source.birthday());
    EXPECT_EQ(copy->adNetworkExtrasFor(DZExtras::kClassName), once);

    EXPECT_EQ(copy->networkExtrasAdditionalParameters(), *once->additionalParameters());
    EXPECT_FALSE(copy->networkExtrasAdditionalParameters());
    EXPECT_EQ(source.adNetworkExtrasFor(DZExtras::kClassName), once);

    // "_useOnce" must be a Boolean to count.
    DZRequest texted;
    texted.registerAdNetworkExtras(std::make_shared<DZExtras>(core::Dictionary{{"_useOnce", "1"}}));
    (void)texted.networkExtrasAdditionalParameters();
    EXPECT_TRUE(texted.adNetworkExtrasFor(DZExtras::kClassName));
}

TEST(DZRequest, CacheableOnlyWithPlainExtras) {
    DZRequest request;
    EXPECT_TRUE(request.cacheable());
    request.registerAdNetworkExtras(std::make_shared<DZExtras>(core::Dictionary{{"a", 1}}));
    EXPECT_TRUE(request.cacheable());
    request.registerAdNetworkExtras(std::make_shared<DZExtras>(core::Dictionary{{"_ad", "x"}}));
    EXPECT_FALSE(request.cacheable());
    request.removeAdNetworkExtrasFor(DZExtras::kClassName);
    EXPECT_TRUE(request.cacheable());
    request.registerAdNetworkExtras(std::make_shared<OtherExtras>());
    EXPECT_FALSE(request.cacheable());
    request.registerAdNetworkExtras(nullptr);
    EXPECT_TRUE(request.adNetworkExtrasFor("OtherExtras"));
}

TEST(DZRequest, DescriptionNamesWhatIsSet) {
    DZRequest request;
    EXPECT_EQ(request.description().find("\n"), std::string::npos);
    request.setGender(1);
    request.setLocationWithDescription("Shanghai");
    const std::string text = request.description();
    EXPECT_EQ(text.rfind("<DZRequest 0x", 0), 0u) << text;
    EXPECT_NE(text.find("\ngender:Male"), std::string::npos);
    EXPECT_NE(text.find("\nlocation:Shanghai"), std::string::npos);
}

TEST(DZRequest, TheSignalPairIsReadOnTheMainThreadAndWrittenLast) {
    auto module = std::make_shared<ScriptedSignal>("ms=abc");
    SignalScope scope(module);
    auto defaults = core::UserDefaults::standard();
    defaults->setString("/dozuza/ads/dzads:rdiim_signal", "0");
    DZRequest request;
    core::Dictionary parameters;
    std::thread caller([&] { parameters = request.parameters(); });
    // However the test ends; the caller waits for the main loop.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        if (!caller.joinable()) return;
        (void)core::RunLoop::main().runUntil([&] { return !parameters.empty(); }, 10);
        caller.join();
    });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !parameters.empty(); }, 10));
    caller.join();
    EXPECT_EQ(parameters.keys().back(), "ms");
    EXPECT_EQ(parameters["ms"], core::Value("abc"));
    EXPECT_EQ(module->lastEnabled, false);
    defaults->removeObjectForKey("/dozuza/ads/dzads:rdiim_signal");
    EXPECT_TRUE(DZRdiimSignalParameter());
    EXPECT_EQ(module->lastEnabled, true);

    for (const char* malformed : {"a=b=c", "=x", "x=", "nothing"}) {
        SignalScope bad(std::make_shared<ScriptedSignal>(malformed));
        EXPECT_FALSE(DZRdiimSignalParameter()) << malformed;
    }
    SignalScope none(nullptr);
    EXPECT_FALSE(DZRdiimSignalParameter());
}

TEST(DZCorrelator, DrawsFromTwoToTheTopOfItsRange) {
    core::Random::install(std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{1}));
    EXPECT_EQ(DZCorrelator().correlationID(), 2u);
    core::Random::install(
        std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{0xFFFFFFFF}));
    EXPECT_EQ(DZCorrelator().correlationID(), 4294967294u);

    // Draw 2 maps to 1, draw 3 to 2.
    core::Random::install(
        std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{1, 2, 3}));
    DZCorrelator correlator;
    correlator.reset();  // 1 + 1 is the current number: kept
    EXPECT_EQ(correlator.correlationID(), 2u);
    correlator.reset();
    EXPECT_EQ(correlator.correlationID(), 4u);
    core::Random::install(nullptr);
}
