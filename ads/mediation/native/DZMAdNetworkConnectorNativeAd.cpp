#include "ads/mediation/native/DZMAdNetworkConnectorNativeAd.h"

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "core/StringFormat.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnectorNativeAd>
DZMAdNetworkConnectorNativeAd::create(std::shared_ptr<DZMConfig> config,
                                      std::shared_ptr<DZMAdNetworkConfig> networkConfig) {
    return make<DZMAdNetworkConnectorNativeAd>(std::move(config), std::move(networkConfig));
}

std::shared_ptr<DZMAdNetworkConnector> DZMAdNetworkConnectorNativeAd::reportingConnector() {
    if (hasReportingConnector_) return reportingConnector_.lock();
    return shared_from_this();
}

void DZMAdNetworkConnectorNativeAd::reportFailure(const Error& error) {
    const auto reporter = reportingConnector();
    const auto manager = reporter ? reporter->adManager() : nullptr;
    if (manager) manager->adRequestFailedFromConnector(reporter, error);
}

void DZMAdNetworkConnectorNativeAd::getAdFromAdapterWithType(const std::shared_ptr<DZAdType>&) {
    const auto& adapter = this->adapter();
    const auto& className = networkConfig()->adapterClass();
    const bool answers =
        adapter && className &&
        DZMClassRegistry::shared().instancesRespondToSelector(
            *className, DZMSelector::getNativeAdWithAdTypesOptions);
    if (!answers) {
        adapterDidFailAd(adapter.get(),
                         DZErrorWithCodeDescription(
                             kDZErrorInternalError,
                             core::format(kNoNativeSupportFormat, className.value_or("(null)"))));
        return;
    }
    std::vector<std::string> adTypes;
    std::vector<std::shared_ptr<DZAdLoaderOptions>> options;
    if (const auto& configuration = adLoaderConfiguration()) {
        adTypes.assign(configuration->adTypes().begin(), configuration->adTypes().end());
        for (const auto& [name, option] : configuration->adConfiguration().optionsByClass())
            if (option) options.push_back(option->copy());
    }
    adapter->getNativeAdWithAdTypes(adTypes, options);
}

void DZMAdNetworkConnectorNativeAd::adapterDidReceiveMediatedNativeAd(
    const DZMAdNetworkAdapter* adapter, const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) {
    auto mediated = std::make_shared<DZMediatedNativeAd>();
    mediated->setAdNetworkClassName(networkConfig()->adapterClass());
    mediated->setAd(ad);
    mediated->setAllowPublisherRenderedAttribution(
        mediationConfig()->allowPublisherRenderedAttribution());
    if (adapter) {
        mediated->setAdapterHandlesUserClicks(adapter->handlesUserClicks().value_or(false));
        mediated->setAdapterHandlesUserImpressions(
            adapter->handlesUserImpressions().value_or(false));
    }
    const auto reporter = reportingConnector();
    mediated->setConnector(reporter);
    const auto manager = reporter ? reporter->adManager() : nullptr;
    if (manager) manager->adRequestReturnsFromConnectorWithMediatedAd(reporter, mediated);
}

void DZMAdNetworkConnectorNativeAd::adapterDidFailAd(const DZMAdNetworkAdapter* adapter,
                                                     const Error& error) {
    if (!isOwnAdapter(adapter)) return;
    reportFailure(error);
}

}  // namespace ads
