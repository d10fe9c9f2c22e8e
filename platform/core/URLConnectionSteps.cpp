// URLConnection: the two ways a step of a load runs (a URL session task on
// the network thread, or a URL protocol), and the completion form.

#include <string>

#include "core/ASCII.h"
#include "core/URLConnection.h"
#include "core/URLProtocolRegistry.h"

namespace core {

namespace {

// "no-store" in Cache-Control forbids keeping the response.
CachedURLResponse::StoragePolicy storagePolicyOf(const HTTPURLResponse& response) {
    const std::string control = asciiLowercased(response.value("Cache-Control").value_or(""));
    return control.find("no-store") == std::string::npos
               ? CachedURLResponse::StoragePolicy::allowed
               : CachedURLResponse::StoragePolicy::notAllowed;
}

}  // namespace

// Reports of one session task, already on the connection's loop, to the
// connection while the step is current.
class URLConnection::SessionDelegate final : public URLSessionDelegate {
public:
    SessionDelegate(std::weak_ptr<URLConnection> connection, std::uint64_t step)
        : connection_(std::move(connection)), step_(step) {}

    void willPerformHTTPRedirection(URLSession&, URLSessionTask&, const HTTPURLResponse& response,
                                    URLRequest newRequest, RedirectDecision decide) override {
        if (const auto connection = live()) {
            connection->networkRedirected(response, std::move(newRequest), decide);
        } else {
            decide(std::nullopt);
        }
    }

    void didReceiveResponse(URLSession&, URLSessionDataTask&, const HTTPURLResponse& response,
                            ResponseDecision decide) override {
        if (const auto connection = live())
            connection->received(response, storagePolicyOf(response));
        decide(ResponseDisposition::allow);
    }

    void didReceiveData(URLSession&, URLSessionDataTask&, const Data& data) override {
        if (const auto connection = live()) connection->receivedData(data);
    }

    void didComplete(URLSession&, URLSessionTask&,
                     const std::optional<NetworkError>& error) override {
        const auto connection = live();
        if (!connection) return;
        if (error) {
            connection->fail(*error);
        } else {
            connection->finish();
        }
    }

private:
    [[nodiscard]] std::shared_ptr<URLConnection> live() const {
        auto connection = connection_.lock();
        return connection && connection->isLive(step_) ? connection : nullptr;
    }

    const std::weak_ptr<URLConnection> connection_;
    const std::uint64_t step_;
};

// What a protocol reports, posted to the connection's loop and delivered
// there while the step is current.
class URLConnection::ProtocolClient final : public URLProtocolClient {
public:
    ProtocolClient(std::weak_ptr<URLConnection> connection, std::uint64_t step,
                   std::shared_ptr<Queue> queue, URLSessionConfiguration configuration)
        : connection_(std::move(connection)), step_(step), queue_(std::move(queue)),
          configuration_(std::move(configuration)) {}

    [[nodiscard]] URLSessionConfiguration sessionConfiguration() const override {
        return configuration_;
    }

    void wasRedirectedToRequest(URLRequest request, HTTPURLResponse redirectResponse) override {
        post([request = std::move(request), response = std::move(redirectResponse)](
                 URLConnection& connection) { connection.protocolRedirected(response, request); });
    }
    void didReceiveResponse(HTTPURLResponse response,
                            CachedURLResponse::StoragePolicy storagePolicy) override {
        post([response = std::move(response), storagePolicy](URLConnection& connection) {
            connection.received(response, storagePolicy);
        });
    }
    void didLoadData(Data data) override {
        post(
            [data = std::move(data)](URLConnection& connection) { connection.receivedData(data); });
    }
    void didFinishLoading() override {
        post([](URLConnection& connection) { connection.finish(); });
    }
    void didFailWithError(NetworkError error) override {
        post([error = std::move(error)](URLConnection& connection) { connection.fail(error); });
    }

private:
    void post(std::function<void(URLConnection&)> report) {
        queue_->async([connection = connection_, step = step_, report = std::move(report)] {
            const auto live = connection.lock();
            if (live && live->isLive(step)) report(*live);
        });
    }

