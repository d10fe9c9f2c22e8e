#pragma once
// Shared by the native ad service tests: the SDK core page and the native
// support page on the local ad server, a manual clock, and an ad loader
// delegate that records what it hears, in order.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SDKCoreTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "core/UserDefaults.h"
#include "fixtures/NativeAds.h"

namespace nativetesting {

using adwebtesting::drainMainQueue;
using adwebtesting::waitFor;

// Every native ad loader delegate role. Events: "ad <headline or template>
// <final?>" is not known to the delegate, so only "ad <name>", "fail <code>
// <message>" and "finish".
class RecordingLoaderDelegate : public ads::DZNativeContentAdLoaderDelegate,
                                public ads::DZNativeAppInstallAdLoaderDelegate,
                                public ads::DZNativeCustomTemplateAdLoaderDelegate {
public:
    std::vector<std::string> events;
    std::vector<std::shared_ptr<ads::DZNativeAd>> ads;
    std::optional<core::Array> templateIDs = core::Array{"10104"};
    bool loadingAtFinalCallback = true;

    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader& loader,
                                             const ads::DZRequestError& error) override {
        loadingAtFinalCallback = loader.isLoading();
        events.push_back("fail " + std::to_string(error.code) + " " + error.message);
    }
    void adLoaderDidFinishLoading(ads::DZAdLoader&) override { events.push_back("finish"); }
    void adLoaderDidReceiveNativeContentAd(
        ads::DZAdLoader& loader, const std::shared_ptr<ads::DZNativeContentAd>& ad) override {
        loadingAtFinalCallback = loader.isLoading();
        ads.push_back(ad);
        events.push_back("ad " + ad->headline().value_or(""));
    }
    void adLoaderDidReceiveNativeAppInstallAd(
        ads::DZAdLoader& loader, const std::shared_ptr<ads::DZNativeAppInstallAd>& ad) override {
        loadingAtFinalCallback = loader.isLoading();
        ads.push_back(ad);
        events.push_back("ad " + ad->headline().value_or(""));
    }
    std::optional<core::Array> nativeCustomTemplateIDsForAdLoader(ads::DZAdLoader&) override {
        return templateIDs;
    }
    void adLoaderDidReceiveNativeCustomTemplateAd(
        ads::DZAdLoader&, const std::shared_ptr<ads::DZNativeCustomTemplateAd>& ad) override {
        ads.push_back(ad);
        events.push_back("ad template " + ad->templateID());
    }
};

// Content ads only.
class ContentOnlyDelegate : public ads::DZNativeContentAdLoaderDelegate {
public:
    void adLoaderDidFailToReceiveAdWithError(ads::DZAdLoader&, const ads::DZRequestError&) override {}
    void adLoaderDidReceiveNativeContentAd(ads::DZAdLoader&,
                                           const std::shared_ptr<ads::DZNativeContentAd>&) override {}
};

class NativeTest : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [this](ads::DZSDKCoreController::ScriptBuilder builder) {
                settingsRequests.push_back(std::move(builder));
            });
        useSupportPage("");
    }
    void TearDown() override {
        loader.reset();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        core::UserDefaults::standard()->removeObjectForKey(
            std::string(ads::DZNativeAd::kSupportURLKey));
        SDKCoreTest::TearDown();
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    // The support page of the local server, with a query ("mode=silent").
    // The core page delivers it too, as the server constant.
    void useSupportPage(const std::string& query, const char* path = fixtures::NativeAds::kSupportPath) {
        const std::string url = server.urlString(std::string(path) + (query.empty() ? "" : "?" + query));
        core::UserDefaults::standard()->setObject(std::string(ads::DZNativeAd::kSupportURLKey), url);
        fixtures::CorePageOptions options = server.corePage();
        options.constants.set("native_ad_support_url", url);
        server.setCorePage(std::move(options));
    }
    // A loader of these ad types on the test's own core page.
    std::shared_ptr<ads::DZAdLoader> makeLoader(
        const std::string& unit, const std::vector<std::string>& types,
        const std::vector<std::shared_ptr<ads::DZAdLoaderOptions>>& options = {}) {
        loader = ads::DZAdLoader::create(unit, {}, types, options);
        EXPECT_TRUE(loader);
        if (!loader) return nullptr;
        loader->slot()->setSDKCoreController(makeController());
        loader->setDelegate(delegate);
        return loader;
    }
    // What the support page reported to the server ("click", "impression",
    // "preprocess"), parsed.
    std::vector<core::Value> received(const std::string& kind) const {
        std::vector<core::Value> values;
        for (const auto& request : server.requestsTo(fixtures::NativeAds::kReceivedPath)) {
            if (request.queryValue("kind") != kind) continue;
            values.push_back(core::JSON::parse(request.queryValue("data").value_or("")).value_or(
                core::Value()));
        }
        return values;
    }

    // Runs the main run loop until count requests reached path.
    [[nodiscard]] bool requested(std::string_view path, size_t count = 1,
                                 double limit = adwebtesting::kLoadLimit) const {
        return waitFor([&] { return server.requestsTo(path).size() >= count; }, limit);
    }

    std::vector<ads::DZSDKCoreController::ScriptBuilder> settingsRequests;
    std::shared_ptr<RecordingLoaderDelegate> delegate = std::make_shared<RecordingLoaderDelegate>();
    std::shared_ptr<ads::DZAdLoader> loader;
};

}  // namespace nativetesting
