#include "ads/mediation/core/DZMAdNetworkConfig.h"

#include "ads/foundation/DZLogger.h"
#include "ads/mediation/adapters/DZMAdapterCustomEvents.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "core/JSON.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kInvalidResponse = "The VuRaz Mediation response was invalid: ";

void setError(Error* error, long code, std::string message) {
    if (error) *error = DZErrorWithCodeDescription(code, std::move(message));
}

std::string joined(const std::vector<std::string>& names, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text.append(separator);
        text.append(names[i]);
    }
    return text;
}

template <typename T>
std::optional<T> entryOf(const core::Dictionary& dictionary, std::string_view key,
                         const T* (core::Value::*accessor)() const) {
    const core::Value* value = dictionary.find(key);
    if (!value) return std::nullopt;
    const T* typed = (value->*accessor)();
    return typed ? std::optional<T>(*typed) : std::nullopt;
}

std::optional<core::Dictionary> dictionaryEntry(const core::Dictionary& d, std::string_view key) {
    return entryOf<core::Dictionary>(d, key, &core::Value::dictionary);
}
std::optional<core::Array> arrayEntry(const core::Dictionary& d, std::string_view key) {
    return entryOf<core::Array>(d, key, &core::Value::array);
}
std::optional<std::string> stringEntry(const core::Dictionary& d, std::string_view key) {
    return entryOf<std::string>(d, key, &core::Value::string);
}

}  // namespace

std::shared_ptr<DZMAdNetworkConfig>
DZMAdNetworkConfig::initWithDictionary(const core::Dictionary& dictionary, Error* error) {
    const core::Value* identifier = dictionary.find("id");
    if (!identifier) {
        setError(error, kDZErrorMediationDataError,
                 std::string(kInvalidResponse) + "An ad network config has no network ID.");
        return nullptr;
    }
    auto config = std::shared_ptr<DZMAdNetworkConfig>(new DZMAdNetworkConfig);
    if (const std::string* text = identifier->string()) {
        config->networkID_ = *text;
    } else if (identifier->isNumber()) {
        config->networkID_ = identifier->stringValue();
    } else {
        setError(error, kDZErrorMediationDataError,
                 std::string(kInvalidResponse) + "An ad network config has an invalid network ID.");
        return nullptr;
    }
    config->readEntries(dictionary);
    config->chooseAdapter(error);
    return config;
}

void DZMAdNetworkConfig::readEntries(const core::Dictionary& dictionary) {
    credentials_ = dictionaryEntry(dictionary, "data");
    extras_ = dictionaryEntry(dictionary, "extras");
    ad_ = dictionaryEntry(dictionary, "ad");
    if (const core::Value* allocation = dictionary.find("allocation_id"))
        allocationID_ = *allocation;
    impressionURLs_ = arrayEntry(dictionary, "imp_urls");
    clickURLs_ = arrayEntry(dictionary, "clickurl");
    fillURLs_ = arrayEntry(dictionary, "fill_urls");
    videoStartURLs_ = arrayEntry(dictionary, "video_start_urls");
    rewardedUserURLs_ = arrayEntry(dictionary, "video_complete_urls");
    nativeExpressAdLoaderOptions_ = dictionaryEntry(dictionary, "ad_loader_options");
    nativeExpressHTMLTemplate_ = stringEntry(dictionary, "html_template");
    nativeExpressAdBaseURL_ = stringEntry(dictionary, "ad_base_url");
    nativeExpressTemplateIDs_ = arrayEntry(dictionary, "template_ids");
    nativeExpressAssets_ = dictionaryEntry(dictionary, "assets");
    if (const auto adapters = arrayEntry(dictionary, "adapters")) {
        std::vector<std::string> names;
        for (const core::Value& name : *adapters)
            if (const std::string* text = name.string()) names.push_back(*text);
        adapterList_ = std::move(names);
    }
    responseType_ = stringEntry(dictionary, "response_type");
    slotSizes_ = arrayEntry(dictionary, "slot_sizes");
}

void DZMAdNetworkConfig::chooseAdapter(Error* error) {
    const auto& registry = DZMClassRegistry::shared();
    std::vector<std::string> oldAPI;
    for (const std::string& name : adapterList_.value_or(std::vector<std::string>{})) {
        if (!registry.classExists(name)) continue;
        if (!DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI(name)) {
            oldAPI.push_back(name);
            continue;
        }
        if (DZMAdNetworkAdapter::classIsAdapterClass(name)) {
            adapterClass_ = name;
            break;
        }
    }
    if (!oldAPI.empty()) {
        const std::string none =
            adapterClass_ ? "" : " No valid adapters found for this ad network.";
        const char* format =
            oldAPI.size() == 1
                ? "Ad network adapter %@ implements an old API. Please update the adapter.%@"
                : "Ad network adapters (%@) implement an old API. Please update the adapters.%@";
        setError(error, kDZErrorMediationAdapterError,
                 core::format(format, joined(oldAPI, ", "), none));
        return;
    }
    if (!adapterClass_) {
        setError(error, kDZErrorMediationAdapterError,
                 errorMessageForMissingAdapterClasses(
                     adapterList_.value_or(std::vector<std::string>{})));
    }
}

std::string
DZMAdNetworkConfig::errorMessageForMissingAdapterClasses(const std::vector<std::string>& names) {
    if (names.empty()) return {};
    return core::format(
        "Cannot find an ad network adapter with the name(s): %@. Remember to link all required "
        "ad network adapters and SDKs, and set -ObjC in the 'Other Linker Flags' setting of your "
        "build target.",
        joined(names, ","));
}

bool DZMAdNetworkConfig::resolveAdNetworkClassForCustomEventWithError(Error* error) {
    if (adapterClass_ != DZMAdapterCustomEvents::kClassName) return false;
    const auto className = credentials_ ? stringEntry(*credentials_, "class_name") : std::nullopt;
    if (!className) {
        setError(error, kDZErrorMediationAdapterError, "Custom event adapter class name is empty.");
        return false;
    }
    adapterClass_.reset();
    if (!DZMClassRegistry::shared().classExists(*className)) {
        setError(error, kDZErrorMediationAdapterError,
                 errorMessageForMissingAdapterClasses({*className}));
        return false;
    }
    if (!DZMAdNetworkAdapter::classIsAdapterClass(*className)) {
        setError(error, kDZErrorMediationAdapterError,
                 core::format("Class %@ does not conforms to mediation protocols.", *className));
        return false;
    }
    adapterClass_ = *className;
    return true;
}

std::optional<std::string> DZMAdNetworkConfig::publisherID() const {
    return credentials_ ? stringEntry(*credentials_, "pubid") : std::nullopt;
}

std::optional<std::string> DZMAdNetworkConfig::allocationIDString() const {
    return allocationID_ ? DZMValueText(*allocationID_) : std::nullopt;
}

std::string DZMAdNetworkConfig::description() const {
    std::string data;
    if (const auto publisher = publisherID()) {
        data = *publisher;
    } else if (credentials_) {
        data = core::JSON::write(core::Value(*credentials_)).value_or("");
    } else {
        data = "(null)";
    }
    return core::format("networkID:%@ adapter:%@ data:%@", networkID_,
                        adapterClass_.value_or("(null)"), data);
}

}  // namespace ads
