#include "ads/foundation/DZHTTPRequest.h"

#include "ads/foundation/DZUserAgent.h"

namespace ads {

std::optional<core::URLRequest> DZMakeURLRequest(
    const std::optional<core::URL>& url, const std::optional<core::Data>& body,
    const std::optional<core::Dictionary>& headerFields,
    std::optional<std::string_view> contentType) {
    if (!url) return std::nullopt;
    core::URLRequest request(*url);
    if (headerFields) {
        for (const auto& [name, value] : *headerFields) {
            if (const std::string* text = value.string()) request.setValue(name, *text);
        }
    }
    const std::string userAgent = DZUserAgent();
    if (!userAgent.empty()) request.setValue("User-Agent", userAgent);
    if (body && contentType) {
        request.setMethod("POST");
        request.setBody(*body);
        request.setValue("Content-Length", std::to_string(body->size()));
        request.setValue("Content-Type", std::string(*contentType));
    }
    return request;
}

}  // namespace ads
