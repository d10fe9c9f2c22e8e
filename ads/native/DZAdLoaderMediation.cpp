// DZAdLoader: the mediation delegate of the waterfalls its slot runs. It
// makes the networks' connectors and turns a network's mediated ad into
// the loadable ad its delegate receives.

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMediatedAd.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeAd.h"
#include "ads/native/DZAdLoader.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnector>
DZAdLoader::mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                               const std::shared_ptr<DZMAdNetworkConfig>& network) {
    if (!network) return nullptr;
    const auto& responseType = network->responseType();
    if (!responseType || responseType->empty())
        return DZMAdNetworkConnectorNativeAd::create(configuration, network);
    for (const DZLoadableClass* adClass : adClasses()) {
        if (!adClass) continue;
        if (auto connector = adClass->mediationConnectorForConfiguration(configuration, network))
            return connector;
    }
    return nullptr;
}

void DZAdLoader::processMediatedAd(const std::shared_ptr<DZAd>&,
                                   const std::shared_ptr<DZMediatedAd>& mediatedAd,
                                   ProcessCompletion completion) {
    const auto loadable = mediatedAd ? mediatedAd->loadableAdForAdLoader(*this) : nullptr;
    if (!loadable) {
        if (completion)
            completion(DZErrorWithCodeDescription(kDZErrorInternalError,
                                                  "The mediated ad gives no ad for the loader."));
        return;
    }
    std::optional<Error> conformance;
    if (!DZCheckDelegateConformsToAdClassProtocol(delegate().get(), loadable->loadableClass(),
                                                  &conformance)) {
        if (completion) completion(conformance);
        return;
    }
    loadable->loadAssetsWithCompletionHandler(
        [weak = weak_from_this(), loadable, completion](const std::optional<Error>& error) {
            if (error) {
                if (completion) completion(error);
                return;
            }
            if (completion) completion(std::nullopt);
            if (const auto self = weak.lock()) self->adDidFinishLoadingAssets(loadable, true);
        });
}

}  // namespace ads
