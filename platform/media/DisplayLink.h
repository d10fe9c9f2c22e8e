#pragma once
// Paces drawing at the screen's 60 frames a second: once added to a run
// loop and while not paused, it calls its callback on that loop's thread at
// every frame slot of core::Clock. In the callback, timestamp() is the
// slot's time and duration() one frame, both in the clock's monotonic
// seconds. A link is made running; pausing stops the slots, resuming starts
// them again one frame from then. Under a manual clock each slot crossed by
// advance() fires; tests may also call tick().
//
// Every member is safe from any thread; the callback runs on the loop's
// thread, or on the thread calling tick().

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace core {
class RunLoop;
class Timer;
}  // namespace core

namespace media {

class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
    struct Token {};

public:
    static constexpr double kFramesPerSecond = 60;
    using Callback = std::function<void(DisplayLink&)>;

    [[nodiscard]] static std::shared_ptr<DisplayLink> create(Callback callback);

    DisplayLink(Token, Callback callback);
    ~DisplayLink();
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    // A link belongs to the first loop it is added to; later adds do nothing.
    void addToRunLoop(core::RunLoop& loop);
    [[nodiscard]] bool isPaused() const;
    void setPaused(bool paused);
    // Stops the link for good and releases the callback (also from inside it).
    void invalidate();
    [[nodiscard]] bool isValid() const;

    [[nodiscard]] double timestamp() const;
    [[nodiscard]] double duration() const { return 1.0 / kFramesPerSecond; }
    [[nodiscard]] double targetTimestamp() const { return timestamp() + duration(); }
    // Callbacks made so far.
    [[nodiscard]] std::uint64_t frameCount() const;

    // One frame now, on the calling thread, stamped with the clock's current
    // time; false (and no callback) when the link is paused or invalid.
    bool tick();

private:
    // Starts or stops the slots to match the state; mutex_ held.
    void updateTimerLocked();
    void frame(double timestamp);

    mutable std::mutex mutex_;
    std::shared_ptr<Callback> callback_;  // null once invalid
    std::weak_ptr<core::RunLoop> loop_;
    bool added_ = false;
    bool paused_ = false;
    std::shared_ptr<core::Timer> timer_;
    double timestamp_ = 0;
    std::uint64_t frames_ = 0;
};

}  // namespace media
