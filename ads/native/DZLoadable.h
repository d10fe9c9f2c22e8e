#pragma once
// The ad objects an ad loader can deliver, and their class side. Each ad
// class registers one DZLoadableClass under its class name (the names that
// DZNativeAdClassForAdLoaderAdType gives); the loader asks it for request
// parameters, whether it can serve the loader, the delegate protocol its
// ads need and, for native ad classes, a new ad from one "ads" entry.
// Main thread.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZAdLoader;
class DZAdLoaderDelegate;
class DZLoadableClass;
class DZMAdNetworkConfig;
class DZMAdNetworkConnector;
class DZMConfig;
class DZMediatedNativeAd;
class DZNativeAd;
class DZAdLoaderOptions;

// A delegate protocol by name, with the test of whether a delegate adopts it.
struct DZDelegateProtocol {
    std::string name;
    std::function<bool(const DZAdLoaderDelegate&)> adoptedBy;
};

class DZLoadable {
public:
    using AssetCompletion = std::function<void(const std::optional<Error>& error)>;

    virtual ~DZLoadable() = default;
    virtual void loadAssetsWithCompletionHandler(AssetCompletion handler) = 0;
    // Hands the ad to the loader's delegate through its class's method.
    virtual void adLoaderDidReceiveAd(DZAdLoader& loader) = 0;
    [[nodiscard]] virtual const DZLoadableClass& loadableClass() const = 0;
};

class DZLoadableClass {
public:
    using Options = std::map<std::string, std::shared_ptr<const DZAdLoaderOptions>>;

    virtual ~DZLoadableClass() = default;
    [[nodiscard]] virtual std::string className() const = 0;
    [[nodiscard]] virtual const DZDelegateProtocol& requiredDelegateProtocol() const = 0;
    [[nodiscard]] virtual core::Dictionary requestParametersForAdLoader(DZAdLoader& loader) const = 0;
    // The ad sizes behind the "sz_array" of those parameters, boxed, in
    // their order; none for classes whose parameters have no sizes.
    [[nodiscard]] virtual std::vector<DZBoxedValue>
    validAdSizesForAdLoader(DZAdLoader& loader) const {
        (void)loader;
        return {};
    }
    [[nodiscard]] virtual bool canInitWithAdLoader(DZAdLoader& loader,
                                                   std::optional<Error>* error) const = 0;
    // A native ad from one entry of the "ads" array; nullptr when the entry
    // makes no usable ad or the class builds no native ads.
    [[nodiscard]] virtual std::shared_ptr<DZNativeAd>
    initWithDictionary(const core::Dictionary& dictionary, const Options& options) const {
        (void)dictionary, (void)options;
        return nullptr;
    }
    // A native ad around a network's mediated native ad; nullptr when the
    // class builds none.
    [[nodiscard]] virtual std::shared_ptr<DZNativeAd>
    initWithMediatedNativeAd(const std::shared_ptr<DZMediatedNativeAd>& mediatedAd,
                             const Options& options) const {
        (void)mediatedAd, (void)options;
        return nullptr;
    }
    // The connector for a network of a mediation response that an ad
    // loader asking for this class runs; nullptr for none. The native ad
    // classes keep this default, DZNativeAd's (a native ad connector for
    // "native" networks); other loadable classes answer for themselves.
    [[nodiscard]] virtual std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) const;
};

// The registered class of that name; nullptr for none.
[[nodiscard]] const DZLoadableClass* DZLoadableClassNamed(const std::string& className);

// Whether the delegate adopts the class's required protocol. On failure,
// when error is given, it becomes SDK error 12: "Delegate does not conform
// to the required protocol, P. Add P to D's protocol list.".
[[nodiscard]] bool DZCheckDelegateConformsToAdClassProtocol(const DZAdLoaderDelegate* delegate,
                                                            const DZLoadableClass& adClass,
                                                            std::optional<Error>* error);

}  // namespace ads
