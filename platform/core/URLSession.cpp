#include "core/URLSession.h"

#include "core/HTTPExchange.h"

#include <atomic>
#include <vector>

namespace core {

namespace {

std::uint64_t nextSessionIdentifier() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

}  // namespace

URLSession::URLSession(Private, URLSessionConfiguration configuration,
                       std::shared_ptr<URLSessionDelegate> delegate,
                       std::shared_ptr<Queue> delegateQueue, bool isShared)
    : identifier_(nextSessionIdentifier()),
      configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? std::move(delegateQueue)
                                   : Queue::serial("core.URLSession.delegate")),
      isShared_(isShared),
      delegate_(std::move(delegate)) {}

URLSession::~URLSession() = default;

void URLSession::prepareTrust(const URLSessionConfiguration& configuration) {
    HTTPExchange::prepare(
        {configuration.trustedCertificatesFile, configuration.trustedCertificatesPEM});
}

std::shared_ptr<URLSession> URLSession::shared() {
    static const auto* session = new std::shared_ptr<URLSession>(
        std::make_shared<URLSession>(Private{}, URLSessionConfiguration{}, nullptr, nullptr, true));
    return *session;
}

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               std::shared_ptr<Queue> delegateQueue) {
    return std::make_shared<URLSession>(Private{}, std::move(configuration), std::move(delegate),
                                        std::move(delegateQueue), false);
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request) {
    return dataTask(std::move(request), nullptr, delegateQueue_);
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request,
                                                         DataCompletion completion,
                                                         std::shared_ptr<Queue> queue) {
    std::lock_guard lock(mutex_);
    const std::uint64_t identifier = nextTaskIdentifier_++;
    std::shared_ptr<URLSessionDataTask> task(
        new URLSessionDataTask(shared_from_this(), identifier, std::move(request),
                               queue ? std::move(queue) : delegateQueue_, std::move(completion)));
    std::erase_if(tasks_, [](const auto& entry) { return entry.second.expired(); });
    tasks_.emplace(identifier, task);
    return task;
}

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void URLSession::finishTasksAndInvalidate() {
    invalidate(false);
}

void URLSession::invalidateAndCancel() {
    invalidate(true);
}

void URLSession::invalidate(bool cancelTasks) {
    if (isShared_) return;
    std::vector<std::shared_ptr<URLSessionTask>> tasks;
    {
        std::unique_lock lock(mutex_);
        if (invalidating_) return;
        invalidating_ = true;
        if (cancelTasks) {
            for (const auto& [identifier, weak] : tasks_) {
                if (auto task = weak.lock()) tasks.push_back(std::move(task));
            }
        }
    }
    for (const auto& task : tasks) task->cancel();
    std::unique_lock lock(mutex_);
    if (running_.empty() && !invalid_) becomeInvalidLocked(lock);
}

bool URLSession::taskWillResume(std::uint64_t identifier) {
    std::lock_guard lock(mutex_);
    if (invalidating_) return false;
    running_.insert(identifier);
    return true;
}

void URLSession::taskDidComplete(std::uint64_t identifier) {
    std::unique_lock lock(mutex_);
    running_.erase(identifier);
    tasks_.erase(identifier);
    if (invalidating_ && running_.empty() && !invalid_) becomeInvalidLocked(lock);
}

void URLSession::becomeInvalidLocked(std::unique_lock<std::mutex>& lock) {
    invalid_ = true;
    auto delegate = std::move(delegate_);
    lock.unlock();
    if (!delegate) return;
    delegateQueue_->async(
        [self = shared_from_this(), delegate] { delegate->didBecomeInvalid(*self); });
}

}  // namespace core
