#include "ads/native/DZAdConfiguration.h"

#include <set>

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"

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

std::shared_ptr<DZAdLoaderConfiguration>
DZNativeExpressAdLoaderConfiguration(const DZMAdNetworkConfig& network) {
    std::vector<std::string> adTypes;
    if (const auto& ids = network.nativeExpressTemplateIDs()) {
        for (const core::Value& id : *ids) {
            if (const std::string* text = id.string())
                adTypes.push_back(*text);
            else if (id.isNumber())
                adTypes.push_back(std::to_string(id.intValue()));
        }
    }
    auto imageOptions = std::make_shared<DZNativeAdImageAdLoaderOptions>();
    imageOptions->setDisableImageLoading(true);
    if (const auto& loaderOptions = network.nativeExpressAdLoaderOptions()) {
        if (const core::Value* multiple = loaderOptions->find("multiple_images"))
            imageOptions->setShouldRequestMultipleImages(multiple->boolValue());
        if (const core::Value* orientation = loaderOptions->find("native_image_orientation")) {
            if (const std::string* text = orientation->string()) {
                if (*text == "portrait")
                    imageOptions->setPreferredImageOrientation(
                        DZNativeAdImageAdLoaderOptions::kPortrait);
                else if (*text == "horizonal")
                    imageOptions->setPreferredImageOrientation(
                        DZNativeAdImageAdLoaderOptions::kLandscape);
            }
        }
    }
    return DZAdLoaderConfiguration::create(adTypes, {imageOptions});
}

}  // namespace ads
