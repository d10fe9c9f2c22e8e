#pragma once
// How the FFmpeg engine reads and buffers. A value type.

#include <cstddef>
#include <string>

#include "core/URLSessionConfiguration.h"

namespace media {

struct FFmpegOptions {
    // A PEM file of certificate authorities that https sources are trusted
    // with besides the system's; certificates are always verified.
    std::string trustedCertificatesFile = core::trustedCertificatesFileFromEnvironment();
    // The packet queue's cap: the buffer is full at either.
    std::size_t maxQueuedBytes = 16 * 1024 * 1024;
    double maxQueuedSeconds = 30;
    // Playback is likely to keep up with this much loaded ahead (or all of it).
    double likelyToKeepUpSeconds = 2;
    // Seconds of network silence after which an http(s) read fails.
    double readTimeoutSeconds = 30;
    // Decoder threads (0: as many as the machine has); slices only, so that
    // frames come out without extra delay.
    int decoderThreads = 0;
};

}  // namespace media
