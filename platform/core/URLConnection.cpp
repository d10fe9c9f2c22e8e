#include "core/URLConnection.h"

#include "core/RunLoopQueue.h"
#include "core/URLProtocolRegistry.h"

namespace core {

namespace {

NetworkError unsupportedURL(const URL& url, const std::string& what) {
    return NetworkError::make(NetworkError::Code::unsupportedURL, url.absoluteString(),
                              what + " " + url.absoluteString() +
                                  " refused: only http and https URLs are loaded");
}

}  // namespace

std::shared_ptr<URLConnection> URLConnection::create(URLRequest request,
                                                     std::weak_ptr<URLConnectionDelegate> delegate,
                                                     URLSessionConfiguration configuration) {
    return std::make_shared<URLConnection>(Private{}, std::move(request), std::move(delegate),
                                           std::move(configuration));
}

URLConnection::URLConnection(Private, URLRequest request,
                             std::weak_ptr<URLConnectionDelegate> delegate,
                             URLSessionConfiguration configuration)
    : originalRequest_(request), delegate_(std::move(delegate)),
      configuration_(std::move(configuration)), currentRequest_(std::move(request)) {}

// A connection that is loading keeps itself alive, so one being destroyed
// has nothing running.
URLConnection::~URLConnection() = default;

void URLConnection::scheduleInRunLoop(RunLoop& loop) {
    std::lock_guard lock(mutex_);
    if (!started_) queue_ = RunLoopQueue::of(loop);
}

void URLConnection::setOffersResponseToCache(bool offers) {
    std::lock_guard lock(mutex_);
    if (!started_) offersResponseToCache_ = offers;
}

void URLConnection::start() {
    std::shared_ptr<Queue> queue;
    {
        std::lock_guard lock(mutex_);
        if (started_ || ended_) return;
        started_ = true;
        if (!queue_) queue_ = RunLoopQueue::of(RunLoop::current());
        queue = queue_;
        keepAlive_ = shared_from_this();
    }
    queue->async([self = shared_from_this()] { self->load(self->originalRequest_); });
}

void URLConnection::cancel() {
    Step step;
    Ending ending;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        ended_ = true;
        step = takeStepLocked();
        ending = {std::move(keepAlive_), std::move(retainedDelegate_)};
    }
    stopStep(std::move(step));
}

void URLConnection::setReceivingPaused(bool paused) {
    std::shared_ptr<URLProtocol> protocol;
    std::shared_ptr<Queue> queue;
    {
        // Under the lock, so that the task ends as the last call says.
        std::lock_guard lock(mutex_);
        receivingPaused_ = paused;
        if (running_.task) running_.task->setReceivingPaused(paused);
        protocol = running_.protocol;
        queue = queue_;
    }
    if (!protocol) return;
    // A protocol hears on the loop, and each telling reads the state then,
    // so that it ends as the last call says whatever the order of arrival.
    if (queue->isCurrent()) {
        tellPaused(protocol);
    } else {
        queue->async([weak = weak_from_this(), protocol = std::move(protocol)] {
            if (const auto connection = weak.lock()) connection->tellPaused(protocol);
        });
    }
}

void URLConnection::tellPaused(const std::shared_ptr<URLProtocol>& protocol) const {
    bool paused = false;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || running_.protocol != protocol) return;
        paused = receivingPaused_;
    }
    protocol->setReceivingPaused(paused);
}

URLRequest URLConnection::currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
}

bool URLConnection::isLive(std::uint64_t step) const {
    std::lock_guard lock(mutex_);
    return !ended_ && step == step_;
}

bool URLConnection::offersResponseToCache() const {
    std::lock_guard lock(mutex_);
    return offersResponseToCache_;
}

bool URLConnection::hasEnded() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

std::shared_ptr<URLConnectionDelegate> URLConnection::delegate() const {
    return delegate_.lock();
}

URLConnection::Step URLConnection::takeStepLocked() {
    return std::exchange(running_, Step{});
}

