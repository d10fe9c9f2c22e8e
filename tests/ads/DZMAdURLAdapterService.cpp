// The ad URL adapter in a banner slot's waterfall against our core page:
// the parameters "DUZO_getAdapterLessMediationAd" receives, the page's ad
// loaded into the adapter's private banner, the page's failures as the
// adapter's errors, a second request, and a late answer after
// stopBeingDelegate.

#include "AdapterTesting.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/response/DZBannerAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/mediation/adapters/DZMAdURLAdapter.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/interstitial/DZInterstitial.h"

namespace {

using ads::DZMAdURLAdapter;
using fixtures::CorePageOptions;
using fixtures::MediationScenarios;
using mediationtesting::waitFor;

class DZMAdURLAdapterService
    : public adaptertesting::AdapterSlotTest<ads::DZMAdNetworkConnectorBanner> {
protected:
    void TearDown() override {
        AdapterSlotTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    // A network served by the ad URL adapter.
    static core::Dictionary adURLNetwork(const std::string& id, core::Dictionary more = {}) {
        core::Dictionary network{{"id", id},
                                 {"adapters", core::Array{DZMAdURLAdapter::kClassName}},
                                 {"allocation_id", "alloc-" + id}};
        for (const auto& [key, value] : more) network.set(key, value);
        return network;
    }
    // A banner slot of that size whose networks ask our core page, which
    // answers as options say; runs until the network is asked.
    [[nodiscard]] bool load(const core::Dictionary& network, CorePageOptions options,
                            const ads::DZAdSize& size = ads::kDZAdSizeBanner) {
        server.setCorePage(std::move(options));
        if (!makeSlot(size)) return false;
        if (!controller) makeController();
        slot->setSDKCoreController(controller);
        return start(response({network})) && adapter<DZMAdURLAdapter>() != nullptr;
    }
    [[nodiscard]] core::Dictionary askedFor(size_t count = 1) const {
        const auto calls = logged("DUZO_getAdapterLessMediationAd", count);
        if (calls.size() < count || !calls[count - 1].dictionary()) return {};
        return *calls[count - 1].dictionary();
    }
    [[nodiscard]] bool failed() const {
        return waitFor([&] { return connector && !connector->failures.empty(); });
    }
};

TEST_F(DZMAdURLAdapterService, ThePageIsAskedWithTheFlatParametersOfTheNetwork) {
    core::Dictionary credentials{{"key", "value"}};
    CorePageOptions silent;
    silent.adAnswer = CorePageOptions::AdAnswer::silent;
    ASSERT_TRUE(load(adURLNetwork("7", {{"data", credentials}}), silent,
                     ads::kDZAdSizeSmartBannerPortrait));
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    const core::Dictionary asked = askedFor();
    ASSERT_FALSE(asked.empty());
    // Only the adapter-less function was called.
    EXPECT_TRUE(logged("DUZO_getAd", 0).empty());
    EXPECT_EQ(asked["dozuza-ad-url-mediation"].stringValue(), "1");
    EXPECT_EQ(asked["network_id"].stringValue(), "7");
    EXPECT_EQ(asked["data"], core::Value(credentials));
    ASSERT_TRUE(adapter->requestID());
    EXPECT_EQ(asked["request_id"].stringValue(), *adapter->requestID());
    EXPECT_EQ(asked["lat"].stringValue(), ads::DZDevice::sharedInstance()->limitAdTrackingString());
    EXPECT_EQ(asked["adid"].stringValue(), ads::DZDevice::sharedInstance()->rawDeviceIdentifier());
    const core::Value& request = asked["request_param"];
    EXPECT_EQ(request["format"].stringValue(), "banner");
    // The rebuilt request: the mediation extras and the adapter list.
    EXPECT_EQ(request["extras"]["gw"].stringValue(), "1");
    EXPECT_EQ(request["smart_w"].stringValue(), "full");
    EXPECT_EQ(request["smart_h"].stringValue(), "auto");
    const gfx::Rect frame = adapter->banner()->frame();
    EXPECT_EQ(request["ad_frame"]["width"].doubleValue(), frame.width());
    EXPECT_EQ(request["ad_bounds"]["height"].doubleValue(), frame.height());
    EXPECT_EQ(adapter->requestedAdType(), 1u);
}

TEST_F(DZMAdURLAdapterService, OnlyFullWidthSizesAreSmartAndEmptyCredentialsStillGoOut) {
    CorePageOptions silent;
    silent.adAnswer = CorePageOptions::AdAnswer::silent;
    ASSERT_TRUE(load(adURLNetwork(""), silent));
    const core::Dictionary asked = askedFor();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked["data"], core::Value(core::Dictionary()));
    EXPECT_EQ(asked["network_id"].stringValue(), "");
    ASSERT_TRUE(asked["request_param"].dictionary());
    EXPECT_FALSE(asked["request_param"].dictionary()->contains("smart_w"));
    EXPECT_FALSE(asked["request_param"].dictionary()->contains("smart_h"));

    // Auto height alone is not smart.
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    adapter->banner()->setAdSize(ads::DZAdSize{{320, 0}, ads::kDZAdSizeFlagAutoHeight});
    const auto parameters = adapter->requestParameters();
    ASSERT_TRUE(parameters);
    ASSERT_TRUE((*parameters)["request_param"].dictionary());
    EXPECT_FALSE((*parameters)["request_param"].dictionary()->contains("smart_h"));
}

TEST_F(DZMAdURLAdapterService, ThePagesAdFillsThePrivateBannerThatNeverReloads) {
    CorePageOptions inlineAd;
    inlineAd.adAnswer = CorePageOptions::AdAnswer::inlineAd;
    inlineAd.inlineAd = slottesting::inlineAd("<p style=\"height:50px\">from the page</p>");
    ASSERT_TRUE(load(adURLNetwork("1"), inlineAd));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }, 20));
    EXPECT_EQ(owner->finished, 1);
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    const auto& banner = adapter->banner();
    ASSERT_TRUE(banner);
    EXPECT_EQ(connector->events, std::vector<std::string>{"view"});
    ASSERT_FALSE(owner->adViews.empty());
    EXPECT_EQ(owner->adViews.back(), banner);
    EXPECT_TRUE(banner->isMediated());
    EXPECT_FALSE(banner->slot()->reloadable());
    EXPECT_EQ(banner->rootViewController(), rooted->root);
    // The extras were used once and left the banner's request.
    EXPECT_FALSE(banner->slot()->loadingRequest()->adNetworkExtrasFor(ads::DZExtras::kClassName));
    EXPECT_EQ(pingValues(MediationScenarios::kImpression, "aec"), std::vector<std::string>{"0"});
}

