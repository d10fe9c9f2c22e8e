#pragma once
// One HTTP or HTTPS load driven by a delegate on a run loop. A connection is
// made unstarted, scheduled on a run loop (the loop of the thread that calls
// start(), unless scheduleInRunLoop() named another: the main loop, or a
// worker thread's that runs its loop) and started once. Every delegate call
// arrives on that loop (see URLConnectionDelegate); the network part runs on
// the URL session's network thread.
//
// Every request the connection loads, the first and each redirect target,
// is first offered to the URL protocols (URLProtocolRegistry); one that
// takes it serves it instead of the network, and learns the connection's
// configuration through its client, so that it can load with the same. The
// connection follows redirects itself, asking the delegate each time, so the
// delegate can veto or replace each. Only http and https are loaded: any
// other URL, at start or as a redirect target, fails the load with
// unsupportedURL. A final status of 400 or more is a response like any
// other.
//
// While loading, a connection keeps itself alive; it lets go once it has
// finished, failed or been cancelled. It holds its delegate weakly. A worker
// thread must keep running its loop until its connections have ended, or
// cancel them before it ends.
//
// start(), cancel() and the accessors are safe from any thread. cancel() on
// the loop's thread, also inside a delegate call, means that no delegate call
// follows, and the connection stays alive until that call returns. From
// another thread, a delegate call already under way still completes.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "core/CachedURLResponse.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/URLConnectionDelegate.h"
#include "core/URLProtocolFactory.h"
#include "core/URLSession.h"

namespace core {

class URLConnection : public std::enable_shared_from_this<URLConnection> {
public:
    using Completion = URLSessionDataTask::Completion;

    [[nodiscard]] static std::shared_ptr<URLConnection>
    create(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate,
           URLSessionConfiguration configuration = {});
    // Loads request on loop and calls completion there once: the body (empty
    // after an error), the final response when one arrived, the error. The
    // connection is returned so that the caller may cancel it (the
    // completion then never runs); it keeps itself alive while loading.
    static std::shared_ptr<URLConnection>
    sendAsynchronousRequest(URLRequest request, Completion completion, RunLoop& loop,
                            URLSessionConfiguration configuration = {});

    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;
    ~URLConnection();

    // Before start(); ignored after.
    void scheduleInRunLoop(RunLoop& loop);
    // Before start(): false keeps no copy of the body for willCacheResponse,
    // which is then never asked. A delegate that streams a large body to
    // disk turns it off so the body is never held in memory.
    void setOffersResponseToCache(bool offers);
    // Once; later calls, and calls after cancel(), do nothing.
    void start();
    void cancel();
    // While paused, the load takes no more of the answer from its source,
    // for a delegate that passes the body on to a slower reader (pieces
    // already taken still arrive): a load from the network stops reading
    // from the server (URLSessionTask::setReceivingPaused), and a URL
    // protocol's load is told (URLProtocol::setReceivingPaused) on the
    // connection's loop. Any time, also before start(); the last call holds
    // for every later step of the load.
    void setReceivingPaused(bool paused);

    [[nodiscard]] const URLRequest& originalRequest() const { return originalRequest_; }
    // The request being loaded: the latest redirect target followed.
    [[nodiscard]] URLRequest currentRequest() const;

private:
    class SessionDelegate;
    class ProtocolClient;
    class CompletionDelegate;
    struct Private {};

    // What one step of the load runs on: a session task or a protocol.
    struct Step {
        std::shared_ptr<URLSession> session;
        std::shared_ptr<URLSessionTask> task;
        std::shared_ptr<URLProtocol> protocol;
    };
    // Held while the last delegate call runs, released after it.
    struct Ending {
        std::shared_ptr<URLConnection> keepAlive;
        std::shared_ptr<URLConnectionDelegate> retainedDelegate;
    };
    enum class RedirectAnswer { follow, stop, ended };

public:
    URLConnection(Private, URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate,
                  URLSessionConfiguration configuration);

private:
    [[nodiscard]] bool isLive(std::uint64_t step) const;
    [[nodiscard]] bool hasEnded() const;
    [[nodiscard]] bool offersResponseToCache() const;
    [[nodiscard]] std::shared_ptr<URLConnectionDelegate> delegate() const;
    [[nodiscard]] Step takeStepLocked();
    void stopStep(Step step) const;

    // The loop's thread only from here on.
    void load(URLRequest request);
    // Ends the step under way; answers the new step's number.
    [[nodiscard]] std::uint64_t beginStep(const URLRequest& request);
    void startNetwork(URLRequest request);
    void startProtocol(const URLProtocolFactory& factory, URLRequest request);
    // Tells protocol, while it is still the running one, whether the load
    // is paused now.
    void tellPaused(const std::shared_ptr<URLProtocol>& protocol) const;
    // Asks the delegate; on follow, request holds the request to load next.
    [[nodiscard]] RedirectAnswer redirect(const HTTPURLResponse& response, URLRequest& request);
    void networkRedirected(const HTTPURLResponse& response, URLRequest request,
                           const URLSessionDelegate::RedirectDecision& decide);
    void protocolRedirected(const HTTPURLResponse& response, URLRequest request);
    void received(const HTTPURLResponse& response, CachedURLResponse::StoragePolicy policy);
    void receivedData(const Data& data);
    void finish();
    void fail(const NetworkError& error);
    [[nodiscard]] std::optional<Ending> end();

    const URLRequest originalRequest_;
    const std::weak_ptr<URLConnectionDelegate> delegate_;
    const URLSessionConfiguration configuration_;

    mutable std::mutex mutex_;
    std::shared_ptr<Queue> queue_;
    bool started_ = false;
    bool ended_ = false;
    bool offersResponseToCache_ = true;
    bool receivingPaused_ = false;
    std::uint64_t step_ = 0;
    URLRequest currentRequest_;
    Step running_;
    std::shared_ptr<URLConnection> keepAlive_;
    std::shared_ptr<URLConnectionDelegate> retainedDelegate_;  // sendAsynchronousRequest's

    // The loop's thread only.
    int redirects_ = 0;
    std::optional<HTTPURLResponse> response_;
    CachedURLResponse::StoragePolicy storagePolicy_ = CachedURLResponse::StoragePolicy::allowed;
    Data body_;  // kept for the cache question
};

}  // namespace core
