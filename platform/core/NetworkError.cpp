#include "core/NetworkError.h"

namespace core {

NetworkError NetworkError::make(Code code, std::string url, std::string_view message,
                                std::string libcurlText) {
    std::string full(message);
    // The app shows messages to a person (the feeds' tips): the library's
    // words go in as they are, its name does not.
    if (!libcurlText.empty()) full.append(" (").append(libcurlText).append(")");
    return NetworkError{code, std::move(url), std::move(full), std::move(libcurlText)};
}

std::string_view NetworkError::name(Code code) {
    switch (code) {
    case Code::cancelled:
        return "cancelled";
    case Code::timedOut:
        return "timedOut";
    case Code::cannotConnectToHost:
        return "cannotConnectToHost";
    case Code::networkConnectionLost:
        return "networkConnectionLost";
    case Code::badServerResponse:
        return "badServerResponse";
    case Code::unsupportedURL:
        return "unsupportedURL";
    case Code::cannotFindHost:
        return "cannotFindHost";
    case Code::httpTooManyRedirects:
        return "httpTooManyRedirects";
    case Code::secureConnectionFailed:
        return "secureConnectionFailed";
    case Code::dataLengthExceedsMaximum:
        return "dataLengthExceedsMaximum";
    case Code::requestBodyStreamExhausted:
        return "requestBodyStreamExhausted";
    case Code::unknown:
        return "unknown";
    }
    return "unknown";
}

long NetworkError::platformCode(Code code) {
    switch (code) {
    case Code::cancelled:
        return -999;
    case Code::timedOut:
        return -1001;
    case Code::unsupportedURL:
        return -1002;
    case Code::cannotFindHost:
        return -1003;
    case Code::cannotConnectToHost:
        return -1004;
    case Code::networkConnectionLost:
        return -1005;
    case Code::httpTooManyRedirects:
        return -1007;
    case Code::badServerResponse:
        return -1011;
    case Code::secureConnectionFailed:
        return -1200;
    case Code::requestBodyStreamExhausted:
        return -1021;
    case Code::dataLengthExceedsMaximum:
        return -1103;
    case Code::unknown:
        break;
    }
    return -1;
}

}  // namespace core
