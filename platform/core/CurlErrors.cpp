#include "core/CurlErrors.h"

#include <string>

namespace core {

namespace {

using Code = NetworkError::Code;

struct Reading {
    Code code;
    std::string what;
};

Reading read(CURLcode code, const std::string& url, std::int64_t received, std::int64_t expected) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return {Code::cannotFindHost, "Could not find the host of " + url};
        case CURLE_COULDNT_CONNECT:
            return {Code::cannotConnectToHost, "Could not connect to the server of " + url};
        case CURLE_OPERATION_TIMEDOUT:
            return {Code::timedOut, "Connecting for " + url + " timed out"};
        case CURLE_PARTIAL_FILE:
            return {Code::networkConnectionLost,
                    "The connection for " + url +
                        " closed before the body was complete (truncated: " +
                        std::to_string(received) + " of " +
                        (expected < 0 ? std::string("?") : std::to_string(expected)) + " bytes)"};
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return {Code::networkConnectionLost, "The connection for " + url + " was lost"};
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_RANGE_ERROR:
        case CURLE_FILESIZE_EXCEEDED:
        case CURLE_HTTP3:
            return {Code::badServerResponse,
                    "The server of " + url + " answered with a bad response"};
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return {Code::unsupportedURL, "Unsupported URL " + url};
        case CURLE_TOO_MANY_REDIRECTS:
            return {Code::httpTooManyRedirects,
                    "Request to " + url + " was redirected too many times"};
        case CURLE_PEER_FAILED_VERIFICATION:
            return {Code::secureConnectionFailed,
                    "The server of " + url +
                        " presented a certificate that is not trusted or does not name it"};
        case CURLE_SSL_CACERT_BADFILE:
            return {Code::secureConnectionFailed,
                    "The trusted certificate authorities for " + url + " could not be read"};
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_SHUTDOWN_FAILED:
            return {Code::secureConnectionFailed, "The secure connection for " + url + " failed"};
        default:
            return {Code::unknown, "Request to " + url + " failed"};
    }
}

}  // namespace

NetworkError networkErrorFromCurl(CURLcode code, const URL& url, std::string_view libcurlText,
                                  std::int64_t received, std::int64_t expected) {
    Reading reading = read(code, url.absoluteString(), received, expected);
    std::string text(libcurlText);
    if (text.empty()) text = curl_easy_strerror(code);
    return NetworkError::make(reading.code, url.absoluteString(), reading.what, std::move(text));
}

}  // namespace core
