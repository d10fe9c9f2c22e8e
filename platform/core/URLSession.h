#pragma once
// Makes HTTP and HTTPS requests. A session hands out tasks that start on
// resume() and report on a queue: a data task made with a completion handler
// reports to it on the queue the caller named (the delegate queue when none),
// the others report to the session's delegate on the delegate queue. Only
// http and https URLs are sent; any other fails at once with unsupportedURL.
//
// All sessions share one network thread. A session holds its delegate
// strongly until it is invalidated; URLSession::shared() has no delegate and
// is never invalidated. A running task keeps its session alive.
//
// Every member is safe from any thread.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/URLSessionConfiguration.h"
#include "core/URLSessionDataTask.h"
#include "core/URLSessionDelegate.h"

namespace core {

class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    using DataCompletion = URLSessionDataTask::Completion;

    static std::shared_ptr<URLSession> shared();
    // delegateQueue null: a serial queue of the session's own.
    [[nodiscard]] static std::shared_ptr<URLSession> create(
        URLSessionConfiguration configuration = {},
        std::shared_ptr<URLSessionDelegate> delegate = nullptr,
        std::shared_ptr<Queue> delegateQueue = nullptr);

    // Loads the certificate authorities the configuration's https exchanges
    // trust (the system's bundle, an app's own), which the first of them
    // would otherwise wait for.
    static void prepareTrust(const URLSessionConfiguration& configuration);

    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;
    ~URLSession();

    // Reports to the delegate.
    [[nodiscard]] std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request);
    // Reports to completion on queue (null: the delegate queue).
    [[nodiscard]] std::shared_ptr<URLSessionDataTask> dataTask(
        URLRequest request, DataCompletion completion, std::shared_ptr<Queue> queue = nullptr);

    [[nodiscard]] const URLSessionConfiguration& configuration() const { return configuration_; }
    [[nodiscard]] const std::shared_ptr<Queue>& delegateQueue() const { return delegateQueue_; }
    // Null once invalidated.
    [[nodiscard]] std::shared_ptr<URLSessionDelegate> delegate() const;

    // Tasks resumed before keep running; tasks resumed after fail with
    // cancelled. Once the running tasks have completed the delegate gets
    // didBecomeInvalid and is released.
    void finishTasksAndInvalidate();
    // The same, cancelling every task first.
    void invalidateAndCancel();

private:
    friend class URLSessionTask;
    struct Private {};

public:
    URLSession(Private, URLSessionConfiguration configuration,
               std::shared_ptr<URLSessionDelegate> delegate, std::shared_ptr<Queue> delegateQueue,
               bool isShared);

private:
    // Whether the task may start: false once invalidated.
    [[nodiscard]] bool taskWillResume(std::uint64_t identifier);
    void taskDidComplete(std::uint64_t identifier);
    // A key naming this session, for per-host connection limits.
    [[nodiscard]] std::uint64_t identifier() const { return identifier_; }
    void invalidate(bool cancelTasks);
    void becomeInvalidLocked(std::unique_lock<std::mutex>& lock);

    const std::uint64_t identifier_;
    const URLSessionConfiguration configuration_;
    const std::shared_ptr<Queue> delegateQueue_;
    const bool isShared_;

    mutable std::mutex mutex_;
    std::shared_ptr<URLSessionDelegate> delegate_;
    std::uint64_t nextTaskIdentifier_ = 1;
    std::map<std::uint64_t, std::weak_ptr<URLSessionTask>> tasks_;
    std::set<std::uint64_t> running_;
    bool invalidating_ = false;
    bool invalid_ = false;
};

}  // namespace core
