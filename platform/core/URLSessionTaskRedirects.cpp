// URLSessionTask: following redirects, with the delegate's consent.

#include <atomic>

#include "core/URLSession.h"
#include "core/URLSessionTask.h"

namespace core {

bool URLSessionTask::isRedirect(const HTTPURLResponse& response) {
    switch (response.statusCode()) {
        case 301:
        case 302:
        case 303:
        case 307:
        case 308:
            return response.headers().contains("Location");
        default:
            return false;
    }
}

std::optional<URLRequest> URLSessionTask::redirectRequest(const URLRequest& request,
                                                          const HTTPURLResponse& response) {
    const auto locations = response.headers().values("Location");
    if (locations.empty()) return std::nullopt;
    auto url = URL::create(locations.front(), response.url());
    if (!url) return std::nullopt;
    URLRequest next = request;
    next.setURL(std::move(*url));
    const int status = response.statusCode();
    const bool becomesGet = status == 303
                                ? request.method() != "HEAD"
                                : (status == 301 || status == 302) && request.method() == "POST";
    if (becomesGet) {
        next.setMethod("GET");
        next.setBody(Data{});
        next.setValue("Content-Type", std::nullopt);
        next.setValue("Content-Length", std::nullopt);
    }
    return next;
}

bool URLSessionTask::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

void URLSessionTask::redirected(HTTPURLResponse response, Data body) {
    std::shared_ptr<URLSession> session;
    std::optional<URLRequest> next;
    bool tooMany = false;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        session = session_;
        tooMany = redirects_ >= kMaximumRedirects;
        if (!tooMany) next = redirectRequest(currentRequest_, response);
    }
    if (tooMany) {
        const std::string& url = originalRequest_.url().absoluteString();
        finish(NetworkError::make(NetworkError::Code::httpTooManyRedirects, url,
                                  "Request to " + url + " was redirected more than " +
                                      std::to_string(kMaximumRedirects) + " times"));
        return;
    }
    if (!next) {
        stopAt(std::move(response), std::move(body));
        return;
    }
    const auto delegate = session->delegate();
    if (!delegate) {
        follow(std::move(*next));
        return;
    }
    auto decided = std::make_shared<std::atomic<bool>>(false);
    session->delegateQueue()->async([self = shared_from_this(), session, delegate, response,
                                     next = std::move(*next), body = std::move(body), decided] {
        if (self->isFinished()) return;
        delegate->willPerformHTTPRedirection(
            *session, *self, response, next,
            [self, response, body, decided](std::optional<URLRequest> answer) {
                if (decided->exchange(true)) return;
                if (answer) {
                    self->follow(std::move(*answer));
                } else {
                    self->stopAt(response, body);
                }
            });
    });
}

void URLSessionTask::follow(URLRequest request) {
    std::optional<NetworkError> error;
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        ++redirects_;
        currentRequest_ = std::move(request);
        exchange = makeExchangeLocked(error);
    }
    start(std::move(exchange), std::move(error));
}

void URLSessionTask::stopAt(HTTPURLResponse response, Data body) {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        response_ = response;
        expected_ = response.expectedContentLength();
        received_ = static_cast<std::int64_t>(body.size());
    }
    receivedResponse(response);
    if (!body.empty()) receivedData(std::move(body));
    finish(std::nullopt);
}

}  // namespace core
