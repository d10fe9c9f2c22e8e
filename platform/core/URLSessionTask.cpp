#include "core/URLSessionTask.h"

#include <algorithm>

#include "core/ASCII.h"
#include "core/Clock.h"
#include "core/HTTPExchange.h"
#include "core/NetworkThread.h"
#include "core/URLSession.h"

namespace core {

namespace {

// Requests with the same key share the session's per-host limit.
std::string hostKey(std::uint64_t session, const URL& url) {
    const std::string scheme = asciiLowercased(url.scheme());
    const int port = url.port().value_or(scheme == "https" ? 443 : 80);
    return std::to_string(session) + " " + scheme + "://" + asciiLowercased(url.host()) + ":" +
           std::to_string(port);
}

}  // namespace

URLSessionTask::URLSessionTask(std::shared_ptr<URLSession> session, std::uint64_t identifier,
                               URLRequest request, std::shared_ptr<Queue> queue)
    : identifier_(identifier), originalRequest_(request), queue_(std::move(queue)),
      session_(std::move(session)), currentRequest_(std::move(request)) {}

URLSessionTask::~URLSessionTask() = default;

void URLSessionTask::resume() {
    std::shared_ptr<URLSession> session;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::suspended || finished_) return;
        state_ = State::running;
        session = session_;
    }
    if (!session->taskWillResume(identifier_)) {
        finish(NetworkError::make(NetworkError::Code::cancelled,
                                  originalRequest_.url().absoluteString(),
                                  "Request to " + originalRequest_.url().absoluteString() +
                                      " was not sent: its session was invalidated"));
        return;
    }
    std::optional<NetworkError> error;
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        resourceDeadline_ = Clock::current()->monotonicSeconds() +
                            session->configuration().timeoutIntervalForResource;
        exchange = makeExchangeLocked(error);
    }
    start(std::move(exchange), std::move(error));
}

void URLSessionTask::cancel() {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::completed || cancelled_) return;
        // Finished and not held at the gate: the completion is on its way.
        if (finished_ && !gateClosed_) return;
        finished_ = true;
        cancelled_ = true;
        state_ = State::canceling;
        exchange = std::move(exchange_);
        waiting_.clear();
        const std::string& url = currentRequest_.url().absoluteString();
        error_ = NetworkError::make(NetworkError::Code::cancelled, url,
                                    "Request to " + url + " was cancelled");
    }
    if (exchange) NetworkThread::shared().cancel(exchange);
    queue_->async([self = shared_from_this()] { self->deliverCompletion(); });
}

URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

URLRequest URLSessionTask::currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
}

std::optional<HTTPURLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<NetworkError> URLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::int64_t URLSessionTask::countOfBytesReceived() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::int64_t URLSessionTask::countOfBytesExpectedToReceive() const {
    std::lock_guard lock(mutex_);
    return expected_;
}

void URLSessionTask::setProgressHandler(ProgressHandler handler) {
    std::lock_guard lock(mutex_);
    progressHandler_ = handler ? std::make_shared<ProgressHandler>(std::move(handler)) : nullptr;
}

void URLSessionTask::setReceivingPaused(bool paused) {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (receivingPaused_ == paused) return;
        receivingPaused_ = paused;
        exchange = exchange_;
    }
    if (!exchange) return;
    exchange->setHeld(paused);
    if (!paused) NetworkThread::shared().resume(std::move(exchange));
}

std::shared_ptr<URLSession> URLSessionTask::session() const {
    std::lock_guard lock(mutex_);
    return session_;
}

void URLSessionTask::post(std::function<void()> work) {
    queue_->async([self = shared_from_this(), work = std::move(work)] { self->runPosted(work); });
}

void URLSessionTask::runPosted(const std::function<void()>& work) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        if (gateClosed_) {
            waiting_.push_back(work);
            return;
        }
    }
    work();
}

void URLSessionTask::closeGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = true;
}

void URLSessionTask::openGate() {
    queue_->async([self = shared_from_this()] {
        std::deque<std::function<void()>> ready;
        {
            std::lock_guard lock(self->mutex_);
            self->gateClosed_ = false;
            ready.swap(self->waiting_);
        }
        for (const auto& work : ready) self->runPosted(work);
    });
}

