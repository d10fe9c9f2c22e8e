#pragma once
// Turns one video URL into the player item a DZVideoPlayer plays, once: the
// platform loads the URL itself (the standard way), and the start is
// announced once the asset's duration has loaded. Ways that feed the item
// from the SDK's own downloads (gcache streams, ranged downloads under
// advance buffering control) are not built yet: a "gcache" URL fails at
// once, which lets the player fall back to its target URL, and a given
// resource cache or advance buffering control leave the standard way as it
// is.
//
// Main thread. Announcements reach the delegate on the main queue, at most
// one start or failure per load, and none once the loader is gone or
// cancelled.

#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"
#include "core/URL.h"
#include "media/PlayerItem.h"

namespace ads {

class DZResourceCache;
class DZVideoConfiguration;
class DZVideoLoader;
class DZVideoPlayer;

class DZVideoLoaderDelegate {
public:
    virtual ~DZVideoLoaderDelegate() = default;
    // url: the URL given to the load (none for an empty source).
    virtual void videoLoaderDidStartLoadingURL(DZVideoLoader& loader,
                                               const std::optional<core::URL>& url) = 0;
    virtual void videoLoaderDidFailToLoadURL(DZVideoLoader& loader,
                                             const std::optional<core::URL>& url,
                                             const Error& error) = 0;
};

class DZVideoLoader : public std::enable_shared_from_this<DZVideoLoader> {
    struct Token {};

public:
    static constexpr const char* kAlreadyUsedMessage = "Video loader already used.";

    [[nodiscard]] static std::shared_ptr<DZVideoLoader> create(std::weak_ptr<DZVideoPlayer> player);
    DZVideoLoader(Token, std::weak_ptr<DZVideoPlayer> player);
    ~DZVideoLoader();
    DZVideoLoader(const DZVideoLoader&) = delete;
    DZVideoLoader& operator=(const DZVideoLoader&) = delete;

    // Loads once; a second call announces failure (code 11, "Video loader
    // already used.") and loads nothing.
    void loadURL(const std::optional<core::URL>& url,
                 const std::shared_ptr<DZResourceCache>& resourceCache,
                 const std::shared_ptr<DZVideoConfiguration>& configuration);
    // Stops the load: no announcement follows.
    void cancel();

    [[nodiscard]] const std::shared_ptr<media::PlayerItem>& playerItem() const {
        return playerItem_;
    }
    [[nodiscard]] bool hasBeenUsed() const { return hasBeenUsed_; }
    // The download given with the load, if any.
    [[nodiscard]] const std::shared_ptr<DZResourceCache>& resourceCache() const {
        return resourceCache_;
    }
    [[nodiscard]] std::shared_ptr<DZVideoPlayer> player() const { return player_.lock(); }
    [[nodiscard]] std::shared_ptr<DZVideoLoaderDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoLoaderDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    void loadStandard();
    void announceStart();
    void announceFailure(const Error& error);

    std::weak_ptr<DZVideoPlayer> player_;
    bool hasBeenUsed_ = false;
    bool cancelled_ = false;
    std::optional<core::URL> sourceURL_;
    std::shared_ptr<DZVideoConfiguration> configuration_;
    std::shared_ptr<media::PlayerItem> playerItem_;
    std::shared_ptr<DZResourceCache> resourceCache_;
    std::weak_ptr<DZVideoLoaderDelegate> delegate_;
    bool hasNotifiedVideoLoadingStarted_ = false;
    bool hasNotifiedVideoLoadingFailed_ = false;
};

}  // namespace ads
