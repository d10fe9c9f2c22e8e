#include "ui/ImageError.h"

#include <utility>

namespace ui {

ImageError ImageError::noURL() {
    return {Code::noURL, "no URL", 0, std::nullopt};
}

ImageError ImageError::cancelled(const std::string& url) {
    return {Code::cancelled, "cancelled: " + url, 0, std::nullopt};
}

ImageError ImageError::network(core::NetworkError error) {
    const Code code =
        error.code == core::NetworkError::Code::cancelled ? Code::cancelled : Code::network;
    std::string message = error.message;
    return {code, std::move(message), 0, std::move(error)};
}

ImageError ImageError::status(const std::string& url, int statusCode) {
    return {Code::httpStatus, "HTTP status " + std::to_string(statusCode) + " for " + url,
            statusCode, std::nullopt};
}

ImageError ImageError::decoding(const std::string& url, const std::string& reason) {
    return {Code::decodingFailed, "not a usable image: " + url + ": " + reason, 0, std::nullopt};
}

}  // namespace ui
