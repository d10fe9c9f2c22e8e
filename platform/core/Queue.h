#pragma once
// Queues run tasks away from the caller's stack:
//  - Queue::main() runs its tasks on the main run loop, in submission order;
//  - Queue::global(priority) runs tasks concurrently on a shared pool of
//    max(2, hardware threads) workers; whenever a worker is free it takes
//    the oldest task of the highest priority waiting;
//  - Queue::serial(label) runs one task at a time, in submission order
//    (async and sync alike), on pool workers at its priority; made over a
//    pool of the caller's, it keeps work that blocks (name look-ups) off
//    the shared pool, which must outlive the queue.
//
// sync() returns after its task has run. On a global or serial queue it
// runs the task on the calling thread; a serial queue's tasks submitted
// before it that have not started yet may run there too, first, so a sync
// never waits for a free pool worker. A sync onto a queue the calling code
// is already running on (including the main queue from the main thread)
// would deadlock: it stops the process with a message, in every build.
//
// after() counts its delay on Clock::current(); with a manual clock the
// task is submitted when the clock is advanced past it (see ManualClock).
// Every member is safe from any thread.

#include <functional>
#include <memory>
#include <string>

namespace core {

class ThreadPool;

class Queue : public std::enable_shared_from_this<Queue> {
public:
    enum class Priority { Background, Utility, Default, UserInitiated, UserInteractive };
    using Task = std::function<void()>;

    static std::shared_ptr<Queue> main();
    static std::shared_ptr<Queue> global(Priority priority = Priority::Default);
    static std::shared_ptr<Queue> serial(std::string label, Priority priority = Priority::Default);
    static std::shared_ptr<Queue> serial(std::string label, ThreadPool& pool,
                                         Priority priority = Priority::Default);
    // The queue whose task the calling code runs in (the innermost one when
    // syncs nest); the main queue on the main thread outside other queues'
    // tasks; nullptr elsewhere.
    [[nodiscard]] static Queue* current();

    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;
    virtual ~Queue() = default;

    [[nodiscard]] const std::string& label() const { return label_; }
    [[nodiscard]] Priority priority() const { return priority_; }
    // True inside a task of this queue, also when nested inside a sync made
    // from it. For the main queue: true on the main thread.
    [[nodiscard]] virtual bool isCurrent() const;

    virtual void async(Task task) = 0;
    virtual void sync(const Task& task) = 0;
    virtual void after(double seconds, Task task);

protected:
    Queue(std::string label, Priority priority);

    // Stops the process when the calling code already runs on this queue.
    void checkNotCurrent(const char* operation) const;
    // Calls submit with a `done` callback and returns once done has been
    // called (from whatever thread the submitted work runs on).
    static void submitAndWait(const std::function<void(Task done)>& submit);

    // Marks the calling thread as running a task of the queue while alive.
    class Running {
    public:
        explicit Running(Queue& queue);
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    };

private:
    const std::string label_;
    const Priority priority_;
};

}  // namespace core
