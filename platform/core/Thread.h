#pragma once
// A named thread of our own with its own run loop, for work that must stay
// on one thread (a render thread's GL calls). The thread makes its run loop
// before the entry starts, so work performed on it early waits in the loop;
// the entry decides when the loop runs. Without an entry the thread runs its
// loop until the loop is stopped (RunLoop::stop from a task). The thread
// ends when the entry returns; work still waiting then is dropped.
//
// Dropping the last reference does not end the thread: a thread still
// running goes on, detached. join() waits for the end.
//
// Every member is safe from any thread.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/RunLoop.h"

namespace core {

class Thread {
    struct Token {};

public:
    using Entry = std::function<void()>;
    using Task = std::function<void()>;

    // The OS keeps the first kMaxSystemNameLength bytes of the name.
    static constexpr size_t kMaxSystemNameLength = 15;

    // Starts the thread and returns once its run loop exists.
    [[nodiscard]] static std::shared_ptr<Thread> start(std::string name, Entry entry = {});

    Thread(Token, std::string name);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] bool isCurrent() const;
    [[nodiscard]] bool isFinished() const;

    // Runs task on the thread's run loop, after the work performed before it.
    // Waiting returns once the task has run; on the thread itself a waiting
    // perform runs the task at once. A thread that has ended, or ends before
    // the task's turn, drops it (and a waiting caller returns): the answer is
    // whether the task was handed to the loop (waiting: whether it ran).
    bool perform(Task task, bool waitUntilDone);

    // Waits for the thread to end. Called on the thread itself it returns at
    // once.
    void join();

private:
    struct State;

    const std::string name_;
    std::shared_ptr<State> state_;
    std::thread thread_;
    std::mutex joinMutex_;
};

}  // namespace core
