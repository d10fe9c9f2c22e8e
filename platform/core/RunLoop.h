#pragma once
// A run loop belongs to one thread and runs that thread's posted tasks and
// timers. RunLoop::current() creates the calling thread's loop on first use.
// The main run loop is the loop of the thread that first called
// bindMainToCurrentThread() (the test main and the application main do); if
// nobody has, the first thread to call main() becomes the main thread.
//
// Ordering: tasks posted to one loop run in the order they were posted (from
// one thread: exactly that order; from several: the order their post() calls
// took the loop's lock). One pass of the loop first fires the timers due at
// the pass's start, in fire-date order (equal dates: the order the timers
// were added; a repeating timer still due after firing, as when a manual
// clock jumped several intervals, fires again in the same pass), then runs
// the tasks that were waiting when the pass started. Tasks and timers that
// arrive during a pass wait for the next one. Nested passes (a task that
// runs the loop again) keep that order.
//
// A thread's loop, with its pending work, goes away when the thread ends;
// the main loop lives until the process ends.
//
// post(), add() and stop() are safe from any thread. run(), runOnce() and
// runUntil() must be called on the loop's own thread (checked: a call from
// another thread stops the process). Between passes the thread sleeps on a
// condition variable, with the real clock until the next timer's fire date,
// with a manual clock until something is posted or the clock is advanced;
// or, once a host is set (RunLoopHost: GLib's main context when web views
// exist), in the host, which then runs the passes as one of its sources.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/RunLoopHost.h"

namespace core {

class Clock;
class ManualClock;
class Timer;

class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    using Task = std::function<void()>;

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    ~RunLoop();

    static RunLoop& main();
    static RunLoop& current();
    // Makes the calling thread the main thread. Binding a second, different
    // thread stops the process.
    static RunLoop& bindMainToCurrentThread();
    [[nodiscard]] static bool isMainThread();
    // True on the loop's own thread.
    [[nodiscard]] bool isCurrent() const { return std::this_thread::get_id() == thread_; }

    // Runs passes until stop(). A stop() made while no run() is active ends
    // the next run() as soon as it starts.
    void run();
    // Ends the innermost active run() after its current pass.
    void stop();
    // Waits up to timeoutSeconds of real time for work (0: don't wait), then
    // makes one pass. Answers the number of timer fires and tasks run.
    size_t runOnce(double timeoutSeconds = 0);
    // Runs passes until predicate() holds (true) or limitSeconds of REAL
    // time have passed (false). The predicate is checked before each pass
    // and at least every 10 ms, so another thread may change what it reads
    // without posting.
    [[nodiscard]] bool runUntil(const std::function<bool()>& predicate, double limitSeconds);

    void post(Task task);
    // Schedules a timer made with Timer::create(). A timer belongs to one
    // loop: adding it to a second loop stops the process; adding an invalid
    // timer, or adding it again to its own loop, does nothing.
    void add(const std::shared_ptr<Timer>& timer);

    // For a thread that waits on another event source instead of run() (the
    // desktop window waits for window-system events): the seconds until a
    // pass has work on the current clock (0 when tasks wait or a timer is
    // due; nullopt when nothing is scheduled), and an observer the loop calls
    // whenever work arrives, the first timer moves or the loop is woken or
    // stopped, so that the waiter can wake. The observer runs on the calling
    // thread with the loop's lock held: it may only signal, never call into
    // this loop. An empty function removes it.
    [[nodiscard]] std::optional<double> secondsUntilWork() const;
    void setWakeObserver(std::function<void()> observer);

    // Hands the loop's waiting to another event loop (see RunLoopHost); on
    // the loop's own thread. nullptr takes it back.
    void setHost(std::shared_ptr<RunLoopHost> host);
    [[nodiscard]] std::shared_ptr<RunLoopHost> host() const;
    // For the host's source of this loop: makes one pass now, on the loop's
    // thread. Answers the number of timer fires and tasks run.
    size_t dispatchFromHost();

private:
    friend class Clock;
    friend class ManualClock;
    friend class Timer;

    using TimerKey = std::pair<double, std::uint64_t>;  // fire date, order added
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    RunLoop();

    static std::shared_ptr<RunLoop> currentIfAny();
    static std::vector<std::shared_ptr<RunLoop>> all();
    static void wakeAll(const RunLoop* except);
    // Moves every pending timer by seconds: called when a clock is
    // installed, so that each keeps its remaining delay.
    static void clockDidChange(double seconds);

    void checkOwnThread(const char* what) const;
    void wake();
    // Wakes run() and the wake observer; called with mutex_ held.
    void signalLocked();
    void waitForWork(Deadline until, bool stoppable);
    size_t runOnceInHost(RunLoopHost& host, double timeoutSeconds);
    [[nodiscard]] bool consumeStop();
    size_t pass();
    size_t runTasks(std::uint64_t postedBefore);
    [[nodiscard]] std::optional<double> nextFireDate() const;
    size_t fireDueTimers();
    void fireTimer(const std::shared_ptr<Timer>& timer, const Clock& clock);
    void insertLocked(const std::shared_ptr<Timer>& timer, double fireDate);
    void removeTimer(Timer& timer);
    void moveTimer(Timer& timer, double fireDate);
    void shiftTimers(double seconds);

    const std::thread::id thread_;
    mutable std::mutex mutex_;
    std::condition_variable wakeup_;
    std::deque<std::pair<std::uint64_t, Task>> tasks_;  // (order posted, task)
    std::uint64_t nextTaskOrder_ = 0;
    std::map<TimerKey, std::shared_ptr<Timer>> timers_;
    std::uint64_t nextTimerOrder_ = 0;
    bool stopRequested_ = false;
    bool woken_ = false;
    std::function<void()> wakeObserver_;
    std::shared_ptr<RunLoopHost> host_;
    // Passes the host dispatched, and the work they did: the loop's thread only.
    std::uint64_t hostPasses_ = 0;
    size_t hostWork_ = 0;
};

}  // namespace core
