#pragma once
// The object that makes a mediated ad's network connectors (a banner view,
// an interstitial, an ad loader): an ad's mediation delegate. The
// waterfall asks it for one connector per network, may ask it for the ad
// loader configuration of a network, and, when it takes mediated ads,
// hands it each network's ad to process. Main thread.

#include <functional>
#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAd;
class DZAdLoaderConfiguration;
class DZMAdNetworkConfig;
class DZMAdNetworkConnector;
class DZMConfig;
class DZMediatedAd;

class DZAdMediationDelegate {
public:
    using ProcessCompletion = std::function<void(const std::optional<Error>& error)>;

    virtual ~DZAdMediationDelegate() = default;

    // The connector for one network of the response; nullptr when the
    // delegate has none (the waterfall then ends with SDK error 8).
    [[nodiscard]] virtual std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) {
        (void)configuration, (void)network;
        return nullptr;
    }
    // nullopt: the delegate gives no ad loader configurations.
    [[nodiscard]] virtual std::optional<std::shared_ptr<DZAdLoaderConfiguration>>
    adLoaderConfigurationForAd(const std::shared_ptr<DZAd>& ad,
                               const std::shared_ptr<DZMAdNetworkConfig>& network) {
        (void)ad, (void)network;
        return std::nullopt;
    }
    // Whether the delegate takes mediated ads through processMediatedAd.
    [[nodiscard]] virtual bool processesMediatedAds() const { return false; }
    // The completion runs once, with an error when the ad cannot be shown.
    virtual void processMediatedAd(const std::shared_ptr<DZAd>& ad,
                                   const std::shared_ptr<DZMediatedAd>& mediatedAd,
                                   ProcessCompletion completion) {
        (void)ad, (void)mediatedAd;
        if (completion) completion(DZErrorWithCode(kDZErrorInternalError));
    }
};

}  // namespace ads
