#pragma once
// An HTTP request as a URLSession sends it: URL, method, header fields, body
// and the time-out between bytes. Header names compare case-insensitively;
// setting a header replaces every field of that name.
//
// A value type with no shared state.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/Value.h"

namespace core {

class URLRequest {
public:
    static constexpr double kDefaultTimeoutInterval = 60;

    explicit URLRequest(URL url);

    [[nodiscard]] const URL& url() const { return url_; }
    void setURL(URL url) { url_ = std::move(url); }

    // "GET" unless set; sent as given.
    [[nodiscard]] const std::string& method() const { return method_; }
    void setMethod(std::string method) { method_ = std::move(method); }

    [[nodiscard]] const HTTPHeaders& headers() const { return headers_; }
    [[nodiscard]] std::optional<std::string> value(std::string_view name) const {
        return headers_.value(name);
    }
    // nullopt removes the header.
    void setValue(std::string_view name, std::optional<std::string> value);
    // Adds another field of that name.
    void addValue(std::string name, std::string value);

    [[nodiscard]] const Data& body() const { return body_; }
    void setBody(Data body) { body_ = std::move(body); }
    void setBody(std::string_view text) { body_.assign(text.begin(), text.end()); }

    // Seconds without data after which the request fails. Until set, the
    // session's timeoutIntervalForRequest applies; this reads 60 then.
    [[nodiscard]] double timeoutInterval() const {
        return timeoutInterval_.value_or(kDefaultTimeoutInterval);
    }
    [[nodiscard]] bool hasTimeoutInterval() const { return timeoutInterval_.has_value(); }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

    // Sets "Range: bytes=from-to" (both inclusive), or "bytes=from-" without to.
    void setByteRange(std::int64_t from, std::optional<std::int64_t> to = std::nullopt);

    friend bool operator==(const URLRequest&, const URLRequest&) = default;

private:
    URL url_;
    std::string method_ = "GET";
    HTTPHeaders headers_;
    Data body_;
    std::optional<double> timeoutInterval_;
};

}  // namespace core
