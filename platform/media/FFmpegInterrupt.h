#pragma once
// Stops the blocking work of one FFmpeg source: libav's own I/O polls it
// through callback(), and the custom-scheme reader registers an abort hook
// that wakes its waits. stop() is final.
//
// Safe from any thread.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace media {

class FFmpegInterrupt {
public:
    void stop();
    [[nodiscard]] bool isStopped() const { return stopped_.load(); }
    // Runs on stop(), or at once when stopped already.
    void onStop(std::function<void()> hook);

    // For AVIOInterruptCB: opaque is the FFmpegInterrupt.
    static int callback(void* opaque);

private:
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;
    std::vector<std::function<void()>> hooks_;
};

}  // namespace media
