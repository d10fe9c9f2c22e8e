#pragma once
// The interstitial of publisher-server ads: it passes app events to its
// app event delegate, keeps a correlator on its slot and lets a load whose
// correlation id changed pre-empt the one under way, and hands
// custom-rendered ads to a publisher that draws them itself (acting as their
// event handler). With custom rendering on, the publisher presents the ad;
// presentFromRootViewController only logs. Main thread.

#include <cstdint>
#include <memory>

#include "ads/core/response/ZODCustomRenderedAdEventHandler.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/interstitial/DZInterstitial.h"

namespace ads {

class DZCorrelator;
class ZODCustomRenderedInterstitialDelegate;

class ZODInterstitial : public DZInterstitial, public ZODCustomRenderedAdEventHandler {
public:
    static constexpr const char* kCustomRenderingMessage =
        "Custom ad rendering is enabled. Please directly present the interstitial from the root "
        "view controller.";

    [[nodiscard]] static std::shared_ptr<ZODInterstitial> create(std::string adUnitID = "");
    using DZInterstitial::DZInterstitial;

    [[nodiscard]] std::string className() const override { return "ZODInterstitial"; }

    [[nodiscard]] std::shared_ptr<DZCorrelator> correlator() const;
    // nullptr is ignored; otherwise the slot is made if needed and keeps it.
    void setCorrelator(const std::shared_ptr<DZCorrelator>& correlator);
    [[nodiscard]] std::uint32_t previousCorrelationID() const { return previousCorrelationID_; }
    [[nodiscard]] bool customAdRenderingEnabled() const { return customAdRenderingEnabled_; }
    [[nodiscard]] std::shared_ptr<DZAppEventDelegate> appEventDelegate() const {
        return appEventDelegate_.lock();
    }
    void setAppEventDelegate(std::weak_ptr<DZAppEventDelegate> delegate) {
        appEventDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<ZODCustomRenderedInterstitialDelegate>
    customRenderedInterstitialDelegate() const {
        return customRenderedInterstitialDelegate_.lock();
    }
    void setCustomRenderedInterstitialDelegate(
        std::weak_ptr<ZODCustomRenderedInterstitialDelegate> delegate) {
        customRenderedInterstitialDelegate_ = std::move(delegate);
    }

    void presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) override;

    // DZSlotDelegate.
    bool receivesAppEvents() const override { return true; }
    void didReceiveAppEvent(DZSlot& slot, const std::string& name,
                            const std::optional<std::string>& info) override;
    void willLoadAdWithRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request) override;
    bool slotShouldPreemptInProgressRequest(DZSlot& slot) override;
    bool notifyPublisherToRenderCustomRenderingAd(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                                  std::optional<Error>* error) override;

    // ZODCustomRenderedAdEventHandler.
    void recordClick() override;
    void recordCustomAdImpression() override;
    void finishedRenderingAdView(const std::shared_ptr<ui::View>& view) override;

private:
    std::uint32_t previousCorrelationID_ = 0;
    bool customAdRenderingEnabled_ = false;
    std::weak_ptr<DZAppEventDelegate> appEventDelegate_;
    std::weak_ptr<ZODCustomRenderedInterstitialDelegate> customRenderedInterstitialDelegate_;
};

}  // namespace ads
