#include "web/PageLoader.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "core/RunLoop.h"
#include "core/URLConnection.h"
#include "core/URLConnectionDelegate.h"
#include "web/TrustedAuthorities.h"

namespace web {

namespace {

// Gathers the answer, and the redirect responses on the way to it.
class Gatherer final : public core::URLConnectionDelegate {
public:
    Gatherer(core::URLRequest request, PageLoader::Completion completion)
        : completion_(std::move(completion)), request_(std::move(request)) {}

    std::optional<core::URLRequest> willSendRequest(core::URLConnection&,
                                                    core::URLRequest newRequest,
                                                    const core::HTTPURLResponse& redirect) override {
        redirects_.push_back(redirect);
        request_ = newRequest;
        return newRequest;
    }
    void didReceiveResponse(core::URLConnection&, const core::HTTPURLResponse& response) override {
        response_ = response;
        body_.clear();
    }
    void didReceiveData(core::URLConnection&, const core::Data& data) override {
        body_.insert(body_.end(), data.begin(), data.end());
    }
    std::optional<core::CachedURLResponse> willCacheResponse(core::URLConnection&,
                                                             core::CachedURLResponse) override {
        return std::nullopt;
    }
    void didFinishLoading(core::URLConnection&) override { finish(std::nullopt); }
    void didFailWithError(core::URLConnection&, const core::NetworkError& error) override {
        body_.clear();
        finish(error);
    }

    // Held by itself while its connection loads (the connection holds it
    // weakly).
    std::shared_ptr<Gatherer> keepAlive;
    bool cancelled = false;

private:
    void finish(std::optional<core::NetworkError> error) {
        const auto self = std::move(keepAlive);
        if (cancelled) return;
        PageLoader::Result result{std::move(body_), std::move(response_), std::move(error),
                                  std::move(redirects_), std::move(request_)};
        completion_(std::move(result));
    }

    const PageLoader::Completion completion_;
    std::optional<core::HTTPURLResponse> response_;
    core::Data body_;
    std::vector<core::HTTPURLResponse> redirects_;
    core::URLRequest request_;
};

class ConnectionPageLoader final : public PageLoader {
public:
    Cancel load(core::URLRequest request, const core::URL& mainDocumentURL,
                Completion completion) override {
        request.setMainDocumentURL(mainDocumentURL);
        core::URLSessionConfiguration configuration;
        configuration.timeoutIntervalForResource = kLoadDeadline;
        if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
            configuration.trustedCertificatesPEM = std::move(authorities);
        auto gatherer = std::make_shared<Gatherer>(request, std::move(completion));
        gatherer->keepAlive = gatherer;
        auto connection =
            core::URLConnection::create(std::move(request), gatherer, std::move(configuration));
        connection->scheduleInRunLoop(core::RunLoop::main());
        connection->start();
        return [weakGatherer = std::weak_ptr<Gatherer>(gatherer),
                weak = std::weak_ptr<core::URLConnection>(connection)] {
            if (const auto gatherer = weakGatherer.lock()) {
                gatherer->cancelled = true;
                gatherer->keepAlive.reset();
            }
            if (const auto connection = weak.lock()) connection->cancel();
        };
    }
};

std::mutex sharedMutex;
std::shared_ptr<PageLoader> sharedLoader;

}  // namespace

std::shared_ptr<PageLoader> PageLoader::sessionLoader() {
    static const auto loader = std::make_shared<ConnectionPageLoader>();
    return loader;
}

std::shared_ptr<PageLoader> PageLoader::shared() {
    std::lock_guard lock(sharedMutex);
    return sharedLoader ? sharedLoader : sessionLoader();
}

void PageLoader::setShared(std::shared_ptr<PageLoader> loader) {
    std::lock_guard lock(sharedMutex);
    sharedLoader = std::move(loader);
}

}  // namespace web
