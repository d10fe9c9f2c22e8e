#pragma once
// An ad that a network of the waterfall filled, as the SDK hands it to the
// ad object that asked (DZAdMediationDelegate::processMediatedAd): the
// network's adapter class, and the handlers that report its clicks and
// impressions back to the waterfall's pings. The banner form carries the
// network's view and its connector. Main thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class View;
}

namespace ads {

class DZMAdNetworkConnectorBanner;

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
    void reportClick() const;
    void reportImpression() const;

    [[nodiscard]] const std::optional<std::string>& adNetworkClassName() const {
        return adNetworkClassName_;
    }
    void setAdNetworkClassName(std::optional<std::string> name) {
        adNetworkClassName_ = std::move(name);
    }

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

private:
    const std::shared_ptr<ui::View> view_;
    const std::shared_ptr<DZMAdNetworkConnectorBanner> connector_;
};

}  // namespace ads
