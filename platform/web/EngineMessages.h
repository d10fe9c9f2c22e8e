#pragma once
// The engine's requests and header fields as the platform's values.
// platform/web only.

#include <webkit2/webkit2.h>

#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/URLRequest.h"

namespace web {

[[nodiscard]] core::HTTPHeaders headerFieldsOf(SoupMessageHeaders* headers);
// A request a scheme of the app's received: its method, fields and body,
// for url.
[[nodiscard]] core::URLRequest requestOf(WebKitURISchemeRequest* request, core::URL url);

}  // namespace web
