#include "core/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "core/Clock.h"
#include "core/Fatal.h"
#include "core/Timer.h"

namespace core {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Every live run loop, so that clocks can wake them and move their timers.
struct Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<RunLoop>> loops;
};

Registry& registry() {
    static auto* state = new Registry;
    return *state;
}

struct MainBinding {
    std::mutex mutex;
    std::atomic<RunLoop*> loop{nullptr};
    std::atomic<std::thread::id> thread{};
    std::shared_ptr<RunLoop> keepAlive;  // the main loop outlives its thread's exit
};

MainBinding& mainBinding() {
    static auto* state = new MainBinding;
    return *state;
}

thread_local std::shared_ptr<RunLoop> threadLoop;

constexpr auto kPredicateInterval = std::chrono::milliseconds(10);

SteadyClock::duration realDuration(double seconds) {
    const double bounded = std::clamp(seconds, 0.0, 1e7);
    return std::chrono::ceil<SteadyClock::duration>(std::chrono::duration<double>(bounded));
}

}  // namespace

RunLoop::RunLoop() : thread_(std::this_thread::get_id()) {}

RunLoop::~RunLoop() = default;

RunLoop& RunLoop::current() {
    if (!threadLoop) {
        threadLoop = std::shared_ptr<RunLoop>(new RunLoop());
        auto& state = registry();
        std::lock_guard lock(state.mutex);
        std::erase_if(state.loops, [](const auto& loop) { return loop.expired(); });
        state.loops.push_back(threadLoop);
    }
    return *threadLoop;
}

RunLoop& RunLoop::bindMainToCurrentThread() {
    auto& binding = mainBinding();
    std::lock_guard lock(binding.mutex);
    RunLoop& loop = current();
    RunLoop* bound = binding.loop.load();
    if (bound == &loop) return loop;
    if (bound) fatal("RunLoop::bindMainToCurrentThread: the main run loop has another thread");
    binding.keepAlive = threadLoop;
    binding.thread.store(std::this_thread::get_id());
    binding.loop.store(&loop, std::memory_order_release);
    return loop;
}

RunLoop& RunLoop::main() {
    auto& binding = mainBinding();
    if (RunLoop* loop = binding.loop.load(std::memory_order_acquire)) return *loop;
    {
        std::lock_guard lock(binding.mutex);
        if (RunLoop* loop = binding.loop.load()) return *loop;
    }
    return bindMainToCurrentThread();
}

bool RunLoop::isMainThread() {
    return mainBinding().thread.load() == std::this_thread::get_id();
}

std::shared_ptr<RunLoop> RunLoop::currentIfAny() {
    return threadLoop;
}

std::vector<std::shared_ptr<RunLoop>> RunLoop::all() {
    auto& state = registry();
    std::lock_guard lock(state.mutex);
    std::vector<std::shared_ptr<RunLoop>> loops;
    for (const auto& weak : state.loops) {
        if (auto loop = weak.lock()) loops.push_back(std::move(loop));
    }
    return loops;
}

void RunLoop::wakeAll(const RunLoop* except) {
    for (const auto& loop : all()) {
        if (loop.get() != except) loop->wake();
    }
}

void RunLoop::clockDidChange(double seconds) {
    for (const auto& loop : all()) loop->shiftTimers(seconds);
}

void RunLoop::checkOwnThread(const char* what) const {
    if (std::this_thread::get_id() != thread_) {
        fatal(std::string("RunLoop::") + what + " called on a thread that does not own the loop");
    }
}

void RunLoop::wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    signalLocked();
}

void RunLoop::signalLocked() {
    wakeup_.notify_all();
    if (wakeObserver_) wakeObserver_();
    if (host_) host_->wake();
}

void RunLoop::setHost(std::shared_ptr<RunLoopHost> host) {
    checkOwnThread("setHost");
    std::lock_guard lock(mutex_);
    host_ = std::move(host);
}

std::shared_ptr<RunLoopHost> RunLoop::host() const {
    std::lock_guard lock(mutex_);
    return host_;
}

size_t RunLoop::dispatchFromHost() {
    checkOwnThread("dispatchFromHost");
    const size_t ran = pass();
    ++hostPasses_;
    hostWork_ += ran;
    return ran;
}