    const std::weak_ptr<URLConnection> connection_;
    const std::uint64_t step_;
    const std::shared_ptr<Queue> queue_;
    const URLSessionConfiguration configuration_;
};

void URLConnection::startNetwork(URLRequest request) {
    const std::uint64_t step = beginStep(request);
    std::shared_ptr<Queue> queue;
    {
        std::lock_guard lock(mutex_);
        queue = queue_;
    }
    auto session = URLSession::create(
        configuration_, std::make_shared<SessionDelegate>(weak_from_this(), step), queue);
    auto task = session->dataTask(std::move(request));
    {
        std::lock_guard lock(mutex_);
        if (ended_ || step != step_) return;
        running_.session = session;
        running_.task = task;
        if (receivingPaused_) task->setReceivingPaused(true);
    }
    task->resume();
}

void URLConnection::startProtocol(const URLProtocolFactory& factory, URLRequest request) {
    const std::uint64_t step = beginStep(request);
    std::shared_ptr<Queue> queue;
    {
        std::lock_guard lock(mutex_);
        queue = queue_;
    }
    auto protocol =
        factory.make(request, std::make_shared<ProtocolClient>(weak_from_this(), step,
                                                               std::move(queue), configuration_));
    if (!protocol) {
        const std::string& url = request.url().absoluteString();
        fail(NetworkError::make(NetworkError::Code::unknown, url,
                                "No URL protocol could be made for " + url));
        return;
    }
    bool paused = false;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || step != step_) return;
        running_.protocol = protocol;
        paused = receivingPaused_;
    }
    // A later change is told on this loop after this.
    if (paused) protocol->setReceivingPaused(true);
    protocol->startLoading();
}

void URLConnection::networkRedirected(const HTTPURLResponse& response, URLRequest request,
                                      const URLSessionDelegate::RedirectDecision& decide) {
    switch (redirect(response, request)) {
    case RedirectAnswer::ended:
    case RedirectAnswer::stop:
        // After an end the task is cancelled and the answer is moot.
        decide(std::nullopt);
        return;
    case RedirectAnswer::follow:
        break;
    }
    if (const auto factory = URLProtocolRegistry::shared().factoryForRequest(request)) {
        startProtocol(*factory, factory->canonicalRequest(request));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        currentRequest_ = request;
    }
    decide(std::move(request));
}

void URLConnection::protocolRedirected(const HTTPURLResponse& response, URLRequest request) {
    switch (redirect(response, request)) {
    case RedirectAnswer::ended:
        return;
    case RedirectAnswer::stop:
        // The redirect response is the final one; a protocol sends no
        // body with it.
        received(response, CachedURLResponse::StoragePolicy::notAllowed);
        if (!hasEnded()) finish();
        return;
    case RedirectAnswer::follow:
        load(std::move(request));
        return;
    }
}

// The delegate of sendAsynchronousRequest: gathers the body for one
// completion call.
class URLConnection::CompletionDelegate final : public URLConnectionDelegate {
public:
    explicit CompletionDelegate(Completion completion) : completion_(std::move(completion)) {}

    void didReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
        response_ = response;
        body_.clear();
    }
    void didReceiveData(URLConnection&, const Data& data) override {
        body_.insert(body_.end(), data.begin(), data.end());
    }
    std::optional<CachedURLResponse> willCacheResponse(URLConnection&, CachedURLResponse) override {
        return std::nullopt;
    }
    void didFinishLoading(URLConnection&) override {
        completion_(std::move(body_), std::move(response_), std::nullopt);
    }
    void didFailWithError(URLConnection&, const NetworkError& error) override {
        completion_(Data{}, std::move(response_), error);
    }

private:
    const Completion completion_;
    std::optional<HTTPURLResponse> response_;
    Data body_;
};

std::shared_ptr<URLConnection> URLConnection::sendAsynchronousRequest(
    URLRequest request, Completion completion, RunLoop& loop,
    URLSessionConfiguration configuration) {
    auto delegate = std::make_shared<CompletionDelegate>(std::move(completion));
    auto connection = create(std::move(request), delegate, std::move(configuration));
    {
        std::lock_guard lock(connection->mutex_);
        connection->retainedDelegate_ = std::move(delegate);
    }
    connection->scheduleInRunLoop(loop);
    connection->start();
    return connection;
}

}  // namespace core
