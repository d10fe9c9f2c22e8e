#pragma once
// The publisher-server banner: a DZBannerView that also
// - takes a list of acceptable ad sizes, which its slot sends with each
//   request and checks each response against; setting them through
//   setValidAdSizesWithSizes, like resize, marks every later request of
//   the process ("dcs" and "dcr" "1");
// - passes the ad page's app events to its app event delegate;
// - hands custom-rendered ads to its custom-render delegate and records
//   their clicks, impressions and rendering in its slot (no such delegate:
//   the load fails with SDK error 12);
// - records manual impressions, and lets a new correlator pre-empt a load
//   that is still under way (never the first load, never the same
//   correlator);
// - is an ad that the native ad loader can deliver (ad type "-1").
// Initialisers, load cycle, refresh policy and delegate callbacks are the
// banner's. Main thread.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/response/ZODCustomRenderedAdEventHandler.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZLoadable.h"
#include "ads/presentation/banner/DZBannerView.h"

namespace ads {

class DZAppEventDelegate;
class DZCorrelator;
class DZMAdNetworkConnector;
class DZMAdNetworkConfig;
class DZMConfig;
class ZODBannerView;
class ZODCustomRenderedAd;

// Renders the custom-rendered ads of a publisher banner.
class ZODCustomRenderedBannerViewDelegate {
public:
    virtual ~ZODCustomRenderedBannerViewDelegate() = default;
    virtual void didReceiveCustomRenderedAd(ZODBannerView& banner,
                                            const std::shared_ptr<ZODCustomRenderedAd>& ad) = 0;
};

// What an ad loader's delegate adopts to receive publisher banners.
class ZODBannerAdLoaderDelegate : public virtual DZAdLoaderDelegate {
public:
    // Boxed DZAdSize values.
    [[nodiscard]] virtual std::vector<DZBoxedValue>
    validBannerSizesForAdLoader(DZAdLoader& loader) = 0;
    virtual void adLoaderDidReceiveZODBannerView(DZAdLoader& loader,
                                                 const std::shared_ptr<ZODBannerView>& banner) = 0;
};

class ZODBannerView : public DZBannerView,
                      public DZLoadable,
                      public ZODCustomRenderedAdEventHandler {
public:
    static constexpr const char* kClassName = "ZODBannerView";

    [[nodiscard]] static std::shared_ptr<ZODBannerView> create(const gfx::Rect& frame,
                                                               const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<ZODBannerView> createWithAdSize(const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<ZODBannerView> createWithAdSize(const DZAdSize& adSize,
                                                                         gfx::Point origin);
    [[nodiscard]] static std::shared_ptr<ZODBannerView> create(const gfx::Rect& frame = {});

    [[nodiscard]] std::string className() const override { return kClassName; }

    // Publisher operations.
    // Boxes the sizes in order, keeps them, and marks every later request
    // of the process with "dcs" "1".
    void setValidAdSizesWithSizes(std::initializer_list<DZAdSize> sizes);
    [[nodiscard]] const std::optional<std::vector<DZBoxedValue>>& validAdSizes() const {
        return validAdSizes_;
    }
    void setValidAdSizes(std::optional<std::vector<DZBoxedValue>> sizes) {
        validAdSizes_ = std::move(sizes);
    }
    // The new size without a reload; marks every later request of the
    // process with "dcr" "1".
    void resize(const DZAdSize& adSize);
    // Pings the manual impression URLs of the shown ad.
    void recordImpression();
    [[nodiscard]] bool enableManualImpressions() const;
    void setEnableManualImpressions(bool enabled);
    [[nodiscard]] std::shared_ptr<DZCorrelator> correlator() const;
    void setCorrelator(std::shared_ptr<DZCorrelator> correlator);
    [[nodiscard]] std::shared_ptr<DZAppEventDelegate> appEventDelegate() const {
        return appEventDelegate_.lock();
    }
    void setAppEventDelegate(std::weak_ptr<DZAppEventDelegate> delegate) {
        appEventDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<ZODCustomRenderedBannerViewDelegate>
    customRenderedBannerViewDelegate() const {
        return customRenderedBannerViewDelegate_.lock();
    }
    void setCustomRenderedBannerViewDelegate(
        std::weak_ptr<ZODCustomRenderedBannerViewDelegate> delegate) {
        customRenderedBannerViewDelegate_ = std::move(delegate);
    }
    [[nodiscard]] std::uint32_t previousCorrelationID() const { return previousCorrelationID_; }

    // ZODCustomRenderedAdEventHandler.
    void recordClick() override;
    void recordCustomAdImpression() override;
    void finishedRenderingAdView(const std::shared_ptr<ui::View>& view) override;

    // The slot's questions and events.
    void slotWillLoadAdWithRequest(DZSlot& slot,
                                   const std::shared_ptr<DZRequest>& request) override;
    [[nodiscard]] bool slotShouldPreemptInProgressRequest(DZSlot& slot) override;
    void slotWillResizeToAdSize(DZSlot& slot, const DZAdSize& adSize) override;
    [[nodiscard]] std::optional<std::vector<DZBoxedValue>> slotValidAdSizes() const override {
        return validAdSizes_;
    }
    [[nodiscard]] bool receivesAppEvents() const override { return true; }
    void slotDidReceiveAppEvent(DZSlot& slot, const std::string& name,
                                const std::optional<std::string>& info) override;
    [[nodiscard]] bool
    slotNotifyPublisherToRenderCustomRenderingAd(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                                 std::optional<Error>* error) override;

    // DZLoadable.
    void loadAssetsWithCompletionHandler(AssetCompletion handler) override;
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }

    // The class side the ad loader sees.
    class AdClass : public DZLoadableClass {
    public:
        [[nodiscard]] std::string className() const override { return kClassName; }
        [[nodiscard]] const DZDelegateProtocol& requiredDelegateProtocol() const override;
        // {"allowed_response_types": ["iba"], "sz_array": the sizes} when the
        // loader's delegate gives banner sizes; else empty.
        [[nodiscard]] core::Dictionary
        requestParametersForAdLoader(DZAdLoader& loader) const override;
        // The delegate's banner sizes that go into "sz_array".
        [[nodiscard]] std::vector<DZBoxedValue>
        validAdSizesForAdLoader(DZAdLoader& loader) const override;
        // False with SDK error 12 when the delegate gives no banner size.
        [[nodiscard]] bool canInitWithAdLoader(DZAdLoader& loader,
                                               std::optional<Error>* error) const override;
        // A banner connector for a network whose response type is "banner";
        // nullptr otherwise.
        [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector> mediationConnectorForConfiguration(
            const std::shared_ptr<DZMConfig>& configuration,
            const std::shared_ptr<DZMAdNetworkConfig>& network) const override;
    };
    [[nodiscard]] static const AdClass& adClass();

    ZODBannerView(Token token, const gfx::Rect& frame) : DZBannerView(token, frame) {}

private:
    std::uint32_t previousCorrelationID_ = 0;
    std::weak_ptr<DZAppEventDelegate> appEventDelegate_;
    std::optional<std::vector<DZBoxedValue>> validAdSizes_;
    std::weak_ptr<ZODCustomRenderedBannerViewDelegate> customRenderedBannerViewDelegate_;
};

}  // namespace ads
