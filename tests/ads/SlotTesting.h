#pragma once
// Shared by the slot tests: an owner that plays every delegate role of a
// slot and records what it hears, an event log read back from the sawmill,
// and inline ads that load without the core page.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "SawmillTesting.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/core/slot/DZSlotAdKeyDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "core/RunLoop.h"

namespace slottesting {

using adwebtesting::waitFor;

// Every delegate role at once. What it answers is set by its fields.
class RecordingOwner : public ads::DZSlotDelegate,
                       public ads::DZSlotAdLoadDelegate,
                       public ads::DZSlotAdEventDelegate,
                       public ads::DZSlotAdResponseDelegate,
                       public ads::DZSlotAdKeyDelegate,
                       public ads::DZAdMediationDelegate,
                       public std::enable_shared_from_this<RecordingOwner> {
public:
    // Answers.
    ads::DZSlotDelegateKind kind = ads::DZSlotDelegateKind::banner;
    std::optional<std::vector<ads::DZAdSize>> sizes;
    std::optional<ads::DZAdSize> ownSize;
    std::optional<gfx::Rect> ownBounds;
    std::optional<bool> reload;
    bool preempt = false;
    // nullopt: the owner has no say; false refuses with refusal (if any).
    std::optional<bool> shouldLoad;
    std::optional<ads::Error> refusal;
    bool takesSizes = false;
    bool rendersCustomAds = false;
    bool becomesMediationDelegate = false;
    std::function<void()> onSetAdSize;
    // The connector per network, as a banner view or interstitial makes it.
    std::function<std::shared_ptr<ads::DZMAdNetworkConnector>(
        const std::shared_ptr<ads::DZMConfig>&, const std::shared_ptr<ads::DZMAdNetworkConfig>&)>
        makeConnector;
    bool takesAppEvents = false;

    // What it heard.
    int finished = 0;
    std::vector<ads::Error> failures;
    std::vector<ads::DZAdSize> sizesSet;
    std::vector<gfx::Size> contentSizes;
    std::vector<std::shared_ptr<ads::DZAd>> customAds;
    int clicks = 0;
    std::vector<std::shared_ptr<ui::View>> adViews;
    // "<name>=<info>".
    std::vector<std::string> appEvents;
    // "present", "willDismiss", "dismiss", "leave".
    std::vector<std::string> screenEvents;

    ads::DZSlotDelegateKind slotDelegateKind() const override { return kind; }
    std::optional<bool> shouldLoadRequest(ads::DZSlot&, const std::shared_ptr<ads::DZRequest>&,
                                          std::optional<ads::Error>* error) override {
        if (shouldLoad == false && refusal) *error = refusal;
        return shouldLoad;
    }
    std::optional<bool> slotShouldReloadCurrentRequest(ads::DZSlot&) override { return reload; }
    bool slotShouldPreemptInProgressRequest(ads::DZSlot&) override { return preempt; }
    std::optional<gfx::Rect> bounds() const override { return ownBounds; }
    bool takesAdSizeChanges() const override { return takesSizes; }
    void setAdSize(const ads::DZAdSize& adSize, bool reloadNow) override {
        EXPECT_FALSE(reloadNow);
        sizesSet.push_back(adSize);
        if (onSetAdSize) onSetAdSize();
    }
    std::optional<ads::DZAdSize> adSize() const override { return ownSize; }
    std::optional<std::vector<ads::DZBoxedValue>> validAdSizes() const override {
        if (!sizes) return std::nullopt;
        std::vector<ads::DZBoxedValue> boxed;
        for (const auto& size : *sizes) boxed.push_back(ads::DZAdSizeBoxedValue(size));
        return boxed;
    }
    void didReceiveAdView(ads::DZSlot&, const std::shared_ptr<ui::View>& view) override {
        adViews.push_back(view);
    }
    bool receivesAppEvents() const override { return takesAppEvents; }
    void didReceiveAppEvent(ads::DZSlot&, const std::string& name,
                            const std::optional<std::string>& info) override {
        appEvents.push_back(name + "=" + info.value_or(""));
    }
    void slotWillPresentScreen(ads::DZSlot&) override { screenEvents.push_back("present"); }
    void slotWillDismissScreen(ads::DZSlot&) override { screenEvents.push_back("willDismiss"); }
    void slotDidDismissScreen(ads::DZSlot&) override { screenEvents.push_back("dismiss"); }
    void slotWillLeaveApplication(ads::DZSlot&) override { screenEvents.push_back("leave"); }
    std::shared_ptr<ads::DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<ads::DZMConfig>& configuration,
                                       const std::shared_ptr<ads::DZMAdNetworkConfig>& network) override {
        return makeConnector ? makeConnector(configuration, network) : nullptr;
    }
    void contentSizeDidChange(ads::DZSlot&, gfx::Size size) override {
        contentSizes.push_back(size);
    }
    bool notifyPublisherToRenderCustomRenderingAd(ads::DZSlot&,
                                                  const std::shared_ptr<ads::DZAd>& ad,
                                                  std::optional<ads::Error>*) override {
        customAds.push_back(ad);
        return rendersCustomAds;
    }

