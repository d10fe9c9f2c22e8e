#include "core/NetworkThread.h"

#include "core/MD5.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/Fatal.h"
#include "core/ProcessExit.h"

namespace core {

namespace {

// Between wake-ups when nothing runs; anything new wakes the thread at once.
constexpr int kIdlePollMilliseconds = 60'000;

CURLM* makeMulti() {
    CURLM* multi = curl_multi_init();
    if (!multi) fatal("NetworkThread: libcurl cannot make a multi handle");
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, NetworkThread::kMaximumHostConnections);
    // Idle connections kept for reuse, whatever many loads ran before: each
    // holds a descriptor.
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, NetworkThread::kMaximumIdleConnections);
    return multi;
}

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* mutexes) {
    static_cast<std::mutex*>(mutexes)[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void* mutexes) {
    static_cast<std::mutex*>(mutexes)[data].unlock();
}

CURLSH* makeShare(std::mutex* mutexes) {
    CURLSH* share = curl_share_init();
    if (!share) fatal("NetworkThread: libcurl cannot make a share handle");
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &lockShare);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &unlockShare);
    curl_share_setopt(share, CURLSHOPT_USERDATA, mutexes);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    return share;
}

}  // namespace

NetworkThread& NetworkThread::shared() {
    static NetworkThread* const thread = [] {
        initializeCrypto();
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            fatal("NetworkThread: libcurl cannot initialise");
        }
        auto* created = new NetworkThread();
        std::thread([created] { created->run(); }).detach();
        ProcessExit::atStart([created] { created->stop(); });
        return created;
    }();
    return *thread;
}

NetworkThread::NetworkThread() : multi_(makeMulti()), share_(makeShare(shareMutexes_)) {}

void NetworkThread::start(std::shared_ptr<HTTPExchange> exchange) {
    exchanges_.fetch_add(1);
    {
        std::lock_guard lock(mutex_);
        starting_.push_back(std::move(exchange));
    }
    curl_multi_wakeup(multi_);
}

void NetworkThread::cancel(std::shared_ptr<HTTPExchange> exchange) {
    {
        std::lock_guard lock(mutex_);
        cancelling_.push_back(std::move(exchange));
    }
    curl_multi_wakeup(multi_);
}

void NetworkThread::resume(std::shared_ptr<HTTPExchange> exchange) {
    {
        std::lock_guard lock(mutex_);
        resuming_.push_back(std::move(exchange));
    }
    curl_multi_wakeup(multi_);
}

void NetworkThread::run() {
    while (!stopping_.load()) {
        takeCommands();
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        collectFinished();
        expireIdle();
        curl_multi_poll(multi_, nullptr, 0, pollTimeout(), nullptr);
    }
    std::lock_guard lock(stopMutex_);
    stopped_ = true;
    stoppedChanged_.notify_all();
}

void NetworkThread::stop() {
    stopping_.store(true);
    curl_multi_wakeup(multi_);
    // A step of an exchange (a handshake, loading the authorities) finishes
    // first; the bound keeps a stuck library call from holding up exit.
    std::unique_lock lock(stopMutex_);
    stoppedChanged_.wait_for(lock, std::chrono::seconds(2), [this] { return stopped_; });
}

int NetworkThread::pollTimeout() const {
    if (running_.empty()) return kIdlePollMilliseconds;
    long curlTimeout = -1;
    curl_multi_timeout(multi_, &curlTimeout);
    if (curlTimeout < 0) return kCheckIntervalMilliseconds;
    return static_cast<int>(std::min<long>(curlTimeout, kCheckIntervalMilliseconds));
}

void NetworkThread::takeCommands() {
    std::vector<std::shared_ptr<HTTPExchange>> starting;
    std::vector<std::shared_ptr<HTTPExchange>> cancelling;
    std::vector<std::shared_ptr<HTTPExchange>> resuming;
    {
        std::lock_guard lock(mutex_);
        starting.swap(starting_);
        cancelling.swap(cancelling_);
        resuming.swap(resuming_);
    }
    for (auto& exchange : starting) admit(std::move(exchange));
    for (const auto& exchange : cancelling) drop(exchange);
    for (const auto& exchange : resuming) {
        const bool running = std::any_of(running_.begin(), running_.end(), [&](const auto& entry) {
            return entry.second == exchange;
        });
        if (running) exchange->resume();
    }
}

void NetworkThread::admit(std::shared_ptr<HTTPExchange> exchange) {
    const auto& limits = exchange->limits();
    if (runningPerHost_[limits.hostKey] >= limits.connectionsPerHost) {
        waiting_.push_back(std::move(exchange));
        return;
    }
    launch(exchange);
}

void NetworkThread::launch(const std::shared_ptr<HTTPExchange>& exchange) {
    CURL* easy = exchange->open(share_);
    if (!easy) {
        const std::string& url = exchange->request().url().absoluteString();
        exchange->fail(NetworkError::make(NetworkError::Code::unknown, url,
                                          "Request to " + url + " could not be set up"));
        ended();
        return;
    }
    if (const CURLMcode code = curl_multi_add_handle(multi_, easy); code != CURLM_OK) {
        const std::string& url = exchange->request().url().absoluteString();
        exchange->fail(NetworkError::make(NetworkError::Code::unknown, url,
                                          "Request to " + url + " could not be started",
                                          curl_multi_strerror(code)));
        ended();
        return;
    }
    exchange->started();
    ++runningPerHost_[exchange->limits().hostKey];
    running_.emplace(easy, exchange);
}

void NetworkThread::collectFinished() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        const auto found = running_.find(message->easy_handle);
        if (found == running_.end()) continue;
        const auto exchange = found->second;
        const CURLcode code = message->data.result;
        remove(message->easy_handle);
        exchange->finish(code);
        ended();
    }
}

void NetworkThread::expireIdle() {
    struct Expired {
        CURL* easy;
        std::shared_ptr<HTTPExchange> exchange;
        NetworkError error;
    };
    std::vector<Expired> expired;
    for (const auto& [easy, exchange] : running_) {
        if (auto error = exchange->expired())
            expired.push_back({easy, exchange, std::move(*error)});
    }
    for (auto& [easy, exchange, error] : expired) {
        remove(easy);
        exchange->fail(std::move(error));
        ended();
    }
}

void NetworkThread::drop(const std::shared_ptr<HTTPExchange>& exchange) {
    const auto running = std::find_if(running_.begin(), running_.end(),
                                      [&](const auto& entry) { return entry.second == exchange; });
    if (running != running_.end()) {
        remove(running->first);
        ended();
        return;
    }
    if (std::erase(waiting_, exchange) > 0) ended();
}

void NetworkThread::remove(CURL* easy) {
    const auto found = running_.find(easy);
    if (found == running_.end()) return;
    const std::string hostKey = found->second->limits().hostKey;
    curl_multi_remove_handle(multi_, easy);
    running_.erase(found);
    if (--runningPerHost_[hostKey] <= 0) runningPerHost_.erase(hostKey);
    const auto next = std::find_if(waiting_.begin(), waiting_.end(), [&](const auto& exchange) {
        return exchange->limits().hostKey == hostKey;
    });
    if (next == waiting_.end()) return;
    auto exchange = std::move(*next);
    waiting_.erase(next);
    launch(exchange);
}

}  // namespace core
