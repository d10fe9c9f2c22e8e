#pragma once
// The public view of a native express ad: an ad whose native assets the
// server renders into HTML from a template, so that it shows and behaves
// like a banner. It owns one DZBannerView, made with it and never replaced,
// which fills it; it forwards the banner's properties, asks for native
// express ads with every request (a copy of the publisher's request), and
// passes the banner's events on to its own delegate with itself as sender.
// It answers its banner's slot about responses: every response is
// processed, and a mediated one runs with this view as its mediation
// delegate, which gives each network the native express connector and the
// ad loader configuration its template needs.
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ui/View.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdLoaderOptions;
class DZBannerView;
class DZNativeExpressAdView;
class DZRequest;
class DZVideoController;

class DZNativeExpressAdViewDelegate {
public:
    virtual ~DZNativeExpressAdViewDelegate() = default;
    virtual void nativeExpressAdViewDidReceiveAd(DZNativeExpressAdView& view) { (void)view; }
    virtual void didFailToReceiveAdWithError(DZNativeExpressAdView& view,
                                             const DZRequestError& error) {
        (void)view, (void)error;
    }
    virtual void nativeExpressAdViewWillPresentScreen(DZNativeExpressAdView& view) { (void)view; }
    virtual void nativeExpressAdViewWillDismissScreen(DZNativeExpressAdView& view) { (void)view; }
    virtual void nativeExpressAdViewDidDismissScreen(DZNativeExpressAdView& view) { (void)view; }
    virtual void nativeExpressAdViewWillLeaveApplication(DZNativeExpressAdView& view) {
        (void)view;
    }
};

class DZNativeExpressAdView : public ui::View,
                              public DZBannerViewDelegate,
                              public DZAdMediationDelegate,
                              public DZSlotAdResponseDelegate {
public:
    static constexpr std::string_view kEventName = "native_express_adview";

    // nullptr when the banner cannot be made.
    [[nodiscard]] static std::shared_ptr<DZNativeExpressAdView> create(const gfx::Rect& frame,
                                                                       const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<DZNativeExpressAdView>
    createWithAdSize(const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<DZNativeExpressAdView>
    createWithAdSize(const DZAdSize& adSize, gfx::Point origin);
    // The known ad size matching the frame's size.
    [[nodiscard]] static std::shared_ptr<DZNativeExpressAdView> create(const gfx::Rect& frame);
    ~DZNativeExpressAdView() override;

    // A copy of the request, with native express ads asked for, goes to the
    // banner; the publisher's request is left as it is.
    void loadRequest(const std::shared_ptr<DZRequest>& request);

    // Forwarded to the banner.
    [[nodiscard]] const std::optional<std::string>& adUnitID() const;
    void setAdUnitID(std::optional<std::string> adUnitID);
    [[nodiscard]] std::shared_ptr<ui::ViewController> rootViewController() const;
    void setRootViewController(const std::shared_ptr<ui::ViewController>& controller);
    [[nodiscard]] DZAdSize adSize() const;
    void setAdSize(const DZAdSize& adSize);
    [[nodiscard]] bool isAutoloadEnabled() const;
    void setAutoloadEnabled(bool enabled);
    [[nodiscard]] std::optional<std::string> adNetworkClassName() const;
    [[nodiscard]] const std::shared_ptr<DZVideoController>& videoController() const;
    void setAdOptions(const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;

    [[nodiscard]] std::shared_ptr<DZNativeExpressAdViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZNativeExpressAdViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] const std::shared_ptr<DZBannerView>& bannerView() const { return bannerView_; }

    // DZBannerViewDelegate: relayed with this view as sender.
    void adViewDidReceiveAd(DZBannerView& view) override;
    void didFailToReceiveAdWithError(DZBannerView& view, const DZRequestError& error) override;
    void adViewWillPresentScreen(DZBannerView& view) override;
    void adViewWillDismissScreen(DZBannerView& view) override;
    void adViewDidDismissScreen(DZBannerView& view) override;
    void adViewWillLeaveApplication(DZBannerView& view) override;

    // DZSlotAdResponseDelegate.
    [[nodiscard]] bool shouldProcessAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                               std::optional<Error>* error) override;
    void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) override;

    // DZAdMediationDelegate.
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) override;
    [[nodiscard]] std::optional<std::shared_ptr<DZAdLoaderConfiguration>>
    adLoaderConfigurationForAd(const std::shared_ptr<DZAd>& ad,
                               const std::shared_ptr<DZMAdNetworkConfig>& network) override;

private:
    struct Token {};

public:
    DZNativeExpressAdView(Token, const gfx::Rect& frame) : ui::View(frame) {}

private:
    [[nodiscard]] static std::shared_ptr<DZNativeExpressAdView>
    make(const gfx::Rect& frame, const std::shared_ptr<DZBannerView>& banner);
    void commonInitWithBannerView(const std::shared_ptr<DZBannerView>& banner);
    void rootObjectLoggerChanged();
    [[nodiscard]] std::shared_ptr<const void> loggingObject() const;

    std::shared_ptr<DZBannerView> bannerView_;
    std::weak_ptr<DZNativeExpressAdViewDelegate> delegate_;
};

}  // namespace ads