void URLConnection::stopStep(Step step) const {
    if (step.session) step.session->invalidateAndCancel();
    if (!step.protocol) return;
    std::shared_ptr<Queue> queue;
    {
        std::lock_guard lock(mutex_);
        queue = queue_;
    }
    if (queue && !queue->isCurrent()) {
        queue->async([protocol = std::move(step.protocol)] { protocol->stopLoading(); });
    } else {
        step.protocol->stopLoading();
    }
}

void URLConnection::load(URLRequest request) {
    if (hasEnded()) return;
    if (!request.url().isHTTPorHTTPS()) {
        fail(unsupportedURL(request.url(), "Loading"));
        return;
    }
    if (const auto factory = URLProtocolRegistry::shared().factoryForRequest(request)) {
        startProtocol(*factory, factory->canonicalRequest(request));
        return;
    }
    startNetwork(std::move(request));
}

std::uint64_t URLConnection::beginStep(const URLRequest& request) {
    Step previous;
    std::uint64_t step = 0;
    {
        std::lock_guard lock(mutex_);
        previous = takeStepLocked();
        step = ++step_;
        currentRequest_ = request;
    }
    stopStep(std::move(previous));
    response_.reset();
    body_.clear();
    return step;
}

URLConnection::RedirectAnswer URLConnection::redirect(const HTTPURLResponse& response,
                                                      URLRequest& request) {
    if (!request.url().isHTTPorHTTPS()) {
        fail(unsupportedURL(request.url(),
                            "Redirect from " + response.url().absoluteString() + " to"));
        return RedirectAnswer::ended;
    }
    if (++redirects_ > URLSessionTask::kMaximumRedirects) {
        const std::string& url = originalRequest_.url().absoluteString();
        fail(NetworkError::make(NetworkError::Code::httpTooManyRedirects, url,
                                "Request to " + url + " was redirected more than " +
                                    std::to_string(URLSessionTask::kMaximumRedirects) + " times"));
        return RedirectAnswer::ended;
    }
    std::optional<URLRequest> answer = request;
    if (const auto delegate = this->delegate()) {
        answer = delegate->willSendRequest(*this, std::move(request), response);
    }
    if (hasEnded()) return RedirectAnswer::ended;
    if (!answer) return RedirectAnswer::stop;
    if (!answer->url().isHTTPorHTTPS()) {
        fail(unsupportedURL(answer->url(), "Redirect to"));
        return RedirectAnswer::ended;
    }
    request = std::move(*answer);
    return RedirectAnswer::follow;
}

void URLConnection::received(const HTTPURLResponse& response,
                             CachedURLResponse::StoragePolicy policy) {
    response_ = response;
    storagePolicy_ =
        offersResponseToCache() ? policy : CachedURLResponse::StoragePolicy::notAllowed;
    body_.clear();
    if (const auto delegate = this->delegate()) delegate->didReceiveResponse(*this, response);
}

void URLConnection::receivedData(const Data& data) {
    if (storagePolicy_ != CachedURLResponse::StoragePolicy::notAllowed) {
        body_.insert(body_.end(), data.begin(), data.end());
    }
    if (const auto delegate = this->delegate()) delegate->didReceiveData(*this, data);
}

void URLConnection::finish() {
    if (response_ && storagePolicy_ != CachedURLResponse::StoragePolicy::notAllowed) {
        if (const auto delegate = this->delegate()) {
            (void)delegate->willCacheResponse(
                *this, CachedURLResponse(*response_, std::move(body_), storagePolicy_));
        }
    }
    body_.clear();
    const auto ending = end();
    if (!ending) return;
    if (const auto delegate = this->delegate()) delegate->didFinishLoading(*this);
}

void URLConnection::fail(const NetworkError& error) {
    const auto ending = end();
    if (!ending) return;
    if (const auto delegate = this->delegate()) delegate->didFailWithError(*this, error);
}

std::optional<URLConnection::Ending> URLConnection::end() {
    Step step;
    Ending ending;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return std::nullopt;
        ended_ = true;
        step = takeStepLocked();
        ending = {std::move(keepAlive_), std::move(retainedDelegate_)};
    }
    stopStep(std::move(step));
    return ending;
}

}  // namespace core
