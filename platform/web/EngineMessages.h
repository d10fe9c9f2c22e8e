#pragma once
// The engine's requests and header fields as the platform's values.
// platform/web only.

#include <webkit2/webkit2.h>

#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/URLRequest.h"

namespace web {

[[nodiscard]] core::HTTPHeaders headerFieldsOf(SoupMessageHeaders* headers);
// A request a scheme of the app's received: its method and fields, for
// url. Never its body: the engine, asked for a body that holds a blob (a
// file, a Blob the page made), crashes the process, so requests with a body
// are not routed to the app (the web process extension sees to that), and
// the app's own schemes get none.
[[nodiscard]] core::URLRequest requestOf(WebKitURISchemeRequest* request, core::URL url);

}  // namespace web
