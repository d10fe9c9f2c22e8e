#include "media/URLAsset.h"

#include <utility>

#include "media/Engine.h"

namespace media {

namespace {

bool isKnownKey(const std::string& key) {
    return key == "duration" || key == "tracks" || key == "playable";
}

}  // namespace

std::shared_ptr<URLAsset> URLAsset::create(core::URL url) {
    return std::make_shared<URLAsset>(Private{}, std::move(url));
}

URLAsset::URLAsset(Private, core::URL url)
    : url_(std::move(url)), resourceLoader_(AssetResourceLoader::create()),
      engineAsset_(Engine::current()->makeAsset(url_, resourceLoader_)) {}

URLAsset::~URLAsset() {
    engineAsset_->cancelLoading();
}

void URLAsset::loadValuesAsynchronously(const std::vector<std::string>& keys,
                                        std::function<void()> completion) {
    bool start = false;
    {
        const std::lock_guard lock(mutex_);
        bool anyKnown = false;
        for (const auto& key : keys) anyKnown = anyKnown || isKnownKey(key);
        // A cancelled load starts again.
        const bool settled = status_ == AssetKeyStatus::loaded || status_ == AssetKeyStatus::failed;
        if (!anyKnown || settled) {
            // Answered below, outside the lock.
        } else {
            if (completion) completions_.push_back(std::move(completion));
            start = status_ != AssetKeyStatus::loading;
            status_ = AssetKeyStatus::loading;
            completion = nullptr;
        }
    }
    if (completion) {
        completion();
        return;
    }
    if (!start) return;
    std::weak_ptr<URLAsset> weak = weak_from_this();
    engineAsset_->load([weak](const EngineAsset::LoadResult& result) {
        if (const auto self = weak.lock()) self->finishLoad(result);
    });
}

void URLAsset::finishLoad(const EngineAsset::LoadResult& result) {
    std::vector<std::function<void()>> completions;
    {
        const std::lock_guard lock(mutex_);
        if (status_ == AssetKeyStatus::loading) {
            if (const auto* info = std::get_if<AssetInfo>(&result)) {
                info_ = *info;
                status_ = AssetKeyStatus::loaded;
            } else {
                error_ = std::get<MediaError>(result);
                status_ = error_->code == MediaError::Cancelled ? AssetKeyStatus::cancelled
                                                                : AssetKeyStatus::failed;
            }
        }
        completions.swap(completions_);
    }
    for (auto& completion : completions) completion();
}

AssetKeyStatus URLAsset::statusOfValue(const std::string& key,
                                       std::optional<MediaError>* error) const {
    const std::lock_guard lock(mutex_);
    if (!isKnownKey(key)) {
        if (error)
            *error = MediaError::make(MediaError::Unknown, "Unknown asset key \"" + key + "\".");
        return AssetKeyStatus::failed;
    }
    if (error) *error = error_;
    return status_;
}

void URLAsset::cancelLoading() {
    {
        const std::lock_guard lock(mutex_);
        if (status_ != AssetKeyStatus::loading) return;
    }
    engineAsset_->cancelLoading();
}

Time URLAsset::duration() const {
    const std::lock_guard lock(mutex_);
    return info_ ? info_->duration : Time::indefinite();
}

std::vector<AssetTrack> URLAsset::tracks() const {
    const std::lock_guard lock(mutex_);
    return info_ ? info_->tracks : std::vector<AssetTrack>{};
}

std::vector<AssetTrack> URLAsset::tracks(MediaType type) const {
    std::vector<AssetTrack> matching;
    for (const auto& track : tracks()) {
        if (track.mediaType == type) matching.push_back(track);
    }
    return matching;
}

void URLAsset::setInfo(const AssetInfo& info) {
    std::vector<std::function<void()>> completions;
    {
        const std::lock_guard lock(mutex_);
        info_ = info;
        error_.reset();
        status_ = AssetKeyStatus::loaded;
        completions.swap(completions_);
    }
    for (auto& completion : completions) completion();
}

}  // namespace media
