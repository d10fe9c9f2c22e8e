#pragma once
// The engine's URLs, requests and header fields as the platform's values.
// platform/web only.

#include <webkit2/webkit2.h>

#include <optional>
#include <string_view>

#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/URLRequest.h"

namespace web {

// A URL the engine wrote, as it wrote it, byte for byte
// (core::URL::createFromWeb), but for the bytes our URL type never holds: a
// space, a control character or DEL. The engine keeps those in the URLs of
// some schemes ("tel:+1 555 0100", "mailto:Ann Lee <ann@example.com>",
// "data:text/html,<p>a b</p>"); they are escaped (%20) in a URL with a
// scheme. nullopt for text that is no URL even so. Any thread.
[[nodiscard]] std::optional<core::URL> urlOfEngine(std::string_view text);

[[nodiscard]] core::HTTPHeaders headerFieldsOf(SoupMessageHeaders* headers);
// A request a scheme of the app's received: its method and fields, for
// url. Never its body: the engine, asked for a body that holds a blob (a
// file, a Blob the page made), crashes the process, so requests with a body
// are not routed to the app (the web process extension sees to that), and
// the app's own schemes get none.
[[nodiscard]] core::URLRequest requestOf(WebKitURISchemeRequest* request, core::URL url);

}  // namespace web