TEST_F(DZMAdURLAdapterService, ThePagesFailuresAreTheAdaptersErrorsNotNoFill) {
    const struct {
        const char* name;
        CorePageOptions::AdAnswer answer;
        int status;
        long code;
    } cases[] = {
        {"url", CorePageOptions::AdAnswer::url, 200, DZMAdURLAdapter::kErrorCannotLoadAdURL},
        {"invalid", CorePageOptions::AdAnswer::invalid, 200, DZMAdURLAdapter::kErrorInvalidRequest},
        {"pageFails", CorePageOptions::AdAnswer::url, 500, DZMAdURLAdapter::kErrorScriptFailed},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        caseName = entry.name;
        controller.reset();
        connector.reset();
        CorePageOptions options;
        options.adAnswer = entry.answer;
        options.status = entry.status;
        ASSERT_TRUE(load(adURLNetwork("1"), options));
        ASSERT_TRUE(failed());
        ASSERT_EQ(connector->failures.size(), 1u);
        const ads::Error& error = connector->failures[0];
        EXPECT_EQ(error.domain, DZMAdURLAdapter::kErrorDomain);
        EXPECT_EQ(error.code, entry.code);
        EXPECT_EQ(error.message, DZMAdURLAdapter::errorWithCode(entry.code).message);
        ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }));
        EXPECT_EQ(pingValues(MediationScenarios::kNoFill, "aec"), std::vector<std::string>{"2"});
    }
    EXPECT_EQ(DZMAdURLAdapter::errorWithCode(1).message, "Adapter can't load ad URL.");
    EXPECT_EQ(DZMAdURLAdapter::errorWithCode(2, "9").message,
              "Received an ad load request with uninitialized banner ad and interstitial "
              "objects. Request ID: 9");
    EXPECT_EQ(DZMAdURLAdapter::errorWithCode(5).message,
              "Failed to load ad. Check network connection.");
}

TEST_F(DZMAdURLAdapterService, ASecondRequestFailsWithCodeZeroAndTheFirstBannerKeepsLoading) {
    CorePageOptions silent;
    silent.adAnswer = CorePageOptions::AdAnswer::silent;
    ASSERT_TRUE(load(adURLNetwork("1"), silent));
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    const auto first = adapter->banner();
    ASSERT_TRUE(first);
    ASSERT_FALSE(askedFor().empty());
    adapter->getBannerWithSize(ads::kDZAdSizeBanner);
    adapter->getInterstitial();
    ASSERT_EQ(connector->failures.size(), 2u);
    for (const auto& error : connector->failures) {
        EXPECT_EQ(error.domain, DZMAdURLAdapter::kErrorDomain);
        EXPECT_EQ(error.code, DZMAdURLAdapter::kErrorAlreadyInitialized);
        EXPECT_EQ(error.message, "Adapter already initialized. Create a new instance.");
    }
    EXPECT_EQ(adapter->banner(), first);
    EXPECT_FALSE(adapter->interstitial());
    // Still one question to the page, and the network still waits.
    EXPECT_EQ(logged("DUZO_getAdapterLessMediationAd").size(), 1u);
}

