#include "web/PageLoader.h"

#include <atomic>
#include <mutex>

#include "core/RunLoop.h"
#include "core/URLConnection.h"
#include "web/TrustedAuthorities.h"

namespace web {

namespace {

class ConnectionPageLoader final : public PageLoader {
public:
    Cancel load(core::URLRequest request, const core::URL& mainDocumentURL,
                Completion completion) override {
        request.setMainDocumentURL(mainDocumentURL);
        core::URLSessionConfiguration configuration;
        configuration.timeoutIntervalForResource = kLoadDeadline;
        if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
            configuration.trustedCertificatesPEM = std::move(authorities);
        auto cancelled = std::make_shared<bool>(false);
        auto connection = core::URLConnection::sendAsynchronousRequest(
            std::move(request),
            [cancelled, completion = std::move(completion)](
                core::Data body, std::optional<core::HTTPURLResponse> response,
                std::optional<core::NetworkError> error) {
                if (*cancelled) return;
                completion(Result{std::move(body), std::move(response), std::move(error)});
            },
            core::RunLoop::main(), std::move(configuration));
        return [cancelled, weak = std::weak_ptr<core::URLConnection>(connection)] {
            *cancelled = true;
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
