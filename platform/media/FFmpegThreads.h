#pragma once
// The FFmpeg engine's threads (asset probes, one per playing item). They
// run detached: each owns what it works on and ends soon after its owner
// stops it. running() counts those not ended yet; at process exit the
// registry waits a little for the last ones, so that none is still inside
// libav while the process tears down (as exit begins, core::ProcessExit).
//
// Safe from any thread.

#include <cstddef>
#include <functional>

namespace media {

class FFmpegThreads {
public:
    static void spawn(std::function<void()> body);
    [[nodiscard]] static std::size_t running();
};

}  // namespace media