TEST_F(DZMAdURLAdapterService, AfterStopBeingDelegateThePageAndTheBannerAreNotHeard) {
    CorePageOptions silent;
    silent.adAnswer = CorePageOptions::AdAnswer::silent;
    ASSERT_TRUE(load(adURLNetwork("1"), silent));
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    ASSERT_FALSE(askedFor().empty());
    adapter->stopBeingDelegate();
    EXPECT_FALSE(adapter->shouldRespondToSDKCore());
    EXPECT_FALSE(adapter->banner()->delegate());

    const auto ad = ads::DZBannerAd::initWithDictionary(core::Value(slottesting::inlineAd()));
    adapter->loadAd(ad, std::nullopt);
    adapter->loadAd(nullptr, std::nullopt);
    adapter->loadAdURLWithParameters({});
    adapter->invalidJavaScriptRequest();
    adapter->failedJavaScriptFile();
    EXPECT_TRUE(connector->events.empty());
    // The late ad was not loaded into the banner.
    EXPECT_FALSE(adapter->banner()->slot()->loadingRequest());
}

TEST_F(DZMAdURLAdapterService, AnEmptyAnswerAndAnAnswerWithoutAdObjectsFail) {
    CorePageOptions silent;
    silent.adAnswer = CorePageOptions::AdAnswer::silent;
    ASSERT_TRUE(load(adURLNetwork("1"), silent));
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    adapter->loadAd(nullptr, std::nullopt);
    ASSERT_EQ(connector->failures.size(), 1u);
    EXPECT_EQ(connector->failures[0].code, DZMAdURLAdapter::kErrorEmptyAd);

    // A fresh adapter of the same network has no ad object yet.
    const auto fresh = DZMAdURLAdapter::create(connector);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->requestedAdType(), 0u);
    fresh->setRequestID("42");
    fresh->loadAd(ads::DZBannerAd::initWithDictionary(core::Value(slottesting::inlineAd())),
                  std::nullopt);
    ASSERT_EQ(connector->failures.size(), 2u);
    EXPECT_EQ(connector->failures[1].code, DZMAdURLAdapter::kErrorNoAdObject);
    EXPECT_NE(connector->failures[1].message.find("Request ID: 42"), std::string::npos);
    EXPECT_FALSE(DZMAdURLAdapter::create(nullptr));
}

}  // namespace

namespace {

class DZMAdURLAdapterInterstitialService
    : public adaptertesting::AdapterSlotTest<ads::DZMAdNetworkConnectorInterstitial> {};

TEST_F(DZMAdURLAdapterInterstitialService, ThePagesAdFillsAMediatedInterstitial) {
    CorePageOptions page;
    page.adAnswer = CorePageOptions::AdAnswer::silent;
    page.adapterLessAd = slottesting::inlineAd("<p>full screen</p>");
    server.setCorePage(page);
    makeController();
    slot = ads::DZSlot::create({0, 0, 320, 480});
    ASSERT_TRUE(slot);
    owner->kind = ads::DZSlotDelegateKind::interstitial;
    owner->own(*slot);
    slot->setSDKCoreController(controller);
    ASSERT_TRUE(start(response(
        {core::Dictionary{{"id", "1"}, {"adapters", core::Array{DZMAdURLAdapter::kClassName}}}})));
    ASSERT_TRUE(waitFor([&] { return owner->outcomes() > 0; }, 20));
    EXPECT_EQ(owner->finished, 1);
    const auto adapter = this->adapter<DZMAdURLAdapter>();
    ASSERT_TRUE(adapter && adapter->interstitial());
    EXPECT_FALSE(adapter->banner());
    EXPECT_EQ(adapter->requestedAdType(), 2u);
    EXPECT_TRUE(adapter->interstitial()->isMediated());
    EXPECT_EQ(adapter->interstitial()->adUnitID(), "");
    EXPECT_EQ(connector->events, std::vector<std::string>{"interstitial"});
    const auto asked = logged("DUZO_getAdapterLessMediationAd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["request_param"]["format"].stringValue(), "interstitial_mb");
    ASSERT_TRUE(asked[0]["request_param"].dictionary());
    EXPECT_FALSE(asked[0]["request_param"].dictionary()->contains("ad_frame"));
}

}  // namespace
