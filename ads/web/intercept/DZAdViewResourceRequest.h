#pragma once
// An immutable record of one request an ad page made, kept for the
// safe-browsing report: URL, the page's URL, method, header fields, body
// and the four loading hints that make two otherwise equal requests
// different resources. Header fields named "x-duzo-annotation-..." are the
// SDK's own notes on a record and take no part when records are compared.
//
// A value type with no shared state.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "ads/web/intercept/DZCapturedBytes.h"
#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZAdViewResourceRequest {
public:
    struct EqualityHints {
        std::uint32_t cachePolicy = 0;
        std::uint32_t networkServiceType = 0;
        bool handlesCookies = true;
        bool allowsCellularAccess = true;
        friend bool operator==(const EqualityHints&, const EqualityHints&) = default;
    };

    // Copies the request; a URL with a host and an empty path gets the path
    // "/" (query and fragment kept), and so does the main-document URL. The
    // body is kept up to DZCapturedBytes::kResourceLimit; of a body stream,
    // what is at hand of its start, and its declared length.
    explicit DZAdViewResourceRequest(const core::URLRequest& request);

    // The record with these header fields in place of its own.
    [[nodiscard]] DZAdViewResourceRequest
    resourceRequestWithHeaders(core::HTTPHeaders headers) const;

    [[nodiscard]] const EqualityHints& equalityHints() const { return hints_; }
    [[nodiscard]] const core::URL& URL() const { return url_; }
    [[nodiscard]] const std::optional<core::URL>& mainDocumentURL() const {
        return mainDocumentURL_;
    }
    [[nodiscard]] const std::string& method() const { return method_; }
    [[nodiscard]] const core::HTTPHeaders& headers() const { return headers_; }
    [[nodiscard]] const DZCapturedBytes& body() const { return body_; }

    // Equal URL, main-document URL, method, body and hints, and equal values
    // for every ordinary header name both carry (a header on one side only
    // does not matter).
    [[nodiscard]] bool isEqual(const DZAdViewResourceRequest& other) const;
    friend bool operator==(const DZAdViewResourceRequest& a, const DZAdViewResourceRequest& b) {
        return a.isEqual(b);
    }
    // Of the URL and the hints: equal records hash alike.
    [[nodiscard]] std::size_t hash() const;

    // "(GET https://a.example/\n{name: value}\nno body)"
    [[nodiscard]] std::string description() const;

    // {"firstline": {"uri", "verb"}, "headers": [...], and "body",
    // "bodydigest", "bodylength" when there is a body}; texts in Base64.
    // Headers whose lower-case names are in excludedHeaders are left out.
    [[nodiscard]] core::Dictionary
    dictionaryRepresentationExcludingHeaders(const std::set<std::string>& excludedHeaders) const;

    // One {"name", "value"} entry (both Base64) per field, in order, but for
    // the excluded names (lower case; fields match in any case).
    [[nodiscard]] static core::Array headerList(const core::HTTPHeaders& headers,
                                                const std::set<std::string>& excludedHeaders);
    [[nodiscard]] static bool isAnnotationHeader(std::string_view name);
    // Every ordinary (not annotation) header of `from` has the same value in
    // `in`; a name missing from `in` disagrees only when missingDisagrees.
    [[nodiscard]] static bool ordinaryHeadersMatch(const core::HTTPHeaders& from,
                                                   const core::HTTPHeaders& in,
                                                   bool missingDisagrees);

private:
    EqualityHints hints_;
    core::URL url_;
    std::optional<core::URL> mainDocumentURL_;
    std::string method_;
    core::HTTPHeaders headers_;
    DZCapturedBytes body_;
};

}  // namespace ads
