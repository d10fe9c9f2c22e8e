#include "ads/native/DZAdConfiguration.h"

#include <algorithm>

#include "ads/foundation/DZLogger.h"
#include "core/StringFormat.h"

namespace ads {

DZAdConfiguration::DZAdConfiguration(
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    Options kept;
    for (const auto& option : options) {
        if (!option) {
            DZLogger::sharedInstance().logPublicMessage(
                "Invalid ad loader option will be ignored ((null)).");
            continue;
        }
        const std::string name = option->className();
        const bool known = std::any_of(kept.begin(), kept.end(), [&](const auto& earlier) {
            return earlier->className() == name;
        });
        if (known) {
            DZLogger::sharedInstance().logPublicMessage(
                core::format("Options already provided for %@. Ignoring option object (<%@: %p>).",
                             name, name, static_cast<const void*>(option.get())));
            continue;
        }
        kept.push_back(option->copy());
    }
    if (!kept.empty()) options_ = std::move(kept);
}

std::shared_ptr<const DZAdLoaderOptions>
DZAdConfiguration::optionOfClass(std::string_view className) const {
    if (!options_) return nullptr;
    for (const auto& option : *options_) {
        if (option->className() == className) return option;
    }
    return nullptr;
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
