#pragma once
// Why an image load ended without an image: no URL to load, cancelled, a
// network failure, an HTTP status of 400 or more, or a body that does not
// decode (not an image, truncated, or over the pixel limit). A value type.

#include <optional>
#include <string>

#include "core/NetworkError.h"

namespace ui {

struct ImageError {
    enum class Code { noURL, cancelled, network, httpStatus, decodingFailed };

    Code code = Code::network;
    // Names the URL when there is one.
    std::string message;
    // The response's status, for httpStatus.
    int httpStatus = 0;
    // What the URL session reported, for network and cancelled errors that
    // came from it.
    std::optional<core::NetworkError> networkError;

    [[nodiscard]] static ImageError noURL();
    [[nodiscard]] static ImageError cancelled(const std::string& url);
    // A session's cancelled error becomes Code::cancelled.
    [[nodiscard]] static ImageError network(core::NetworkError error);
    [[nodiscard]] static ImageError status(const std::string& url, int statusCode);
    [[nodiscard]] static ImageError decoding(const std::string& url, const std::string& reason);

    [[nodiscard]] bool isCancelled() const { return code == Code::cancelled; }
};

}  // namespace ui
