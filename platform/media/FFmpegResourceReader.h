#pragma once
// The byte source of a custom-scheme asset for libavformat: an AVIOContext
// whose reads and seeks become loading requests to the asset's
// resource-loader delegate. It first asks for the content information
// only, then for data from the read position to the end of the resource,
// and consumes the bytes as they arrive. A read blocks until bytes arrive,
// the request ends or the interrupt stops it; a seek outside what arrived
// cancels the open request, and the next read opens a new one there.
//
// Reads and seeks run on the source's thread; the interrupt may come from
// any thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/URL.h"
#include "media/AssetResourceLoader.h"
#include "media/FFmpegInterrupt.h"
#include "media/MediaError.h"

struct AVIOContext;

namespace media {

class FFmpegResourceReader {
public:
    FFmpegResourceReader(core::URL url, std::shared_ptr<AssetResourceLoader> loader,
                         std::shared_ptr<FFmpegInterrupt> interrupt);
    ~FFmpegResourceReader();
    FFmpegResourceReader(const FFmpegResourceReader&) = delete;
    FFmpegResourceReader& operator=(const FFmpegResourceReader&) = delete;

    // Asks for the content information and makes the context; the error
    // when the delegate failed or declined, or the interrupt stopped it.
    [[nodiscard]] std::optional<MediaError> start();
    [[nodiscard]] AVIOContext* context() const { return context_; }
    // Why the last read failed, when the delegate said.
    [[nodiscard]] std::optional<MediaError> error() const;

private:
    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seekTo(void* opaque, std::int64_t offset, int whence);

    int read(std::uint8_t* buffer, int size);
    std::int64_t seek(std::int64_t offset, int whence);
    // Moves the bytes that arrived for the open request into the window.
    void pull();
    void openRequest();
    void cancelRequest();
    [[nodiscard]] std::shared_ptr<AssetResourceLoadingRequest> request() const;
    void setRequest(std::shared_ptr<AssetResourceLoadingRequest> request);
    // Waits for a request to leave pending; false when the interrupt stopped it.
    [[nodiscard]] bool waitForEnd(AssetResourceLoadingRequest& request) const;

    const core::URL url_;
    const std::shared_ptr<AssetResourceLoader> loader_;
    const std::shared_ptr<FFmpegInterrupt> interrupt_;
    AVIOContext* context_ = nullptr;
    std::int64_t contentLength_ = -1;
    std::int64_t position_ = 0;
    // Bytes of the resource from windowStart_ on, as they arrived.
    std::string window_;
    std::int64_t windowStart_ = 0;
    std::optional<MediaError> error_;

    // The open request, shared with the interrupt's hook, which may run
    // on another thread and after the reader is gone.
    struct OpenRequest {
        std::mutex mutex;
        std::shared_ptr<AssetResourceLoadingRequest> request;

        void cancel(AssetResourceLoader& loader);
    };
    const std::shared_ptr<OpenRequest> open_ = std::make_shared<OpenRequest>();
};

}  // namespace media
