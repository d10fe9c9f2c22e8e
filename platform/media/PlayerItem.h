#pragma once
// One asset's playback state as a player plays it: readiness, duration,
// current time, what is loaded, whether playback is likely to keep up or
// the buffer is full, the audio mix (applied to the sound, with the
// player's volume and mute) and the video outputs. An item plays
// while it is a player's current item; the engine's work for it starts
// when it is attached and stops when it is replaced or its player goes,
// and starts again from the item's time when it is attached again.
//
// When the item plays to its end, kDidPlayToEndTimeNotification is posted
// on the default notification center with the item as object.
//
// Main thread, except outputs (addOutput, removeOutput, outputs), which are
// safe from any thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/AudioMix.h"
#include "media/ChangeObservers.h"
#include "media/EngineItem.h"
#include "media/ItemAudioSettings.h"
#include "media/ItemTimebase.h"
#include "media/MediaError.h"
#include "media/PlayerItemOutputs.h"
#include "media/TimeRange.h"
#include "media/URLAsset.h"

namespace media {

class EngineItemSink;
class Player;

class PlayerItem : public std::enable_shared_from_this<PlayerItem> {
public:
    static constexpr const char* kDidPlayToEndTimeNotification =
        "PlayerItemDidPlayToEndTimeNotification";

    enum class Status { unknown = 0, readyToPlay = 1, failed = 2 };

    [[nodiscard]] static std::shared_ptr<PlayerItem> create(std::shared_ptr<URLAsset> asset);
    [[nodiscard]] static std::shared_ptr<PlayerItem> create(const core::URL& url);
    ~PlayerItem();
    PlayerItem(const PlayerItem&) = delete;
    PlayerItem& operator=(const PlayerItem&) = delete;

    [[nodiscard]] const std::shared_ptr<URLAsset>& asset() const { return asset_; }
    [[nodiscard]] Status status() const { return status_; }
    [[nodiscard]] const std::optional<MediaError>& error() const { return error_; }
    // Indefinite until the item is ready (and after, for media without an end).
    [[nodiscard]] Time duration() const { return duration_; }
    [[nodiscard]] Time currentTime() const;
    [[nodiscard]] const std::vector<TimeRange>& loadedTimeRanges() const { return loadedRanges_; }
    [[nodiscard]] bool isPlaybackLikelyToKeepUp() const { return likelyToKeepUp_; }
    [[nodiscard]] bool isPlaybackBufferFull() const { return bufferFull_; }
    [[nodiscard]] std::shared_ptr<Player> player() const { return player_.lock(); }

    void setAudioMix(std::optional<AudioMix> mix);
    [[nodiscard]] const std::optional<AudioMix>& audioMix() const { return audioMix_; }

    void addOutput(const std::shared_ptr<VideoOutput>& output) { outputs_->add(output); }
    void removeOutput(const std::shared_ptr<VideoOutput>& output) { outputs_->remove(output); }
    [[nodiscard]] std::vector<std::shared_ptr<VideoOutput>> outputs() const {
        return outputs_->outputs();
    }

    // Key paths: "status", "duration", "loadedTimeRanges",
    // "playbackLikelyToKeepUp", "playbackBufferFull".
    ChangeObservers::Token addObserver(std::string keyPath, ChangeObservers::Callback callback) {
        return observers_.add(std::move(keyPath), std::move(callback));
    }
    void removeObserver(ChangeObservers::Token token) { observers_.remove(token); }

private:
    friend class Player;
    friend class EngineItemSink;
    struct Private {};

public:
    PlayerItem(Private, std::shared_ptr<URLAsset> asset);

private:
    // The engine's reports, applied on the main thread.
    void applyReady(const AssetInfo& info);
    void applyFailure(const MediaError& error);
    void applyLoadedRanges(std::vector<TimeRange> ranges, bool complete);
    void applyLikelyToKeepUp(bool likely);
    void applyBufferFull(bool full);
    void changed(const std::string& keyPath);

    // For the player.
    void attach(const std::shared_ptr<Player>& player);
    void detach();
    void seek(double seconds);
    // Where the item ends: its duration, or the end of what was loaded once
    // the engine read all there is; infinity when neither is known.
    [[nodiscard]] double endSeconds() const;
    // The end of the loaded range that time is in (time itself when it is
    // in none); infinity past the last range once all there is was loaded.
    [[nodiscard]] double playableEndSeconds(double time) const;

    const std::shared_ptr<URLAsset> asset_;
    const std::shared_ptr<ItemTimebase> timebase_ = std::make_shared<ItemTimebase>();
    const std::shared_ptr<PlayerItemOutputs> outputs_;
    const std::shared_ptr<ItemAudioSettings> audioSettings_ = std::make_shared<ItemAudioSettings>();
    ChangeObservers observers_;
    std::weak_ptr<Player> player_;
    std::shared_ptr<EngineItemSink> sink_;
    std::unique_ptr<EngineItem> engineItem_;

    Status status_ = Status::unknown;
    std::optional<MediaError> error_;
    Time duration_ = Time::indefinite();
    std::vector<TimeRange> loadedRanges_;
    bool loadedToEnd_ = false;
    bool likelyToKeepUp_ = false;
    bool bufferFull_ = false;
    bool ended_ = false;
    std::optional<AudioMix> audioMix_;
};

}  // namespace media
