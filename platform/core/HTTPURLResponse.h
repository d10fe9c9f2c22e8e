#pragma once
// The status line and header fields of an HTTP response, as received.
// Header lookups ignore case; fields keep the order they arrived in, and a
// repeated field stays repeated (value() joins repeats with ", ").
//
// A value type with no shared state.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/HTTPHeaders.h"
#include "core/URL.h"

namespace core {

class HTTPURLResponse {
public:
    HTTPURLResponse(URL url, int statusCode, HTTPHeaders headers);

    [[nodiscard]] const URL& url() const { return url_; }
    [[nodiscard]] int statusCode() const { return statusCode_; }
    [[nodiscard]] const HTTPHeaders& headers() const { return headers_; }
    [[nodiscard]] std::optional<std::string> value(std::string_view name) const {
        return headers_.value(name);
    }

    // From Content-Length; -1 when absent, unreadable or the body is chunked.
    [[nodiscard]] std::int64_t expectedContentLength() const { return expectedContentLength_; }
    // The media type of Content-Type in lower case ("text/html"); nullopt
    // without Content-Type.
    [[nodiscard]] const std::optional<std::string>& mimeType() const { return mimeType_; }
    // Its charset parameter in lower case, unquoted ("utf-8").
    [[nodiscard]] const std::optional<std::string>& textEncodingName() const {
        return textEncodingName_;
    }

    // The version of the status line ("HTTP/1.1") where the maker of the
    // response names one; nullopt otherwise.
    [[nodiscard]] const std::optional<std::string>& HTTPVersion() const { return HTTPVersion_; }
    void setHTTPVersion(std::optional<std::string> version) { HTTPVersion_ = std::move(version); }
    // The reason phrase of the status line as the server wrote it, bytes
    // and all ("OK", "Teapot Here", or empty); nullopt where the response
    // had no status line of its own (HTTP/2, a response made in the
    // process).
    [[nodiscard]] const std::optional<std::string>& reasonPhrase() const { return reasonPhrase_; }
    void setReasonPhrase(std::optional<std::string> phrase) { reasonPhrase_ = std::move(phrase); }

    friend bool operator==(const HTTPURLResponse&, const HTTPURLResponse&) = default;

private:
    URL url_;
    int statusCode_;
    HTTPHeaders headers_;
    std::int64_t expectedContentLength_ = -1;
    std::optional<std::string> mimeType_;
    std::optional<std::string> textEncodingName_;
    std::optional<std::string> HTTPVersion_;
    std::optional<std::string> reasonPhrase_;
};

}  // namespace core
