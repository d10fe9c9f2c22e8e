#pragma once
// Plays the video of one HTML ad: one media::Player, fed by a DZVideoLoader
// per source, reporting to the ad page as "onVideoEvent" messages ("play",
// "pause", "ended", "timeupdate", "canplaythrough", "error"), to the ad's
// event log as "video_player" events, to the process-wide audio-video
// manager as video and sound activity (unless the slot or the server turns
// that off), and to the rest of the SDK as one pair of buffering
// notifications per source. The page drives it through the ad view's video
// category: sources, play, pause, seek, volume and mute.
//
// When the platform is not left to buffer on its own (the configuration's
// enableAVPlayerPlaybackBuffering is off), a stall while playing is waited
// out: playback resumes once bufferForPlaybackMs is loaded ahead, and after
// the first stall once bufferForPlaybackAfterRebufferMs is.
//
// Main thread throughout.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/video/DZVideoLoader.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"
#include "gfx/Geometry.h"
#include "media/ChangeObservers.h"
#include "media/Player.h"

namespace ads {

class DZAdView;
class DZAudioVideoManager;
class DZResourceCache;
class DZSawmillLogger;
class DZVideoConfiguration;
class DZVideoPlayer;

class DZVideoPlayerDelegate {
public:
    virtual ~DZVideoPlayerDelegate() = default;
    // The media of url is ready; called one main-queue turn after
    // "canplaythrough".
    virtual void playerDidLoadURL(DZVideoPlayer& player, const std::optional<core::URL>& url,
                            const std::shared_ptr<media::Player>& avPlayer) = 0;
};

class DZVideoPlayer : public DZVideoLoaderDelegate,
                      public std::enable_shared_from_this<DZVideoPlayer> {
    struct Token {};

public:
    static constexpr const char* WillStartBufferingNotification =
        "DZVideoPlayerWillStartBufferingNotification";
    static constexpr const char* DidStopBufferingNotification =
        "DZVideoPlayerDidStopBufferingNotification";
    static constexpr std::string_view kReportingDisabledKey =
        "/dozuza/ads/dzads:player_to_video_manager_reporting_disabled";
    static constexpr const char* kPageMessage = "onVideoEvent";
    static constexpr const char* kLogGroup = "video_player";
    // Seconds of player time between "timeupdate" events.
    static constexpr double kTimeUpdateInterval = 0.25;

    using TimeObserverToken = media::Player::TimeObserverToken;

    [[nodiscard]] static std::shared_ptr<DZVideoPlayer> create(const std::shared_ptr<DZAdView>& adView);
    DZVideoPlayer(Token, const std::shared_ptr<DZAdView>& adView);
    ~DZVideoPlayer() override;
    DZVideoPlayer(const DZVideoPlayer&) = delete;
    DZVideoPlayer& operator=(const DZVideoPlayer&) = delete;

    // Starts a new source (none: an empty player); the cache and the
    // configuration may be missing.
    void setSourceURL(const std::optional<core::URL>& url,
                      const std::shared_ptr<DZResourceCache>& resourceCache,
                      const std::shared_ptr<DZVideoConfiguration>& configuration);
    // Loading starts with the source: nothing to do.
    void load() {}

    // The page's commands to the media player.
    void playNativePlayer();
    void pauseNativePlayer();
    // Only the "play" / "pause" event, once "canplaythrough" was sent.
    void play();
    void pause();

    // Negative and non-finite values are ignored.
    void setVolume(float volume);
    void setMuted(bool muted);
    // Clamped to 0..1; 1 removes the item's audio mix.
    void setAudioMixVolume(float volume);
    // Non-finite times are ignored.
    void seekToTime(double seconds);

    // The video's display size in points (turned by the track's transform);
    // (-1, -1) when no video track has a size.
    [[nodiscard]] gfx::Size videoSize() const;

    // Periodic observers for other objects, added and removed on the main
    // thread; completion gets the token.
    void addPeriodicTimeObserver(media::Time interval, std::shared_ptr<core::Queue> queue,
                                 media::Player::TimeObserver block,
                                 std::function<void(TimeObserverToken)> completion);
    void removeTimeObserver(TimeObserverToken token);

    // The event log of this player's root object in the logging hierarchy.
    void resetLogger();

    // DZVideoLoaderDelegate: only the current loader counts.
    void videoLoaderDidStartLoadingURL(DZVideoLoader& loader,
                                       const std::optional<core::URL>& url) override;
    void videoLoaderDidFailToLoadURL(DZVideoLoader& loader, const std::optional<core::URL>& url,
                                     const Error& error) override;

    [[nodiscard]] const std::shared_ptr<media::Player>& player() const { return player_; }
    [[nodiscard]] const std::shared_ptr<media::PlayerItem>& playerItem() const {
        return playerItem_;
    }
    [[nodiscard]] const std::shared_ptr<DZVideoLoader>& videoLoader() const { return videoLoader_; }
    [[nodiscard]] const std::shared_ptr<DZVideoConfiguration>& configuration() const {
        return configuration_;
    }
    [[nodiscard]] const std::optional<core::URL>& sourceURL() const { return sourceURL_; }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const { return adView_.lock(); }
    [[nodiscard]] bool hasPostedCanPlayThrough() const { return hasPostedCanPlayThrough_; }
    [[nodiscard]] bool isBuffering() const { return isBuffering_; }
    [[nodiscard]] bool isPlaying() const { return playing_; }
    [[nodiscard]] bool playbackStalled() const { return playbackStalled_; }
    [[nodiscard]] bool hasPlaybackStalledAtLeastOnce() const {
        return hasPlaybackStalledAtLeastOnce_;
    }
    [[nodiscard]] bool playerToAudioVideoManagerReportingDisabled() const {
        return reportingDisabled_;
    }
    [[nodiscard]] float volume() const { return volume_; }
    [[nodiscard]] bool muted() const { return muted_; }
    [[nodiscard]] const std::shared_ptr<DZSawmillLogger>& logger() const { return logger_; }
    void setLogger(std::shared_ptr<DZSawmillLogger> logger) { logger_ = std::move(logger); }
    [[nodiscard]] std::shared_ptr<DZVideoPlayerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoPlayerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    // fallback: a retry with a gcache URL's target, which keeps the
    // source's record of what the page was told.
    void startSource(const std::optional<core::URL>& url,
                     const std::shared_ptr<DZResourceCache>& resourceCache,
                     const std::shared_ptr<DZVideoConfiguration>& configuration, bool fallback);
    [[nodiscard]] bool decideReportingDisabled() const;
    [[nodiscard]] std::shared_ptr<DZAudioVideoManager> manager() const;

    void observePlayer();
    void stopObservingPlayer();
    void observePlayerItemEnd();
    void stopObservingPlayerItemEnd();
    void observeLoadedTimeRanges();
    void stopObservingLoadedTimeRanges();

    void statusChanged();
    void rateChanged();
    void currentItemChanged();
    void handlePlayerItemDurationLoadUpdate();
    void itemDidPlayToEnd();
    void videoIsReadyToPlay();
    void notifyVideoPlayerWithTime(media::Time time);
    void willStartBuffering();
    void didStopBuffering();

    void sendEvent(std::string_view event, core::Dictionary parameters = {});
    void logEvent(std::string_view key, core::Value value);
    [[nodiscard]] core::Dictionary URLParameters() const;

    const std::weak_ptr<DZAdView> adView_;
    const std::shared_ptr<media::Player> player_;
    bool isBuffering_ = false;
    bool hasPostedCanPlayThrough_ = false;
    bool hasPostedLoadError_ = false;
    bool isObserving_ = false;
    std::vector<media::ChangeObservers::Token> playerObservers_;
    TimeObserverToken timeObserver_;
    core::NotificationCenter::Token endObserver_;
    media::ChangeObservers::Token loadedRangesObserver_;
    std::shared_ptr<media::PlayerItem> loadedRangesItem_;
    std::shared_ptr<media::PlayerItem> playerItem_;
    std::shared_ptr<DZVideoLoader> videoLoader_;
    std::shared_ptr<DZVideoConfiguration> configuration_;
    std::vector<TimeObserverToken> periodicTimeObservers_;
    std::optional<core::URL> sourceURL_;
    bool reportingDisabled_ = false;
    bool playing_ = false;
    bool playbackStalled_ = false;
    bool hasPlaybackStalledAtLeastOnce_ = false;
    bool muted_ = false;
    float volume_ = 1.0f;
    std::weak_ptr<DZVideoPlayerDelegate> delegate_;
    std::shared_ptr<DZSawmillLogger> logger_;
};

}  // namespace ads
