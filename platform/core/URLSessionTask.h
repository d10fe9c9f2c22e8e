#pragma once
// One request of a URLSession, followed through its redirects to a final
// response or an error. A task starts on resume() and completes exactly
// once: with the final response (whatever its status), with an error, or,
// after cancel(), with a cancelled error. What it reports goes to its
// session's queues (see URLSession); after cancel() nothing but the
// completion is reported, even what was already on its way.
//
// Redirects (301, 302, 303, 307, 308 with a Location) are followed up to
// kMaximumRedirects times, each after asking the session's delegate when
// there is one, unless the session's configuration says not to
// (followsRedirects). 303, and 301/302 after a POST, continue as a GET
// without body; a redirect that keeps a body stream fails, as a stream is
// sent once (URLBodyStream).
//
// Every member is safe from any thread; cancel() also from inside the task's
// own callbacks.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace core {

class HTTPExchange;
class URLSession;

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
public:
    enum class State { suspended, running, canceling, completed };
    using ProgressHandler = std::function<void(std::int64_t received, std::int64_t expected)>;

    static constexpr int kMaximumRedirects = 10;
    // A redirect response's body is kept only for when the redirect is not
    // followed: one larger than this fails the task with
    // dataLengthExceedsMaximum.
    static constexpr std::int64_t kMaximumRedirectBodyBytes = 64 * 1024;
    // Progress is reported at most once per interval (on the current Clock),
    // and once more when the task completes without error.
    static constexpr double kProgressInterval = 1.0 / 30;

    URLSessionTask(const URLSessionTask&) = delete;
    URLSessionTask& operator=(const URLSessionTask&) = delete;
    virtual ~URLSessionTask();

    void resume();
    void cancel();

    // canceling from cancel() until the completion runs; completed from
    // when it runs.
    [[nodiscard]] State state() const;
    // Unique within the session.
    [[nodiscard]] std::uint64_t taskIdentifier() const { return identifier_; }
    [[nodiscard]] const URLRequest& originalRequest() const { return originalRequest_; }
    // The request of the latest redirect followed.
    [[nodiscard]] URLRequest currentRequest() const;
    // The final response, once its header has arrived.
    [[nodiscard]] std::optional<HTTPURLResponse> response() const;
    [[nodiscard]] std::optional<NetworkError> error() const;
    // Body bytes of the final response so far.
    [[nodiscard]] std::int64_t countOfBytesReceived() const;
    // Its Content-Length; -1 when unknown.
    [[nodiscard]] std::int64_t countOfBytesExpectedToReceive() const;

    // Called on the task's queue as body bytes arrive.
    void setProgressHandler(ProgressHandler handler);

    // While paused, the task takes no more of the body from the
    // connection, so the server waits (TCP's own flow control) instead of
    // the body piling up in memory for a slow reader; pieces already taken
    // still arrive. The time paused counts towards the resource time-out
    // alone.
    void setReceivingPaused(bool paused);

protected:
    URLSessionTask(std::shared_ptr<URLSession> session, std::uint64_t identifier,
                   URLRequest request, std::shared_ptr<Queue> queue);

    // The final response and its body, as they arrive; called on the network
    // thread or the thread that decided a redirect, one call at a time.
    virtual void receivedResponse(const HTTPURLResponse& response) = 0;
    virtual void receivedData(Data data) = 0;
    // Called on the task's queue, once, with state() already completed.
    virtual void completed(const std::optional<NetworkError>& error) = 0;

    // Runs work on the task's queue after what was posted before, unless
    // the task is cancelled by then. While the gate is closed, work waits.
    void post(std::function<void()> work);
    // Closes the gate; call from work running on the task's queue.
    void closeGate();
    // Opens it, from any thread, and runs the work that waited.
    void openGate();

    // Null once the task has completed.
    [[nodiscard]] std::shared_ptr<URLSession> session() const;

private:
    friend class HTTPExchange;
    friend class URLSession;

    // From the network thread, for the exchange currently running.
    void exchangeResponded(const HTTPExchange& exchange, HTTPURLResponse response);
    void exchangeReceived(const HTTPExchange& exchange, const std::uint8_t* bytes, size_t count);
    void exchangeFinished(const HTTPExchange& exchange, std::optional<NetworkError> error);

    [[nodiscard]] bool isCurrentLocked(const HTTPExchange& exchange) const;
    [[nodiscard]] bool isFinished() const;
    // An exchange for currentRequest_, or null with error set when it cannot
    // be sent.
    [[nodiscard]] std::shared_ptr<HTTPExchange> makeExchangeLocked(
        std::optional<NetworkError>& error);
    void start(std::shared_ptr<HTTPExchange> exchange, std::optional<NetworkError> error);
    void finish(std::optional<NetworkError> error);
    void runPosted(const std::function<void()>& work);
    void postProgress(std::int64_t received, std::int64_t expected);
    void deliverCompletion();

    // URLSessionTaskRedirects.cpp
    [[nodiscard]] static bool isRedirect(const HTTPURLResponse& response);
    [[nodiscard]] static std::optional<URLRequest> redirectRequest(const URLRequest& request,
                                                                   const HTTPURLResponse& response);
    void redirected(HTTPURLResponse response, Data body);
    void follow(URLRequest request);
    void stopAt(HTTPURLResponse response, Data body);

    const std::uint64_t identifier_;
    const URLRequest originalRequest_;
    const std::shared_ptr<Queue> queue_;

    mutable std::mutex mutex_;
    std::shared_ptr<URLSession> session_;
    State state_ = State::suspended;
    URLRequest currentRequest_;
    std::optional<HTTPURLResponse> response_;
    std::optional<NetworkError> error_;
    std::int64_t received_ = 0;
    std::int64_t expected_ = -1;
    double resourceDeadline_ = 0;
    int redirects_ = 0;
    std::shared_ptr<HTTPExchange> exchange_;
    // From the session's configuration, as the first exchange is made.
    bool followsRedirects_ = true;
    // The current exchange answered with a redirect to follow: its body is
    // kept, not reported.
    std::optional<HTTPURLResponse> redirectResponse_;
    Data redirectBody_;
    bool finished_ = false;
    bool cancelled_ = false;
    std::shared_ptr<ProgressHandler> progressHandler_;
    std::optional<double> lastProgressTime_;
    std::optional<std::int64_t> lastProgressReceived_;
    bool gateClosed_ = false;
    std::deque<std::function<void()>> waiting_;
    bool receivingPaused_ = false;
};

}  // namespace core
