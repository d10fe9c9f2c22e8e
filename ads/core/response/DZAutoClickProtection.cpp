#include "ads/core/response/DZAutoClickProtection.h"

namespace ads {

std::shared_ptr<DZAutoClickProtection>
DZAutoClickProtection::create(const core::Value& dictionary) {
    if (!dictionary.isDictionary()) {
        return nullptr;
    }
    auto protection =
        std::make_shared<DZAutoClickProtection>(dictionary["enable_protection"].boolValue());
    if (const core::Array* urls = dictionary["reporting_urls"].array()) {
        std::vector<std::string> templates;
        for (const core::Value& url : *urls) {
            if (const std::string* text = url.string()) {
                templates.push_back(*text);
            }
        }
        protection->reportingURLStringTemplates_ = std::move(templates);
    }
    return protection;
}

}  // namespace ads
