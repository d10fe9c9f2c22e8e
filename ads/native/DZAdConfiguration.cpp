#include "ads/native/DZAdConfiguration.h"

#include <set>

#include "ads/foundation/DZLogger.h"

namespace ads {

DZAdConfiguration::DZAdConfiguration(
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    Options kept;
    std::set<std::string> classes;
    for (const auto& option : options) {
        if (!option) {
            DZLogger::sharedInstance().logPublicMessage(
                "Invalid ad loader option will be ignored ((null)).");
            continue;
        }
        const std::string className = option->className();
        if (!classes.insert(className).second) {
            DZLogger::sharedInstance().logPublicMessage(
                "Options already provided for " + className + ". Ignoring option object (<" +
                className + ">).");
            continue;
        }
        kept.push_back(option->copy());
    }
    if (!kept.empty()) options_ = std::move(kept);
}

DZAdConfiguration::OptionsByClass DZAdConfiguration::optionsByClass() const {
    OptionsByClass byClass;
    if (options_) {
        for (const auto& option : *options_) byClass.emplace(option->className(), option);
    }
    return byClass;
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
