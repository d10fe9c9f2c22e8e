#pragma once
// The FFmpeg engine's side of one asset. A load probes the source on a
// thread of its own and keeps the opened source, so that the first item to
// play continues from there instead of opening it again.
//
// Safe from any thread; play() on the main thread.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "media/EngineAsset.h"
#include "media/FFmpegOptions.h"
#include "media/FFmpegSource.h"

namespace media {

class FFmpegAsset final : public EngineAsset, public std::enable_shared_from_this<FFmpegAsset> {
public:
    FFmpegAsset(core::URL url, std::shared_ptr<AssetResourceLoader> loader, FFmpegOptions options);

    void load(LoadReply reply) override;
    void cancelLoading() override;
    [[nodiscard]] std::unique_ptr<EngineItem> play(std::shared_ptr<EngineItemSink> sink,
                                                   std::shared_ptr<ItemTimebase> timebase) override;

    // For an item's thread: the source the probe left open, once no probe
    // runs; nullptr when there is none, or when interrupt stopped the wait.
    [[nodiscard]] std::unique_ptr<FFmpegSource> takeProbedSource(const FFmpegInterrupt& interrupt);

    [[nodiscard]] const core::URL& url() const { return url_; }
    [[nodiscard]] const std::shared_ptr<AssetResourceLoader>& loader() const { return loader_; }
    [[nodiscard]] const FFmpegOptions& options() const { return options_; }

private:
    void probe(const std::shared_ptr<FFmpegInterrupt>& interrupt);

    const core::URL url_;
    const std::shared_ptr<AssetResourceLoader> loader_;
    const FFmpegOptions options_;

    std::mutex mutex_;
    std::condition_variable probed_;
    bool probing_ = false;
    std::shared_ptr<FFmpegInterrupt> probeInterrupt_;
    std::optional<LoadResult> result_;
    std::vector<LoadReply> replies_;
    std::unique_ptr<FFmpegSource> source_;
};

}  // namespace media
