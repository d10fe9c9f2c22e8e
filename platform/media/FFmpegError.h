#pragma once
// libav's error codes as text and as media errors.

#include <string>
#include <string_view>

#include "media/MediaError.h"

namespace media {

class FFmpegError {
public:
    // libav's description of an AVERROR code.
    [[nodiscard]] static std::string text(int averror);
    // "<what>: <libav's text>".
    [[nodiscard]] static MediaError make(long code, std::string_view what, int averror);
};

}  // namespace media
