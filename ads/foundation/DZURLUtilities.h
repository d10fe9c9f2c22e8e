#pragma once
// Reading and normalising single URLs: the canonical form under which the
// SDK stores and finds a URL's content, host and scheme tests, and small
// text helpers. Pure functions; any thread. A missing URL answers nullopt
// or false.

#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"

namespace ads {

// The absolute text up to the first "#".
[[nodiscard]] std::optional<std::string> DZURLStringWithoutFragment(
    const std::optional<core::URL>& url);

// The cache key of a URL: without fragment, with ":80" after the host when no
// port is given (whatever the scheme), and without trailing "/" characters,
// so "http://Host/a/" becomes "http://Host:80/a". The port goes into the
// authority only. A URL without a host comes back unchanged; one a browser
// engine wrote (URL::createFromWeb) keeps its bytes.
[[nodiscard]] std::optional<core::URL> DZCanonicalURL(const std::optional<core::URL>& url);

// The text without one final "/".
[[nodiscard]] std::optional<std::string> DZStringByRemovingTrailingSlash(
    std::optional<std::string_view> text);

// Case-insensitive; false when the URL has no host (or scheme) to compare.
[[nodiscard]] bool DZURLHostMatches(const std::optional<core::URL>& url,
                                    std::optional<std::string_view> host);
[[nodiscard]] bool DZURLSchemeMatches(const std::optional<core::URL>& url,
                                      std::optional<std::string_view> scheme);

// Whether HTML may be loaded with this base URL: none at all, or http(s)
// with a host. Any other base (file, data, javascript, about, an app's
// scheme) would hand the page an origin no ad may have.
[[nodiscard]] bool DZIsAllowedHTMLBaseURL(const std::optional<core::URL>& baseURL);

// Whether the URL's host is domain or a host under it: "a.dozuza.com" and
// "dozuza.com" are in "dozuza.com", "evildozuza.com" is not. Case-insensitive;
// a leading "." of domain and a final "." of the host are ignored, and an
// empty domain holds no host.
[[nodiscard]] bool DZURLHostIsInDomain(const std::optional<core::URL>& url,
                                       std::string_view domain);

// Path components 3 and 4 (the leading "/" is component 1) joined by "/":
// "y/z" for "/x/y/z"; nullopt for a shorter path.
[[nodiscard]] std::optional<std::string> DZURLPathSegmentPair(const std::optional<core::URL>& url);

}  // namespace ads
