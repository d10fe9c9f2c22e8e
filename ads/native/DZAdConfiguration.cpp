#include "ads/native/DZAdConfiguration.h"

namespace ads {

DZAdConfiguration::DZAdConfiguration(
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    Options kept;
    for (const auto& option : options) {
        if (option) kept.push_back(option->copy());
    }
    if (!kept.empty()) options_ = std::move(kept);
}

core::Dictionary DZAdConfiguration::requestParameters() const {
    core::Dictionary merged;
    if (!options_) return merged;
    for (const auto& option : *options_) {
        if (const auto parameters = option->requestParameters()) {
            for (const auto& [key, value] : *parameters) merged.set(key, value);
        }
    }
    return merged;
}

}  // namespace ads
