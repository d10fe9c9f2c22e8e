#include "web/EngineMessages.h"

#include <libsoup/soup.h>

namespace web {

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
