#include "ads/native/DZNativeCustomTemplateAd.h"

#include <cstdlib>

#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/native/DZAdLoader.h"
#include "core/JSON.h"

namespace ads {

namespace {

// The template id as text: a text as it is, a number as its decimal text.
std::optional<std::string> templateIDText(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    if (value.isInteger()) return std::to_string(value.intValue());
    if (value.isDouble()) return DZCompactDecimalString(value.doubleValue());
    return std::nullopt;
}

bool isNumeric(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

class CustomTemplateAdClass final : public DZLoadableClass {
public:
    std::string className() const override { return DZNativeCustomTemplateAd::kClassName; }
    const DZDelegateProtocol& requiredDelegateProtocol() const override {
        static const DZDelegateProtocol protocol{
            "DZNativeCustomTemplateAdLoaderDelegate", [](const DZAdLoaderDelegate& delegate) {
                return dynamic_cast<const DZNativeCustomTemplateAdLoaderDelegate*>(&delegate) !=
                       nullptr;
            }};
        return protocol;
    }
    core::Dictionary requestParametersForAdLoader(DZAdLoader& loader) const override {
        core::Array kept;
        const auto delegate =
            std::dynamic_pointer_cast<DZNativeCustomTemplateAdLoaderDelegate>(loader.delegate());
        const auto identifiers =
            delegate ? delegate->nativeCustomTemplateIDsForAdLoader(loader) : std::nullopt;
        for (const core::Value& identifier : identifiers.value_or(core::Array{})) {
            if (const std::string* text = identifier.string()) {
                if (!isNumeric(*text))
                    DZLogger::sharedInstance().logPublicMessage(
                        "Received non-numeric custom template ID. The template ID may be "
                        "invalid: " +
                        *text);
                kept.push_back(*text);
            } else if (identifier.isNumber()) {
                kept.push_back(*templateIDText(identifier));
            } else {
                DZLogger::sharedInstance().logPublicMessage(
                    "Received non-string custom template ID: " +
                    core::JSON::write(identifier).value_or("(null)"));
            }
        }
        return {{"format", 3},
                {"custom_template_ids", std::move(kept)},
                {"allowed_response_types", core::Array{"ina"}}};
    }
    bool canInitWithAdLoader(DZAdLoader&, std::optional<Error>*) const override { return true; }
    std::shared_ptr<DZNativeAd> initWithDictionary(const core::Dictionary& dictionary,
                                                   const Options& options) const override {
        return DZNativeCustomTemplateAd::create(dictionary, options);
    }
};

}  // namespace

const DZLoadableClass& DZNativeCustomTemplateAd::adClass() {
    static const CustomTemplateAdClass adClass;
    return adClass;
}

std::shared_ptr<DZNativeCustomTemplateAd>
DZNativeCustomTemplateAd::create(const core::Dictionary& dictionary, const Options& options) {
    auto templateID = templateIDText(dictionary["custom_template_id"]);
    if (!templateID) return nullptr;
    return std::shared_ptr<DZNativeCustomTemplateAd>(
        new DZNativeCustomTemplateAd(dictionary, options, std::move(*templateID)));
}

DZNativeCustomTemplateAd::DZNativeCustomTemplateAd(const core::Dictionary& dictionary,
                                                   const Options& options, std::string templateID)
    : DZNativeAd(dictionary, options), templateID_(std::move(templateID)) {
    if (const core::Array* assets = dictionary["custom_assets"].array()) {
        for (const core::Value& asset : *assets) {
            const std::string* name = asset["name"].string();
            const std::string* value = asset["string_value"].string();
            if (name && value && asset["type"].stringValue() == "string")
                strings_.emplace(*name, *value);
        }
    }
}

bool DZNativeCustomTemplateAd::hasValidConfigurationForRequestParameters(
    const core::Dictionary& parameters) const {
    if (!DZNativeAd::hasValidConfigurationForRequestParameters(parameters)) return false;
    const core::Array* identifiers = parameters["custom_template_ids"].array();
    if (!identifiers) return false;
    for (const core::Value& identifier : *identifiers)
        if (identifier.stringValue() == templateID_) return true;
    return false;
}

void DZNativeCustomTemplateAd::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto delegate =
        std::dynamic_pointer_cast<DZNativeCustomTemplateAdLoaderDelegate>(loader.delegate());
    if (delegate)
        delegate->adLoaderDidReceiveNativeCustomTemplateAd(
            loader, std::static_pointer_cast<DZNativeCustomTemplateAd>(shared_from_this()));
}

}  // namespace ads
