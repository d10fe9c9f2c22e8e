// Requests rebuilt from what a mediation request tells an adapter: test
// devices, targeting, the request agent, the mediation extras and the
// adapter list; and the custom event snapshot with its label's extras.

#include <gtest/gtest.h>

#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZDevice.h"
#include "ads/mediation/core/DZCustomEventExtras.h"
#include "ads/mediation/core/DZCustomEventRequest.h"
#include "ads/mediation/core/DZMediationAdRequest.h"

namespace {

using ads::DZRequest;

// What an adapter would learn; internal requests also answer the SDK's own.
class FakeRequest : public virtual ads::DZMediationAdRequest {
public:
    std::optional<std::string> publisherId() const override { return std::nullopt; }
    std::optional<core::Dictionary> credentials() const override { return credentialValues; }
    bool testMode() const override { return test; }
    std::shared_ptr<ads::DZAdNetworkExtras> networkExtras() const override { return extras_; }
    std::shared_ptr<ads::DZAdNetworkExtras> networkExtrasForClass(std::string_view) const override {
        return extras_;
    }
    std::optional<bool> childDirectedTreatment() const override { return childDirected; }
    std::int64_t userGender() const override { return 1; }
    std::optional<core::Date> userBirthday() const override { return core::Date{86400}; }
    std::optional<core::Array> userKeywords() const override { return core::Array{"k"}; }
    bool userHasLocation() const override { return hasLocation; }
    double userLatitude() const override { return 10; }
    double userLongitude() const override { return 20; }
    double userLocationAccuracyInMeters() const override { return 5; }
    std::optional<std::string> userLocationDescription() const override { return "Zurich"; }
    std::shared_ptr<ui::ViewController> viewControllerForPresentingModalView() const override {
        return nullptr;
    }
    float adVolume() const override { return 1; }
    bool adMuted() const override { return false; }

    bool test = false;
    bool hasLocation = false;
    std::optional<bool> childDirected;
    std::optional<core::Dictionary> credentialValues;
    std::shared_ptr<ads::DZAdNetworkExtras> extras_;
};

class FakeInternalRequest : public FakeRequest, public ads::DZMediationAdRequestInternal {
public:
    std::optional<ads::DZLocation> userLocation() const override { return std::nullopt; }
    gfx::Size adSize() const override { return {}; }
    double croppedContentThreshold() const override { return 0; }
    std::optional<ads::DZMInlineAd> inlineAd() const override { return inlined; }
    std::optional<core::Dictionary> extras() const override { return networkExtrasValues; }
    core::Array adapterNames() const override { return names; }
    std::optional<std::string> currentAdapterName() const override { return current; }
    std::optional<std::string> userRequestAgent() const override { return "agent"; }
    std::shared_ptr<ads::DZSlot> slot() const override { return nullptr; }

