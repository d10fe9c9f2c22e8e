#include "ads/web/view/DZJavaScriptMessageCall.h"

#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZJavaScriptString.h"

namespace ads {

namespace {

std::optional<std::string> compactJSON(const std::optional<core::Value>& argument) {
    if (!argument) return std::nullopt;
    if (const core::Dictionary* dictionary = argument->dictionary())
        return dz_JSONStringPretty(*dictionary, false, nullptr);
    if (const core::Array* array = argument->array())
        return dz_JSONStringPretty(*array, false, nullptr);
    return std::nullopt;
}

}  // namespace

std::string DZJavaScriptMessageCall(std::string_view name,
                                    const std::optional<core::Value>& argument) {
    std::string call = "DUZO_ReceiveMessage(" + DZJavaScriptStringLiteral(name);
    if (const auto json = compactJSON(argument)) call += ", " + *json;
    return call + ");";
}

}  // namespace ads
