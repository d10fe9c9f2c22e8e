#include "core/Thread.h"

#include <pthread.h>

#include <utility>

namespace core {

struct Thread::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::weak_ptr<RunLoop> loop;
    std::thread::id id;
    bool started = false;
    bool finished = false;
};

std::shared_ptr<Thread> Thread::start(std::string name, Entry entry) {
    auto thread = std::make_shared<Thread>(Token{}, std::move(name));
    auto state = thread->state_;
    const std::string systemName = thread->name_.substr(0, kMaxSystemNameLength);
    thread->thread_ = std::thread([state, systemName, entry = std::move(entry)] {
        pthread_setname_np(pthread_self(), systemName.c_str());
        RunLoop& loop = RunLoop::current();
        {
            std::lock_guard lock(state->mutex);
            state->loop = loop.shared_from_this();
            state->id = std::this_thread::get_id();
            state->started = true;
        }
        state->changed.notify_all();
        if (entry) {
            entry();
        } else {
            loop.run();
        }
        {
            std::lock_guard lock(state->mutex);
            state->finished = true;
        }
        state->changed.notify_all();
    });
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return state->started; });
    return thread;
}

Thread::Thread(Token, std::string name)
    : name_(std::move(name)), state_(std::make_shared<State>()) {}

Thread::~Thread() {
    if (thread_.joinable()) thread_.detach();
}

bool Thread::isCurrent() const {
    std::lock_guard lock(state_->mutex);
    return state_->id == std::this_thread::get_id();
}

bool Thread::isFinished() const {
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

bool Thread::perform(Task task, bool waitUntilDone) {
    if (waitUntilDone && isCurrent()) {
        task();
        return true;
    }
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->finished) return false;
        loop = state_->loop.lock();
    }
    if (!loop) return false;
    if (!waitUntilDone) {
        loop->post(std::move(task));
        return true;
    }
    auto done = std::make_shared<bool>(false);
    loop->post([state = state_, done, task = std::move(task)] {
        task();
        {
            std::lock_guard lock(state->mutex);
            *done = true;
        }
        state->changed.notify_all();
    });
    loop.reset();
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return *done || state_->finished; });
    return *done;
}

void Thread::join() {
    if (isCurrent()) return;
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

}  // namespace core
