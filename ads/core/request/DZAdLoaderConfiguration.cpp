#include "ads/core/request/DZAdLoaderConfiguration.h"

#include "ads/foundation/DZThreading.h"

namespace ads {

std::shared_ptr<DZAdLoaderConfiguration>
DZAdLoaderConfiguration::create(const std::vector<std::string>& adTypes,
                                const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    if (adTypes.empty()) return nullptr;
    std::set<DZAdClass> classes;
    for (const std::string& adType : adTypes) {
        auto adClass = DZNativeAdClassForAdLoaderAdType(adType);
        if (!adClass) return nullptr;
        classes.insert(std::move(*adClass));
    }
    return std::make_shared<DZAdLoaderConfiguration>(
        Private{}, std::set<std::string>(adTypes.begin(), adTypes.end()), std::move(classes),
        options);
}

DZAdLoaderConfiguration::DZAdLoaderConfiguration(
    Private, std::set<std::string> adTypes, std::set<DZAdClass> classes,
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options)
    : adTypes_(std::move(adTypes)), adTypeClasses_(std::move(classes)), adConfiguration_(options),
      lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("adloaderconfiguration"), DZQoSDefault)) {}

core::Dictionary DZAdLoaderConfiguration::adClassRequestParameters() const {
    core::Dictionary parameters;
    lockQueue_->sync([&] { parameters = adClassRequestParameters_; });
    return parameters;
}

void DZAdLoaderConfiguration::setAdClassRequestParameters(core::Dictionary parameters) {
    lockQueue_->async([self = shared_from_this(), parameters = std::move(parameters)] {
        self->adClassRequestParameters_ = parameters;
    });
}

}  // namespace ads
