#pragma once
// Why a URL session task failed. An HTTP status of 400 or more is not a
// NetworkError: the response carries it.
//
// A value type with no shared state.

#include <string>
#include <string_view>

namespace core {

struct NetworkError {
    enum class Code {
        cancelled,
        timedOut,
        cannotConnectToHost,
        networkConnectionLost,  // reset, or the body ended early
        badServerResponse,
        unsupportedURL,
        cannotFindHost,
        httpTooManyRedirects,
        secureConnectionFailed,
        // The body is larger than the session's maximumResponseBytes.
        dataLengthExceedsMaximum,
        // A request's body stream would have to be sent a second time.
        requestBodyStreamExhausted,
        unknown,
    };

    Code code = Code::unknown;
    // The URL of the request that failed.
    std::string url;
    // What happened, naming the URL; ends with libcurl's text in parentheses
    // when there is one (a person may read it: nothing names the library).
    std::string message;
    // libcurl's own description; empty when libcurl was not involved.
    std::string libcurlText;

    [[nodiscard]] static NetworkError make(Code code, std::string url, std::string_view message,
                                           std::string libcurlText = {});
    // "cancelled", "timedOut", ...
    [[nodiscard]] static std::string_view name(Code code);
    [[nodiscard]] std::string_view codeName() const { return name(code); }
    // The platform's negative URL-loading code: cancelled -999, timed out
    // -1001, unsupported URL -1002, cannot find host -1003, cannot connect
    // -1004, connection lost -1005, too many redirects -1007, bad server
    // response -1011, request body stream exhausted -1021, data length
    // exceeds maximum -1103, secure connection failed -1200; unknown -1.
    [[nodiscard]] static long platformCode(Code code);
    [[nodiscard]] long platformCode() const { return platformCode(code); }

    friend bool operator==(const NetworkError&, const NetworkError&) = default;
};

}  // namespace core
