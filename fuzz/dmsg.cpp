// Dmsg messages from pages: any URL gives a message with a plain name
// (no "/", no control character) and text parameters, or none; and the
// script call that answers a page keeps any name inside its string literal.
//
// Input: "URL\nname"; the name also goes into a script call.

#include <cstdint>

#include "FuzzCheck.h"
#include "ads/web/view/DZJavaScriptMessageCall.h"
#include "ads/web/view/DZNotification.h"
#include "core/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto [urlText, name] = fuzz::splitLine(fuzz::text(data, size));
    if (const auto message = ads::DZNotification::create(core::URL::create(urlText))) {
        FUZZ_CHECK(ads::DZNotification::isPlainName(message->name()));
        for (const auto& [key, value] : message->parameters()) FUZZ_CHECK(value.isString());
    }

    if (!core::Unicode::isValidUTF8(name)) return 0;
    const std::string call = ads::DZJavaScriptMessageCall(name, core::Value(core::Array{name}));
    const std::string bare = ads::DZJavaScriptMessageCall(name, std::nullopt);
    FUZZ_CHECK(call.starts_with("DUZO_ReceiveMessage('") && call.ends_with("]);"));
    FUZZ_CHECK(bare.starts_with("DUZO_ReceiveMessage('") && bare.ends_with("');"));
    // The literal ends only where the call puts its closing quote: no line
    // break, and every quote inside is escaped.
    const std::string_view literal(bare.data() + 21, bare.size() - 21 - 3);
    FUZZ_CHECK(literal.find('\n') == std::string_view::npos);
    for (size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == '\\') {
            ++i;
            continue;
        }
        FUZZ_CHECK(literal[i] != '\'');
    }
    return 0;
}