    std::optional<ads::DZMInlineAd> inlined;
    std::optional<core::Dictionary> networkExtrasValues;
    core::Array names;
    std::optional<std::string> current;
};

core::Dictionary additional(const DZRequest& request) {
    const auto extras = std::dynamic_pointer_cast<ads::DZExtras>(
        request.adNetworkExtrasFor(ads::DZExtras::kClassName));
    return extras && extras->additionalParameters() ? *extras->additionalParameters()
                                                    : core::Dictionary();
}

TEST(DZRequestMediation, APublicRequestGivesTargetingAndTheMarkOfMediation) {
    FakeRequest given;
    given.test = true;
    given.childDirected = true;
    given.credentialValues = core::Dictionary{{"mad_hac", "hac"}};
    given.extras_ = std::make_shared<ads::DZExtras>(
        core::Dictionary{{"_mediationRequestUrl", "https://ads.test/u"}, {"kept", 1}});
    const auto request = DZRequest::requestWithMediationAdRequest(given);
    EXPECT_EQ(request->testDevices(),
              (core::Array{"Simulator", ads::DZDevice::sharedInstance()->deviceIdentifier()}));
    EXPECT_TRUE(request->isATestDevice());
    EXPECT_EQ(request->childDirectedTreatment(), true);
    ASSERT_TRUE(request->location());
    EXPECT_EQ(request->location()->locationDescription(), "Zurich");
    EXPECT_EQ(request->gender(), 1);
    EXPECT_EQ(request->keywords(), core::Array{"k"});
    EXPECT_FALSE(request->requestAgent());
    EXPECT_EQ(additional(*request),
              (core::Dictionary{{"_mediationRequestUrl", "https://ads.test/u"},
                                {"kept", 1},
                                {"_requestUrl", "https://ads.test/u"},
                                {"mad_hac", "hac"},
                                {"gw", "1"}}));
    // The given extras are not changed.
    EXPECT_FALSE(std::static_pointer_cast<ads::DZExtras>(given.extras_)
                     ->additionalParameters()
                     ->contains("gw"));
    EXPECT_FALSE(request->privateMediationExtras());
}

TEST(DZRequestMediation, AnInternalRequestAddsTextExtrasTheInlineAdAndTheAdapterList) {
    FakeInternalRequest given;
    given.hasLocation = true;
    given.networkExtrasValues = core::Dictionary{{"text", "t"}, {"number", 3}};
    given.inlined = ads::DZMInlineAd{core::Dictionary{{"ad_html", "x"}}, {}};
    given.names = core::Array{core::Array{"A", "B"}, core::Array{}};
    given.current = "A";
    const auto request = DZRequest::requestWithMediationAdRequest(given);
    ASSERT_TRUE(request->location());
    EXPECT_TRUE(request->location()->isPreciseLocation());
    EXPECT_EQ(request->location()->latitude(), 10);
    EXPECT_EQ(request->requestAgent(), "agent");
    EXPECT_EQ(additional(*request),
              (core::Dictionary{
                  {"gw", "1"}, {"text", "t"}, {"_ad", core::Dictionary{{"ad_html", "x"}}}}));
    EXPECT_EQ(request->privateMediationExtras(),
              (core::Dictionary{{"man", given.names}, {"mcan", "A"}}));

    // Without a current adapter there is no list; without names, the
    // current one alone.
    given.current.reset();
    EXPECT_FALSE(DZRequest::requestWithMediationAdRequest(given)->privateMediationExtras());
    given.current = "Z";
    given.names = {};
    EXPECT_EQ(DZRequest::requestWithMediationAdRequest(given)->privateMediationExtras(),
              (core::Dictionary{{"man", core::Array{"Z"}}, {"mcan", "Z"}}));
}

TEST(DZRequestMediation, ACustomEventSeesTheExtrasOfItsLabelOnly) {
    FakeRequest given;
    given.test = true;
    auto extras = std::make_shared<ads::DZCustomEventExtras>();
    extras->setExtras({{"a", 1}}, "mine");
    given.extras_ = extras;
    given.credentialValues = core::Dictionary{{"label", "mine"}};
    const ads::DZCustomEventRequest mine(given);
    EXPECT_EQ(mine.additionalParameters(), (core::Dictionary{{"a", 1}}));
    EXPECT_TRUE(mine.isTesting());
    EXPECT_EQ(mine.userGender(), 1);
    EXPECT_EQ(mine.userLocationDescription(), "Zurich");

    given.credentialValues = core::Dictionary{{"label", "other"}};
    EXPECT_FALSE(ads::DZCustomEventRequest(given).additionalParameters());
    // Extras of another kind give none either.
    given.extras_ = std::make_shared<ads::DZExtras>(core::Dictionary{{"a", 1}});
    given.credentialValues = core::Dictionary{{"label", "mine"}};
    EXPECT_FALSE(ads::DZCustomEventRequest(given).additionalParameters());
    extras->removeAllExtras();
    EXPECT_FALSE(extras->extrasForLabel("mine"));
}

}  // namespace
