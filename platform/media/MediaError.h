#pragma once
// Why an asset, an item or a resource-loading request failed: a domain, a
// code and a message. The engine's own failures use kDomain; a failure that
// a resource-loader delegate reported keeps the delegate's domain, code and
// message. A value type.

#include <string>
#include <utility>

namespace media {

struct MediaError {
    static constexpr const char* kDomain = "media.error";

    enum Code : long {
        Unknown = -11800,
        DecodeFailed = -11821,
        FileFormatNotRecognized = -11828,
        // No way to read the resource: an unsupported scheme, no
        // resource-loader delegate, or a delegate that declined the request.
        ContentUnavailable = -11863,
        Cancelled = -11819,
    };

    std::string domain = kDomain;
    long code = Unknown;
    std::string message;

    [[nodiscard]] static MediaError make(long code, std::string message) {
        return MediaError{kDomain, code, std::move(message)};
    }

    friend bool operator==(const MediaError&, const MediaError&) = default;
};

}  // namespace media
