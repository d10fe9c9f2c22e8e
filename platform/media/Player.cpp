#include "media/Player.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Clock.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"

namespace media {

namespace {

// Times closer than this count as the same instant.
constexpr double kTolerance = 1e-6;
constexpr const char* kItemKeyPaths[] = {"status", "duration", "loadedTimeRanges",
                                         "playbackLikelyToKeepUp", "playbackBufferFull"};

}  // namespace

std::shared_ptr<Player> Player::create(std::shared_ptr<PlayerItem> item) {
    auto player = std::make_shared<Player>(Private{});
    if (item) player->replaceCurrentItem(std::move(item));
    return player;
}

Player::~Player() {
    if (boundaryTimer_) boundaryTimer_->invalidate();
    for (const auto& observer : periodic_) {
        if (observer->timer) observer->timer->invalidate();
    }
    if (item_) item_->detach();
}

void Player::setRate(float rate) {
    if (!(rate > 0)) rate = 0;
    if (rate == rate_) return;
    rate_ = rate;
    if (rate_ == 0) waiting_ = false;
    observers_.notify("rate");
    update();
    flush();
}

Player::TimeControlStatus Player::timeControlStatus() const {
    if (rate_ == 0) return TimeControlStatus::paused;
    return moving_ ? TimeControlStatus::playing : TimeControlStatus::waitingToPlayAtSpecifiedRate;
}

void Player::replaceCurrentItem(std::shared_ptr<PlayerItem> item) {
    if (item == item_) return;
    if (item) {
        if (const auto other = item->player(); other && other.get() != this) {
            other->replaceCurrentItem(nullptr);
        }
    }
    if (item_) item_->detach();
    item_ = std::move(item);
    waiting_ = false;
    if (item_) {
        item_->attach(shared_from_this());
        takeStatusFrom(*item_);
    }
    update();
    observers_.notify("currentItem");
    for (const char* key : kItemKeyPaths) {
        const std::string keyPath = std::string("currentItem.") + key;
        if (observers_.isObserved(keyPath)) observers_.notify(keyPath);
    }
    flush();
}

Time Player::currentTime() const {
    return item_ ? item_->currentTime() : Time::zero();
}

void Player::seekToTime(Time time) {
    if (!item_) return;
    double seconds = time.isNumeric() ? std::max(0.0, time.toSeconds()) : 0;
    if (item_->duration_.isNumeric()) seconds = std::min(seconds, item_->duration_.toSeconds());
    waiting_ = false;
    item_->seek(seconds);
    update();
    const auto observers = periodic_;
    for (const auto& observer : observers) call(*observer, Time::seconds(seconds));
    flush();
}

void Player::setVolume(float volume) {
    volume_ = volume;
    if (item_) item_->audioSettings_->setPlayerLevel(volume_, muted_);
}

void Player::setMuted(bool muted) {
    muted_ = muted;
    if (item_) item_->audioSettings_->setPlayerLevel(volume_, muted_);
}

void Player::setAutomaticallyWaitsToMinimizeStalling(bool waits) {
    if (waits == waits_) return;
    waits_ = waits;
    update();
    flush();
}

Player::TimeObserverToken Player::addPeriodicTimeObserver(Time interval,
                                                          std::shared_ptr<core::Queue> queue,
                                                          TimeObserver observer) {
    auto entry = std::make_shared<PeriodicObserver>();
    entry->id = nextObserverId_++;
    entry->interval = interval;
    entry->queue = queue ? std::move(queue) : core::Queue::main();
    entry->observer = std::move(observer);
    periodic_.push_back(entry);
    if (item_) {
        const auto state = item_->timebase_->state();
        schedule(*entry, item_->timebase_->seconds(), state.limit);
    }
    return TimeObserverToken{entry->id};
}

void Player::removeTimeObserver(TimeObserverToken token) {
    std::erase_if(periodic_, [&](const auto& observer) {
        if (observer->id != token.id) return false;
        if (observer->timer) observer->timer->invalidate();
        return true;
    });
}

void Player::itemDidChange(PlayerItem& item, const std::string& keyPath) {
    if (&item != item_.get()) {
        item.observers_.notify(keyPath);
        return;
    }
    const auto keep = item_;
    if (keyPath == "status") takeStatusFrom(item);
    update();
    item.observers_.notify(keyPath);
    observers_.notify("currentItem." + keyPath);
    flush();
}

void Player::takeStatusFrom(const PlayerItem& item) {
    Status status = status_;
    std::optional<MediaError> error = error_;
    if (item.status_ == PlayerItem::Status::readyToPlay) {
        status = Status::readyToPlay;
        error.reset();
    } else if (item.status_ == PlayerItem::Status::failed) {
        status = Status::failed;
        error = item.error_;
    }
    if (status == status_ && error == error_) return;
    status_ = status;
    error_ = std::move(error);
    statusChanged_ = true;
}

void Player::update() {
    if (boundaryTimer_) {
        boundaryTimer_->invalidate();
        boundaryTimer_.reset();
    }
    moving_ = false;
    if (!item_) {
        scheduleObservers(0, 0);
        return;
    }
    PlayerItem& item = *item_;
    double time = item.timebase_->seconds();
    const double end = item.endSeconds();
    double limit = end;
    if (rate_ > 0 && item.status_ == PlayerItem::Status::readyToPlay && !item.ended_) {
        if (time >= end - kTolerance) {
            time = end;
            reachEnd();
        } else {
            limit = std::min(end, item.playableEndSeconds(time));
            if (time >= limit - kTolerance) {
                if (waits_) {
                    waiting_ = true;
                } else {
                    rate_ = 0;
                    rateChanged_ = true;
                    waiting_ = false;
                }
            } else if (waiting_ && item.likelyToKeepUp_) {
                waiting_ = false;
            }
            moving_ = rate_ > 0 && !waiting_ && time < limit - kTolerance;
        }
    }
    item.timebase_->set(time, moving_ ? rate_ : 0, limit);
    scheduleObservers(time, limit);
    if (moving_) scheduleBoundary(time, limit);
}

void Player::reachEnd() {
    item_->ended_ = true;
    waiting_ = false;
    rate_ = 0;
    rateChanged_ = true;
    endedItem_ = item_;
}

void Player::scheduleBoundary(double time, double limit) {
    if (!std::isfinite(limit)) return;
    std::weak_ptr<Player> weak = weak_from_this();
    boundaryTimer_ = core::Timer::schedule(core::RunLoop::main(), (limit - time) / rate_, false,
                                           [weak](core::Timer&) {
                                               if (const auto self = weak.lock()) {
                                                   self->fireDueObservers();
                                                   self->update();
                                                   self->flush();
                                               }
                                           });
}

void Player::fireDueObservers() {
    const double now = core::Clock::current()->monotonicSeconds();
    const auto observers = periodic_;
    for (const auto& observer : observers) {
        const auto timer = observer->timer;
        if (timer && timer->isValid() && timer->fireDate() <= now + kTolerance) timer->fire();
    }
}

void Player::scheduleObservers(double time, double limit) {
    for (const auto& observer : periodic_) schedule(*observer, time, limit);
}

void Player::schedule(PeriodicObserver& observer, double time, double limit) {
    if (observer.timer) {
        observer.timer->invalidate();
        observer.timer.reset();
    }
    const double interval = observer.interval.toSeconds();
    if (!moving_ || interval <= 0) return;
    // A time a hair before a tick counts as that tick, which fired already.
    const auto index = static_cast<std::int64_t>(std::floor((time + kTolerance) / interval)) + 1;
    const double target = static_cast<double>(index) * interval;
    if (target > limit + kTolerance) return;
    std::weak_ptr<Player> weak = weak_from_this();
    const std::uint64_t id = observer.id;
    observer.timer = core::Timer::schedule(core::RunLoop::main(), (target - time) / rate_, false,
                                           [weak, id, index](core::Timer&) {
                                               if (const auto self = weak.lock())
                                                   self->firePeriodic(id, index);
                                           });
}

void Player::firePeriodic(std::uint64_t id, std::int64_t index) {
    const auto found = std::find_if(periodic_.begin(), periodic_.end(),
                                    [&](const auto& observer) { return observer->id == id; });
    if (found == periodic_.end() || !item_) return;
    const auto observer = *found;
    const Time tick(index * observer->interval.value(), observer->interval.timescale());
    schedule(*observer, tick.toSeconds(), item_->timebase_->state().limit);
    call(*observer, tick);
}

void Player::call(const PeriodicObserver& observer, Time time) {
    if (observer.queue == core::Queue::main() && core::RunLoop::isMainThread()) {
        observer.observer(time);
        return;
    }
    observer.queue->async([callback = observer.observer, time] { callback(time); });
}

void Player::flush() {
    if (std::exchange(statusChanged_, false)) observers_.notify("status");
    if (std::exchange(rateChanged_, false)) observers_.notify("rate");
    if (const auto ended = std::exchange(endedItem_, nullptr)) {
        core::NotificationCenter::defaultCenter().post(PlayerItem::kDidPlayToEndTimeNotification,
                                                       ended.get());
    }
}

}  // namespace media
