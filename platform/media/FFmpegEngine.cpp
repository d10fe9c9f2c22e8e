#include "media/FFmpegEngine.h"

#include <mutex>

#include "media/FFmpegAsset.h"
#include "media/FFmpegThreads.h"

extern "C" {
#include <libavutil/log.h>
}

namespace media {

std::shared_ptr<FFmpegEngine> FFmpegEngine::create(FFmpegOptions options) {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
    return std::make_shared<FFmpegEngine>(Private{}, std::move(options));
}

std::shared_ptr<EngineAsset> FFmpegEngine::makeAsset(const core::URL& url,
                                                     std::shared_ptr<AssetResourceLoader> loader) {
    return std::make_shared<FFmpegAsset>(url, std::move(loader), options_);
}

std::size_t FFmpegEngine::runningThreads() {
    return FFmpegThreads::running();
}

}  // namespace media
