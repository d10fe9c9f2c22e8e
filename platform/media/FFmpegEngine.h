#pragma once
// The engine that plays media with FFmpeg (libavformat, libavcodec,
// swscale): the production default. See FFmpegSource for how sources are
// opened, FFmpegPlayback for how an item plays.

#include <memory>

#include "media/Engine.h"
#include "media/FFmpegOptions.h"

namespace media {

class FFmpegEngine final : public Engine {
public:
    [[nodiscard]] static std::shared_ptr<FFmpegEngine> create(FFmpegOptions options = {});

    [[nodiscard]] std::shared_ptr<EngineAsset>
    makeAsset(const core::URL& url, std::shared_ptr<AssetResourceLoader> loader) override;
    [[nodiscard]] const FFmpegOptions& options() const { return options_; }

    // The engine threads of the process that have not ended yet.
    [[nodiscard]] static std::size_t runningThreads();

private:
    struct Private {};

public:
    FFmpegEngine(Private, FFmpegOptions options) : options_(std::move(options)) {}

private:
    const FFmpegOptions options_;
};

}  // namespace media
