#include "media/FFmpegAsset.h"

#include <chrono>
#include <utility>

#include "media/FFmpegPlayback.h"
#include "media/FFmpegThreads.h"

namespace media {

FFmpegAsset::FFmpegAsset(core::URL url, std::shared_ptr<AssetResourceLoader> loader,
                         FFmpegOptions options)
    : url_(std::move(url)), loader_(std::move(loader)), options_(std::move(options)) {}

void FFmpegAsset::load(LoadReply reply) {
    std::shared_ptr<FFmpegInterrupt> interrupt;
    {
        const std::lock_guard lock(mutex_);
        if (!result_) {
            replies_.push_back(std::move(reply));
            if (probing_) return;
            probing_ = true;
            interrupt = probeInterrupt_ = std::make_shared<FFmpegInterrupt>();
        }
    }
    if (!interrupt) {
        reply(*result_);
        return;
    }
    FFmpegThreads::spawn([self = shared_from_this(), interrupt] { self->probe(interrupt); });
}

void FFmpegAsset::probe(const std::shared_ptr<FFmpegInterrupt>& interrupt) {
    auto opened = FFmpegSource::open(url_, loader_, options_, interrupt);
    std::vector<LoadReply> replies;
    LoadResult result;
    {
        const std::lock_guard lock(mutex_);
        if (auto* source = std::get_if<std::unique_ptr<FFmpegSource>>(&opened)) {
            result = (*source)->info();
            source_ = std::move(*source);
        } else {
            result = std::get<MediaError>(opened);
        }
        // A cancelled probe may be tried again.
        const auto* error = std::get_if<MediaError>(&result);
        if (!error || error->code != MediaError::Cancelled) result_ = result;
        probing_ = false;
        probeInterrupt_.reset();
        replies.swap(replies_);
    }
    probed_.notify_all();
    for (auto& reply : replies) reply(result);
}

void FFmpegAsset::cancelLoading() {
    std::shared_ptr<FFmpegInterrupt> interrupt;
    {
        const std::lock_guard lock(mutex_);
        interrupt = probeInterrupt_;
    }
    if (interrupt) interrupt->stop();
}

std::unique_ptr<FFmpegSource> FFmpegAsset::takeProbedSource(const FFmpegInterrupt& interrupt) {
    std::unique_lock lock(mutex_);
    while (probing_) {
        if (interrupt.isStopped()) return nullptr;
        probed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return std::move(source_);
}

std::unique_ptr<EngineItem> FFmpegAsset::play(std::shared_ptr<EngineItemSink> sink,
                                              std::shared_ptr<ItemTimebase> timebase) {
    return FFmpegPlayback::start(shared_from_this(), std::move(sink), std::move(timebase));
}

}  // namespace media