    void slotDidReceiveAdClick(ads::DZSlot&) override { ++clicks; }

    void slotFinishedLoadingAdContent(ads::DZSlot&) override {
        EXPECT_TRUE(core::RunLoop::isMainThread());
        ++finished;
    }
    void didFailToLoadAdContentWithError(ads::DZSlot&, const ads::Error& error) override {
        EXPECT_TRUE(core::RunLoop::isMainThread());
        failures.push_back(error);
    }

    bool shouldProcessAdResponse(ads::DZSlot&, const std::shared_ptr<ads::DZAd>&,
                                 std::optional<ads::Error>*) override {
        return true;
    }
    void willProcessMediatedAdResponse(ads::DZSlot&,
                                       const std::shared_ptr<ads::DZAd>& ad) override {
        if (becomesMediationDelegate) ad->setMediationDelegate(shared_from_this());
    }

    void cacheViewHierarchyInformationForSlot(ads::DZSlot&) override {}
    std::optional<core::Dictionary> viewHierarchyInformationForSlot(ads::DZSlot&) override {
        return std::nullopt;
    }

    // Made the slot's delegate in every role.
    void own(ads::DZSlot& slot) {
        const auto self = shared_from_this();
        slot.setSlotDelegate(self);
        slot.setAdLoadDelegate(self);
        slot.setAdEventDelegate(self);
        slot.setAdResponseDelegate(self);
        slot.setAdKeyDelegate(self);
    }
    [[nodiscard]] size_t outcomes() const { return size_t(finished) + failures.size(); }
};

// The names of the "slot" events the load logs send, in order. The sawmill
// counts as loaded, so every event goes out as it is logged.
class SlotEventLog {
public:
    SlotEventLog() { ads::DZSawmill::sharedInstance()->setCommandExecutorForTesting(executor_); }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const core::Array& call : executor_->calls())
            for (const core::Value& params : testsupport::paramsOf(call))
                if (const core::Dictionary* events = params["slot"].dictionary())
                    for (const auto& [name, value] : *events) found.push_back(name);
        return found;
    }
    // The parameters of the last event of that name (null when none).
    [[nodiscard]] core::Value last(const std::string& name) const {
        core::Value found;
        for (const core::Array& call : executor_->calls())
            for (const core::Value& params : testsupport::paramsOf(call))
                if (const core::Value* value = params["slot"].dictionary()
                                                   ? params["slot"].dictionary()->find(name)
                                                   : nullptr)
                    found = *value;
        return found;
    }

private:
    testsupport::SawmillSettingsScope settings_;
    std::shared_ptr<testsupport::RecordingSawmillExecutor> executor_ =
        std::make_shared<testsupport::RecordingSawmillExecutor>();
};

// A request whose extras carry these additional parameters.
inline std::shared_ptr<ads::DZRequest> requestWithExtras(core::Dictionary extras) {
    auto request = std::make_shared<ads::DZRequest>();
    request->registerAdNetworkExtras(std::make_shared<ads::DZExtras>(std::move(extras)));
    return request;
}

// An inline HTML ad of a banner slot.
inline core::Dictionary inlineAd(const std::string& html = "<p>inline ad</p>") {
    return {{"ad_html", html}, {"ad_base_url", "https://ads.test/"}};
}

// A banner slot of that size, owned by owner.
inline std::shared_ptr<ads::DZSlot> bannerSlot(RecordingOwner& owner,
                                               const ads::DZAdSize& size = ads::kDZAdSizeBanner) {
    auto slot = ads::DZSlot::create({0, 0, size.size.width, size.size.height});
    if (!slot) return nullptr;
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(size), false);
    slot->setAdUnitID("unit/1");
    owner.own(*slot);
    return slot;
}

}  // namespace slottesting
