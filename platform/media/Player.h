#pragma once
// Plays one item at a time on core::Clock. Time moves at the rate while
// the rate is above 0 and the current item is ready, up to what is loaded:
// when time reaches the end of the loaded range before the item's end (an
// under-run), a player that automatically waits to minimize stalling holds
// time still, with its rate unchanged, until the item is likely to keep up
// again; one that does not sets its rate to 0. At the item's end time
// stops, the rate goes to 0 and the item posts its end notification.
//
// Change observers of "status", "rate", "currentItem" and
// "currentItem.<key>" (the item's key paths) are called after the change.
// Periodic time observers run every interval of item time while time
// moves, and once after a seek, on the queue given (at once when that is
// the main queue).
//
// Status follows the current item: unknown until an item becomes ready,
// failed with the item's error when it fails, ready again when an item
// becomes ready. The item's sound plays on the audio output as its time
// moves, at the player's volume (0..1) unless muted.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Queue.h"
#include "core/Timer.h"
#include "media/ChangeObservers.h"
#include "media/PlayerItem.h"
#include "media/Time.h"

namespace media {

class Player : public std::enable_shared_from_this<Player> {
public:
    enum class Status { unknown = 0, readyToPlay = 1, failed = 2 };
    enum class TimeControlStatus { paused, waitingToPlayAtSpecifiedRate, playing };

    struct TimeObserverToken {
        std::uint64_t id = 0;
        explicit operator bool() const { return id != 0; }
        friend bool operator==(const TimeObserverToken&, const TimeObserverToken&) = default;
    };
    using TimeObserver = std::function<void(Time)>;

    [[nodiscard]] static std::shared_ptr<Player> create(std::shared_ptr<PlayerItem> item = nullptr);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    [[nodiscard]] float rate() const { return rate_; }
    // Rates below 0 count as 0.
    void setRate(float rate);
    void play() { setRate(1); }
    void pause() { setRate(0); }
    [[nodiscard]] TimeControlStatus timeControlStatus() const;

    [[nodiscard]] Status status() const { return status_; }
    [[nodiscard]] const std::optional<MediaError>& error() const { return error_; }

    [[nodiscard]] const std::shared_ptr<PlayerItem>& currentItem() const { return item_; }
    // An item that another player plays is taken from it.
    void replaceCurrentItem(std::shared_ptr<PlayerItem> item);
    // The current item's time; zero without one.
    [[nodiscard]] Time currentTime() const;
    // Clamped to [0, duration].
    void seekToTime(Time time);

    [[nodiscard]] float volume() const { return volume_; }
    void setVolume(float volume);
    [[nodiscard]] bool isMuted() const { return muted_; }
    void setMuted(bool muted);
    [[nodiscard]] bool automaticallyWaitsToMinimizeStalling() const { return waits_; }
    void setAutomaticallyWaitsToMinimizeStalling(bool waits);

    // queue nullptr: the main queue.
    TimeObserverToken addPeriodicTimeObserver(Time interval, std::shared_ptr<core::Queue> queue,
                                              TimeObserver observer);
    void removeTimeObserver(TimeObserverToken token);

    ChangeObservers::Token addObserver(std::string keyPath, ChangeObservers::Callback callback) {
        return observers_.add(std::move(keyPath), std::move(callback));
    }
    void removeObserver(ChangeObservers::Token token) { observers_.remove(token); }

private:
    friend class PlayerItem;
    struct Private {};

    struct PeriodicObserver {
        std::uint64_t id = 0;
        Time interval;
        std::shared_ptr<core::Queue> queue;
        TimeObserver observer;
        std::shared_ptr<core::Timer> timer;
        std::int64_t nextIndex = 0;
    };

public:
    explicit Player(Private) {}

private:
    void itemDidChange(PlayerItem& item, const std::string& keyPath);
    void takeStatusFrom(const PlayerItem& item);
    // Decides where time stands and whether it moves, re-arms the timers.
    void update();
    void reachEnd();
    void scheduleBoundary(double time, double limit);
    // Ticks due at the boundary come before the player stops there.
    void fireDueObservers();
    void scheduleObservers(double time, double limit);
    void schedule(PeriodicObserver& observer, double time, double limit);
    void firePeriodic(std::uint64_t id, std::int64_t index);
    void call(const PeriodicObserver& observer, Time time);
    // Sends the notifications update() left pending.
    void flush();

    std::shared_ptr<PlayerItem> item_;
    float rate_ = 0;
    float volume_ = 1;
    bool muted_ = false;
    bool waits_ = true;
    bool waiting_ = false;
    bool moving_ = false;
    Status status_ = Status::unknown;
    std::optional<MediaError> error_;
    ChangeObservers observers_;
    std::vector<std::shared_ptr<PeriodicObserver>> periodic_;
    std::uint64_t nextObserverId_ = 1;
    std::shared_ptr<core::Timer> boundaryTimer_;

    bool rateChanged_ = false;
    bool statusChanged_ = false;
    std::shared_ptr<PlayerItem> endedItem_;
};

}  // namespace media
