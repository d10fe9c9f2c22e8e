#pragma once
// An ad that a network of the waterfall filled, as the SDK hands it to the
// ad object that asked (DZAdMediationDelegate::processMediatedAd): the
// network's adapter class, and the handlers that report its clicks and
// impressions back to the waterfall's pings. An ad loader turns it into the
// ad its delegate receives (loadableAdForAdLoader). The banner form carries
// the network's view and its connector; the native form is
// DZMediatedNativeAd. Main thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Geometry.h"

namespace ui {
class View;
}

namespace ads {

class DZAdLoader;
class DZBannerView;
class DZLoadable;
class DZMAdNetworkConnectorBanner;
class DZMAdNetworkConfig;
class DZMConfig;

class DZMediatedAd {
public:
    using Handler = std::function<void()>;

    DZMediatedAd() = default;
    virtual ~DZMediatedAd() = default;
    DZMediatedAd(const DZMediatedAd&) = delete;
    DZMediatedAd& operator=(const DZMediatedAd&) = delete;

    void addClickHandler(Handler handler);
    void addImpressionHandler(Handler handler);
    // Run every handler of the list, in the order added.
    virtual void reportClick() const;
    virtual void reportImpression() const;

    [[nodiscard]] const std::optional<std::string>& adNetworkClassName() const {
        return adNetworkClassName_;
    }
    void setAdNetworkClassName(std::optional<std::string> name) {
        adNetworkClassName_ = std::move(name);
    }

    // The ad the loader hands its delegate; the base makes none.
    [[nodiscard]] virtual std::shared_ptr<DZLoadable> loadableAdForAdLoader(DZAdLoader& loader);

private:
    std::vector<Handler> clickHandlers_;
    std::vector<Handler> impressionHandlers_;
    std::optional<std::string> adNetworkClassName_;
};

class DZMediatedBannerAd : public DZMediatedAd {
public:
    // The connector's adapter class names the network.
    DZMediatedBannerAd(std::shared_ptr<ui::View> view,
                       std::shared_ptr<DZMAdNetworkConnectorBanner> connector);

    [[nodiscard]] const std::shared_ptr<ui::View>& view() const { return view_; }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnectorBanner>& connector() const {
        return connector_;
    }

    // The banner the loader hands its delegate: bannerForAdLoader() when
    // that banner is loadable, else nullptr.
    [[nodiscard]] std::shared_ptr<DZLoadable> loadableAdForAdLoader(DZAdLoader& loader) override;
    // A new banner showing the network's view in its slot: sized by the
    // network's first slot size, else the response's default slot size,
    // else the view's frame; given the loader's ad unit, the banner options
    // of the loader, a copy of the delegate's valid banner sizes; the
    // network's queued app events are replayed to the options' app-event
    // delegate, in order, and the connector's queue is emptied.
    [[nodiscard]] std::shared_ptr<DZBannerView> bannerForAdLoader(DZAdLoader& loader);
    // The size a slot size text ("320x50") names; zero for text of another
    // form.
    [[nodiscard]] static gfx::Size sizeFromSlotSizeText(const std::string& text);
    // The size the banner gets, by the rule above.
    [[nodiscard]] gfx::Size bannerSize() const;

private:
    const std::shared_ptr<ui::View> view_;
    const std::shared_ptr<DZMAdNetworkConnectorBanner> connector_;
};

}  // namespace ads
