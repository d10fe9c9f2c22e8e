#pragma once
// What an ad loader tells the app: each ad through the delegate protocol of
// its class, each failure, and the end of a request. A delegate adopts the
// protocols of the ad classes it asked for; the loader refuses one that
// does not (DZCheckDelegateConformsToAdClassProtocol). Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZAdLoader;
class DZNativeAppInstallAd;
class DZNativeContentAd;
class DZNativeCustomTemplateAd;

class DZAdLoaderDelegate {
public:
    virtual ~DZAdLoaderDelegate() = default;
    virtual void adLoaderDidFailToReceiveAdWithError(DZAdLoader& loader,
                                                     const DZRequestError& error) = 0;
    virtual void adLoaderDidFinishLoading(DZAdLoader& loader) { (void)loader; }
    // The name used in messages about this delegate; the demangled type
    // name unless overridden.
    [[nodiscard]] virtual std::string delegateClassName() const;
};

class DZNativeAppInstallAdLoaderDelegate : public virtual DZAdLoaderDelegate {
public:
    virtual void adLoaderDidReceiveNativeAppInstallAd(
        DZAdLoader& loader, const std::shared_ptr<DZNativeAppInstallAd>& ad) = 0;
};

class DZNativeContentAdLoaderDelegate : public virtual DZAdLoaderDelegate {
public:
    virtual void adLoaderDidReceiveNativeContentAd(
        DZAdLoader& loader, const std::shared_ptr<DZNativeContentAd>& ad) = 0;
};

class DZNativeCustomTemplateAdLoaderDelegate : public virtual DZAdLoaderDelegate {
public:
    // Template ids as texts or numbers; other values are logged and dropped.
    [[nodiscard]] virtual std::optional<core::Array> nativeCustomTemplateIDsForAdLoader(
        DZAdLoader& loader) {
        (void)loader;
        return std::nullopt;
    }
    virtual void adLoaderDidReceiveNativeCustomTemplateAd(
        DZAdLoader& loader, const std::shared_ptr<DZNativeCustomTemplateAd>& ad) = 0;
};

}  // namespace ads