std::shared_ptr<HTTPExchange>
URLSessionTask::makeExchangeLocked(std::optional<NetworkError>& error) {
    const URL& url = currentRequest_.url();
    if (!url.isHTTPorHTTPS()) {
        error = NetworkError::make(NetworkError::Code::unsupportedURL, url.absoluteString(),
                                   "Unsupported URL " + url.absoluteString() +
                                       ": only http and https URLs are sent");
        return nullptr;
    }
    const URLSessionConfiguration& configuration = session_->configuration();
    URLRequest sent = currentRequest_;
    for (const auto& [name, value] : configuration.HTTPAdditionalHeaders) {
        if (!currentRequest_.headers().contains(name)) sent.addValue(name, value);
    }
    if (!sent.headers().contains("User-Agent") && !configuration.userAgent.empty()) {
        sent.setValue("User-Agent", configuration.userAgent);
    }
    HTTPExchange::Limits limits;
    limits.hostKey = hostKey(session_->identifier(), url);
    limits.connectionsPerHost = std::max(1, configuration.HTTPMaximumConnectionsPerHost);
    limits.idleTimeout = currentRequest_.hasTimeoutInterval()
                             ? currentRequest_.timeoutInterval()
                             : configuration.timeoutIntervalForRequest;
    limits.resourceTimeout = configuration.timeoutIntervalForResource;
    limits.resourceDeadline = resourceDeadline_;
    limits.lowSpeedLimit = configuration.lowSpeedLimit;
    limits.lowSpeedTime = configuration.lowSpeedTime;
    limits.maximumResponseBytes = std::max<std::int64_t>(0, configuration.maximumResponseBytes);
    limits.refusedLocalPorts = configuration.refusedLocalPorts;
    limits.onlyRequestFields = configuration.sendsOnlyRequestFields;
    limits.asTheEngine = configuration.readsAnswersAsTheEngine;
    limits.followsRedirects = followsRedirects_ = configuration.followsRedirects;
    redirectResponse_.reset();
    redirectBody_.clear();
    HTTPExchange::Trust trust{configuration.trustedCertificatesFile,
                              configuration.trustedCertificatesPEM};
    auto exchange = std::make_shared<HTTPExchange>(shared_from_this(), std::move(sent), limits,
                                                   std::move(trust));
    if (const auto& stream = currentRequest_.bodyStream();
        stream && !stream->claim([weak = std::weak_ptr<HTTPExchange>(exchange)] {
            if (auto held = weak.lock()) NetworkThread::shared().resume(std::move(held));
        })) {
        error =
            NetworkError::make(NetworkError::Code::requestBodyStreamExhausted, url.absoluteString(),
                               "Request to " + url.absoluteString() +
                                   " was not sent: its body went with an earlier request and "
                                   "cannot be sent again");
        return nullptr;
    }
    exchange_ = std::move(exchange);
    exchange_->setHeld(receivingPaused_);
    return exchange_;
}

void URLSessionTask::start(std::shared_ptr<HTTPExchange> exchange,
                           std::optional<NetworkError> error) {
    if (error) {
        finish(std::move(error));
    } else if (exchange) {
        NetworkThread::shared().start(std::move(exchange));
    }
}

bool URLSessionTask::isCurrentLocked(const HTTPExchange& exchange) const {
    return exchange_.get() == &exchange && !finished_;
}

void URLSessionTask::exchangeResponded(const HTTPExchange& exchange, HTTPURLResponse response) {
    {
        std::lock_guard lock(mutex_);
        if (!isCurrentLocked(exchange)) return;
        if (followsRedirects_ && isRedirect(response) &&
            redirectRequest(currentRequest_, response)) {
            redirectResponse_ = std::move(response);
            return;
        }
        response_ = response;
        expected_ = response.expectedContentLength();
        received_ = 0;
    }
    receivedResponse(response);
}

void URLSessionTask::exchangeReceived(const HTTPExchange& exchange, const std::uint8_t* bytes,
                                      size_t count) {
    std::optional<std::pair<std::int64_t, std::int64_t>> progress;
    {
        std::lock_guard lock(mutex_);
        if (!isCurrentLocked(exchange)) return;
        if (redirectResponse_) {
            redirectBody_.insert(redirectBody_.end(), bytes, bytes + count);
            return;
        }
        received_ += static_cast<std::int64_t>(count);
        const double now = Clock::current()->monotonicSeconds();
        if (progressHandler_ &&
            (!lastProgressTime_ || now - *lastProgressTime_ >= kProgressInterval)) {
            lastProgressTime_ = now;
            lastProgressReceived_ = received_;
            progress.emplace(received_, expected_);
        }
    }
    receivedData(Data(bytes, bytes + count));
    if (progress) postProgress(progress->first, progress->second);
}

void URLSessionTask::exchangeFinished(const HTTPExchange& exchange,
                                      std::optional<NetworkError> error) {
    std::optional<HTTPURLResponse> redirect;
    Data redirectBody;
    {
        std::lock_guard lock(mutex_);
        if (!isCurrentLocked(exchange)) return;
        exchange_.reset();
        if (!error && redirectResponse_) {
            redirect = std::move(redirectResponse_);
            redirectBody = std::move(redirectBody_);
            redirectResponse_.reset();
        }
    }
    if (redirect) {
        redirected(std::move(*redirect), std::move(redirectBody));
    } else {
        finish(std::move(error));
    }
}

void URLSessionTask::finish(std::optional<NetworkError> error) {
    std::optional<std::pair<std::int64_t, std::int64_t>> progress;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        finished_ = true;
        error_ = error;
        exchange_.reset();
        if (!error && progressHandler_ && lastProgressReceived_ != received_) {
            lastProgressReceived_ = received_;
            progress.emplace(received_, expected_);
        }
    }
    if (progress) postProgress(progress->first, progress->second);
    post([this] { deliverCompletion(); });
}

void URLSessionTask::postProgress(std::int64_t received, std::int64_t expected) {
    post([this, received, expected] {
        std::shared_ptr<ProgressHandler> handler;
        {
            std::lock_guard lock(mutex_);
            handler = progressHandler_;
        }
        if (handler) (*handler)(received, expected);
    });
}

void URLSessionTask::deliverCompletion() {
    std::optional<NetworkError> error;
    std::shared_ptr<URLSession> session;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::completed) return;
        state_ = State::completed;
        error = error_;
        session = session_;
    }
    completed(error);
    {
        std::lock_guard lock(mutex_);
        session_.reset();
    }
    if (session) session->taskDidComplete(identifier_);
}

}  // namespace core
