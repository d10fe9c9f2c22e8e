#pragma once
// One opened and probed media source: libavformat's context, the chosen
// video and audio streams and what the probe found. http(s) and file URLs
// are read by libavformat itself (https verified, with the options' extra
// authorities); any other scheme through the asset's resource loader.
// Only a few container formats and, per source, only the protocols its
// scheme needs are allowed.
//
// Opening blocks; the interrupt ends it early. One thread at a time uses a
// source; it may be handed from one thread to another.

#include <memory>
#include <optional>
#include <variant>

#include "core/URL.h"
#include "media/AssetInfo.h"
#include "media/AssetResourceLoader.h"
#include "media/FFmpegInterrupt.h"
#include "media/FFmpegOptions.h"
#include "media/FFmpegResourceReader.h"
#include "media/MediaError.h"

struct AVFormatContext;

namespace media {

class FFmpegSource {
public:
    using OpenResult = std::variant<std::unique_ptr<FFmpegSource>, MediaError>;

    [[nodiscard]] static OpenResult open(const core::URL& url,
                                         const std::shared_ptr<AssetResourceLoader>& loader,
                                         const FFmpegOptions& options,
                                         std::shared_ptr<FFmpegInterrupt> interrupt);
    ~FFmpegSource();
    FFmpegSource(const FFmpegSource&) = delete;
    FFmpegSource& operator=(const FFmpegSource&) = delete;

    [[nodiscard]] AVFormatContext* context() const { return context_; }
    [[nodiscard]] const AssetInfo& info() const { return info_; }
    // Stream indexes; -1 without such a stream.
    [[nodiscard]] int videoStream() const { return videoStream_; }
    [[nodiscard]] int audioStream() const { return audioStream_; }
    // The container's first instant, in seconds: item time 0.
    [[nodiscard]] double origin() const { return origin_; }
    [[nodiscard]] const std::shared_ptr<FFmpegInterrupt>& interrupt() const { return interrupt_; }
    [[nodiscard]] const core::URL& url() const { return url_; }
    // An error from libav while reading, or the delegate's own when the
    // resource loader's request failed.
    [[nodiscard]] MediaError readError(int averror) const;

private:
    struct Private {};

public:
    FFmpegSource(Private, core::URL url, std::shared_ptr<FFmpegInterrupt> interrupt);

private:
    [[nodiscard]] std::optional<MediaError>
    openInput(const std::shared_ptr<AssetResourceLoader>& loader, const FFmpegOptions& options);
    [[nodiscard]] std::optional<MediaError> probe();
    [[nodiscard]] MediaError failure(const char* what, int averror) const;

    const core::URL url_;
    const std::shared_ptr<FFmpegInterrupt> interrupt_;
    std::unique_ptr<FFmpegResourceReader> reader_;
    AVFormatContext* context_ = nullptr;
    AssetInfo info_;
    int videoStream_ = -1;
    int audioStream_ = -1;
    double origin_ = 0;
};

}  // namespace media
