#pragma once
// The one thread that runs every HTTP exchange of the process, on one
// libcurl multi handle (internal to the URL session). It sleeps in
// curl_multi_poll and is woken when exchanges are started or cancelled.
// While exchanges run it also wakes at least every 50 ms of real time to
// check their time-outs against the current Clock.
//
// It admits at most Limits::connectionsPerHost exchanges of one host key at a
// time; the others wait in order, and their time-outs start when admitted. libcurl caps connections
// per host at 6 across all sessions.
//
// Every exchange shares one libcurl share handle: TLS sessions, so that a
// new connection to a server resumes the last one's session instead of a
// full handshake, and DNS answers. Connections themselves stay open in the
// multi handle between exchanges when the server keeps them alive.
//
// start(), cancel() and resume() are safe from any thread.
//
// The thread is stopped as the process begins to exit (core::ProcessExit),
// before any static is destroyed and before the libraries' own exit
// handlers run, so that no exchange is inside libcurl or OpenSSL while they
// clean up their global state, nor reads a static being destroyed.

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/HTTPExchange.h"

namespace core {

class NetworkThread {
public:
    static constexpr int kCheckIntervalMilliseconds = 50;
    static constexpr long kMaximumHostConnections = 6;
    static constexpr long kMaximumIdleConnections = 64;

    // Created, with libcurl's global state, on first use; never destroyed.
    static NetworkThread& shared();

    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;

    void start(std::shared_ptr<HTTPExchange> exchange);
    // The exchange reports nothing more once the network thread takes the
    // cancellation; a report already under way may still arrive.
    void cancel(std::shared_ptr<HTTPExchange> exchange);
    // Lets a running exchange take its body in again once its task no
    // longer holds it (HTTPExchange::setHeld).
    void resume(std::shared_ptr<HTTPExchange> exchange);
    // Exchanges started and not yet finished, failed or cancelled. An
    // exchange's completion has been handed on before it stops counting.
    [[nodiscard]] size_t exchangeCount() const { return exchanges_.load(); }

private:
    NetworkThread();

    void run();
    // Stops the thread and waits (boundedly) until it has left libcurl.
    void stop();
    void takeCommands();
    void admit(std::shared_ptr<HTTPExchange> exchange);
    void launch(const std::shared_ptr<HTTPExchange>& exchange);
    void collectFinished();
    void expireIdle();
    // Takes the exchange out of the multi handle and lets a waiting one in.
    void remove(CURL* easy);
    void drop(const std::shared_ptr<HTTPExchange>& exchange);
    void ended() { exchanges_.fetch_sub(1); }
    [[nodiscard]] int pollTimeout() const;

    // The share is used from the network thread, and from any thread where
    // an exchange's last owner lets go of its easy handle.
    std::mutex shareMutexes_[CURL_LOCK_DATA_LAST];
    CURLM* const multi_;
    CURLSH* const share_;
    std::atomic<size_t> exchanges_{0};
    std::atomic<bool> stopping_{false};
    bool stopped_ = false;  // under stopMutex_
    std::mutex stopMutex_;
    std::condition_variable stoppedChanged_;

    std::mutex mutex_;
    std::vector<std::shared_ptr<HTTPExchange>> starting_;
    std::vector<std::shared_ptr<HTTPExchange>> cancelling_;
    std::vector<std::shared_ptr<HTTPExchange>> resuming_;

    // Network thread only.
    std::map<CURL*, std::shared_ptr<HTTPExchange>> running_;
    std::map<std::string, int> runningPerHost_;
    std::deque<std::shared_ptr<HTTPExchange>> waiting_;
};

}  // namespace core
