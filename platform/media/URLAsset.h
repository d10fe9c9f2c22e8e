#pragma once
// Media at a URL: http(s), file, or a custom scheme whose bytes the
// resource loader's delegate provides. Its properties ("duration",
// "tracks", "playable") are known once loaded, asynchronously, or once an
// item of it became ready to play.
//
// Safe from any thread.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/URL.h"
#include "media/AssetInfo.h"
#include "media/AssetResourceLoader.h"
#include "media/EngineAsset.h"
#include "media/MediaError.h"

namespace media {

enum class AssetKeyStatus { unknown, loading, loaded, failed, cancelled };

class URLAsset : public std::enable_shared_from_this<URLAsset> {
public:
    [[nodiscard]] static std::shared_ptr<URLAsset> create(core::URL url);
    ~URLAsset();
    URLAsset(const URLAsset&) = delete;
    URLAsset& operator=(const URLAsset&) = delete;

    [[nodiscard]] const core::URL& url() const { return url_; }
    [[nodiscard]] const std::shared_ptr<AssetResourceLoader>& resourceLoader() const {
        return resourceLoader_;
    }

    // Loads the keys ("duration", "tracks" and "playable" load together);
    // completion runs once when every key asked for is loaded, failed or
    // cancelled: at once when they are loaded or failed already, else on an
    // engine thread or the main queue. A cancelled load starts again. An
    // unknown key fails.
    void loadValuesAsynchronously(const std::vector<std::string>& keys,
                                  std::function<void()> completion);
    [[nodiscard]] AssetKeyStatus statusOfValue(const std::string& key,
                                               std::optional<MediaError>* error = nullptr) const;
    // Ends a load under way as cancelled.
    void cancelLoading();

    // Indefinite until loaded.
    [[nodiscard]] Time duration() const;
    [[nodiscard]] std::vector<AssetTrack> tracks() const;
    [[nodiscard]] std::vector<AssetTrack> tracks(MediaType type) const;

    // The engine's side of this asset, made by the engine current when the
    // asset was made.
    [[nodiscard]] const std::shared_ptr<EngineAsset>& engineAsset() const { return engineAsset_; }
    // What an item of this asset found when it became ready.
    void setInfo(const AssetInfo& info);

private:
    struct Private {};

public:
    URLAsset(Private, core::URL url);

private:
    void finishLoad(const EngineAsset::LoadResult& result);

    const core::URL url_;
    const std::shared_ptr<AssetResourceLoader> resourceLoader_;
    const std::shared_ptr<EngineAsset> engineAsset_;

    mutable std::mutex mutex_;
    AssetKeyStatus status_ = AssetKeyStatus::unknown;
    std::optional<AssetInfo> info_;
    std::optional<MediaError> error_;
    std::vector<std::function<void()>> completions_;
};

}  // namespace media
