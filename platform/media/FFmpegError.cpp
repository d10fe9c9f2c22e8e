#include "media/FFmpegError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace media {

std::string FFmpegError::text(int averror) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(averror, buffer, sizeof buffer) < 0) {
        return "libav error " + std::to_string(averror);
    }
    return buffer;
}

MediaError FFmpegError::make(long code, std::string_view what, int averror) {
    return MediaError::make(code, std::string(what) + ": " + text(averror));
}

}  // namespace media
