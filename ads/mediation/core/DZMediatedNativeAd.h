#pragma once
// A native ad that a network of the waterfall filled: the network's own
// native ad object (`ad`), what its adapter said about reporting, and the
// view the publisher last rendered it in. The native ad object the loader
// makes of it (DZNativeAppInstallAd, DZNativeContentAd or
// DZNativeCustomTemplateAd) keeps it and reports through it:
//
//   what the SDK's view policy saw   -> reportImpression,
//                                       reportClickOnAssetWithWithName
//   what the network announced       -> reportAdNetworkImpression,
//                                       reportAdNetworkClick
//
// The adapter's flags decide which side runs the waterfall's handlers, so
// each impression and each click pings once. Rendering moves from view to
// view: the network is told of each new view, and of the one it leaves.
//
// Main thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/mediation/core/DZMediatedAd.h"

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZLoadableClass;
class DZMAdNetworkConnector;
class DZMediatedNativeAdProtocol;

class DZMediatedNativeAd : public DZMediatedAd,
                           public std::enable_shared_from_this<DZMediatedNativeAd> {
public:
    DZMediatedNativeAd() = default;

    // The native ad class for the network's ad: app install, content or
    // custom template by the interface it adopts (in that order); nullptr
    // for none.
    [[nodiscard]] const DZLoadableClass* nativeAdClass() const;
    // A native ad object of that class around this mediated ad, set up for
    // the loader (ad unit, root view controller, attribution); nullptr
    // without a class. An ad of the SDK's own network that already is such
    // an object is taken over as it is.
    [[nodiscard]] std::shared_ptr<DZLoadable> loadableAdForAdLoader(DZAdLoader& loader) override;

    // Reporting (see the header comment).
    void reportImpression() const override;
    void reportClickOnAssetWithWithName(const std::optional<std::string>& assetName,
                                        const std::shared_ptr<ui::View>& view,
                                        const std::shared_ptr<ui::ViewController>& viewController);
    void reportAdNetworkImpression() const;
    void reportAdNetworkClick() const;
    // The network hears of a view only once while it stays the rendered
    // one; a new view untracks the old first.
    void reportMediatedAdRenderedInView(const std::shared_ptr<ui::View>& view,
                                        const std::shared_ptr<ui::ViewController>& viewController);
    void reportMediatedAdShouldUntrackView(const std::shared_ptr<ui::View>& view);

    [[nodiscard]] std::shared_ptr<ui::View> renderedView() const { return renderedView_.lock(); }
    [[nodiscard]] bool adapterHandlesUserClicks() const { return adapterHandlesUserClicks_; }
    void setAdapterHandlesUserClicks(bool handles) { adapterHandlesUserClicks_ = handles; }
    [[nodiscard]] bool adapterHandlesUserImpressions() const {
        return adapterHandlesUserImpressions_;
    }
    void setAdapterHandlesUserImpressions(bool handles) { adapterHandlesUserImpressions_ = handles; }
    [[nodiscard]] bool allowPublisherRenderedAttribution() const {
        return allowPublisherRenderedAttribution_;
    }
    void setAllowPublisherRenderedAttribution(bool allow) {
        allowPublisherRenderedAttribution_ = allow;
    }
    [[nodiscard]] const std::shared_ptr<DZMediatedNativeAdProtocol>& ad() const { return ad_; }
    void setAd(std::shared_ptr<DZMediatedNativeAdProtocol> ad) { ad_ = std::move(ad); }
    // The connector whose pings the waterfall's handlers send, kept as long
    // as the ad.
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnector>& connector() const {
        return connector_;
    }
    void setConnector(std::shared_ptr<DZMAdNetworkConnector> connector) {
        connector_ = std::move(connector);
    }

private:
    std::weak_ptr<ui::View> renderedView_;
    bool adapterHandlesUserClicks_ = false;
    bool adapterHandlesUserImpressions_ = false;
    bool allowPublisherRenderedAttribution_ = false;
    std::shared_ptr<DZMediatedNativeAdProtocol> ad_;
    std::shared_ptr<DZMAdNetworkConnector> connector_;
};

}  // namespace ads
