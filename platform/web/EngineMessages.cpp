#include "web/EngineMessages.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <string>

namespace web {

namespace {

bool isBare(unsigned char byte) {
    return byte <= 0x20 || byte == 0x7F;
}

}  // namespace

std::optional<core::URL> urlOfEngine(std::string_view text) {
    // (Page messages can be megabytes long: no copy a URL does not need.)
    if (auto parsed = core::URL::createFromWeb(text)) return parsed;
    if (std::none_of(text.begin(), text.end(), [](char c) { return isBare(c); }))
        return std::nullopt;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size() + 32);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!isBare(byte)) {
            escaped += c;
            continue;
        }
        escaped += '%';
        escaped += kDigits[byte >> 4];
        escaped += kDigits[byte & 15];
    }
    // The engine writes absolute URLs: escaped text that reads only as a
    // relative reference was none.
    auto parsed = core::URL::createFromWeb(escaped);
    if (parsed && parsed->scheme().empty()) return std::nullopt;
    return parsed;
}

core::HTTPHeaders headerFieldsOf(SoupMessageHeaders* headers) {
    core::HTTPHeaders fields;
    if (!headers) return fields;
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, headers);
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) fields.add(name, value);
    return fields;
}

core::URLRequest requestOf(WebKitURISchemeRequest* request, core::URL url) {
    core::URLRequest made(std::move(url));
    if (const char* method = webkit_uri_scheme_request_get_http_method(request))
        made.setMethod(method);
    for (const auto& [name, value] :
         headerFieldsOf(webkit_uri_scheme_request_get_http_headers(request)))
        made.addValue(name, value);
    return made;
}

}  // namespace web