void RunLoop::setWakeObserver(std::function<void()> observer) {
    std::lock_guard lock(mutex_);
    wakeObserver_ = std::move(observer);
}

std::optional<double> RunLoop::secondsUntilWork() const {
    const auto clock = Clock::current();
    std::lock_guard lock(mutex_);
    if (!tasks_.empty()) return 0.0;
    if (timers_.empty()) return std::nullopt;
    return std::max(0.0, timers_.begin()->first.first - clock->monotonicSeconds());
}

void RunLoop::run() {
    checkOwnThread("run");
    while (!consumeStop()) {
        if (const auto hosted = host()) {
            hosted->iterate(std::nullopt);
            continue;
        }
        waitForWork(std::nullopt, true);
        if (consumeStop()) return;
        pass();
    }
}

void RunLoop::stop() {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    signalLocked();
}

bool RunLoop::consumeStop() {
    std::lock_guard lock(mutex_);
    return std::exchange(stopRequested_, false);
}

size_t RunLoop::runOnce(double timeoutSeconds) {
    checkOwnThread("runOnce");
    if (const auto hosted = host()) return runOnceInHost(*hosted, timeoutSeconds);
    waitForWork(SteadyClock::now() + realDuration(timeoutSeconds), false);
    return pass();
}

size_t RunLoop::runOnceInHost(RunLoopHost& host, double timeoutSeconds) {
    const auto end = SteadyClock::now() + realDuration(timeoutSeconds);
    const std::uint64_t passesBefore = hostPasses_;
    const size_t workBefore = hostWork_;
    for (;;) {
        if (hostPasses_ != passesBefore) return hostWork_ - workBefore;
        {
            std::lock_guard lock(mutex_);
            if (std::exchange(woken_, false)) break;
        }
        if (const auto until = secondsUntilWork(); until && *until <= 0) break;
        const auto now = SteadyClock::now();
        if (now >= end) break;
        host.iterate(std::chrono::duration<double>(end - now).count());
    }
    // Work due that the host did not dispatch (its sources of higher
    // priority were ready) or a wake: the pass runs here.
    return pass();
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double limitSeconds) {
    checkOwnThread("runUntil");
    const auto end = SteadyClock::now() + realDuration(limitSeconds);
    for (;;) {
        if (predicate()) return true;
        const auto now = SteadyClock::now();
        if (now >= end) return false;
        const auto until = std::min(end, now + kPredicateInterval);
        if (const auto hosted = host()) {
            hosted->iterate(std::chrono::duration<double>(until - now).count());
            continue;
        }
        waitForWork(until, false);
        pass();
    }
}

void RunLoop::post(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.emplace_back(nextTaskOrder_++, std::move(task));
    signalLocked();
}

void RunLoop::waitForWork(Deadline until, bool stoppable) {
    const auto clock = Clock::current();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (std::exchange(woken_, false)) return;
        if (stoppable && stopRequested_) return;
        if (!tasks_.empty()) return;
        Deadline wakeAt = until;
        if (!timers_.empty()) {
            const double delay = timers_.begin()->first.first - clock->monotonicSeconds();
            if (delay <= 0) return;
            if (clock->advancesOnItsOwn()) {
                const auto timerAt = SteadyClock::now() + realDuration(delay);
                if (!wakeAt || timerAt < *wakeAt) wakeAt = timerAt;
            }
        }
        if (!wakeAt) {
            wakeup_.wait(lock);
        } else if (SteadyClock::now() >= *wakeAt) {
            return;
        } else {
            wakeup_.wait_until(lock, *wakeAt);
        }
    }
}

size_t RunLoop::pass() {
    std::uint64_t postedBefore = 0;
    {
        std::lock_guard lock(mutex_);
        postedBefore = nextTaskOrder_;
    }
    const size_t fired = fireDueTimers();
    return fired + runTasks(postedBefore);
}

size_t RunLoop::runTasks(std::uint64_t postedBefore) {
    size_t ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty() || tasks_.front().first >= postedBefore) break;
            task = std::move(tasks_.front().second);
            tasks_.pop_front();
        }
        task();
        ++ran;
    }
    return ran;
}

}  // namespace core
