#include "web/PageLoader.h"

#include <atomic>
#include <mutex>

#include "core/Queue.h"
#include "core/URLSession.h"

namespace web {

namespace {

class SessionPageLoader final : public PageLoader {
public:
    Cancel load(core::URLRequest request, const core::URL&, Completion completion) override {
        auto cancelled = std::make_shared<bool>(false);
        auto task = core::URLSession::shared()->dataTask(
            std::move(request),
            [cancelled, completion = std::move(completion)](
                core::Data body, std::optional<core::HTTPURLResponse> response,
                std::optional<core::NetworkError> error) {
                if (*cancelled) return;
                completion(Result{std::move(body), std::move(response), std::move(error)});
            },
            core::Queue::main());
        task->resume();
        return [cancelled, task] {
            *cancelled = true;
            task->cancel();
        };
    }
};

std::mutex sharedMutex;
std::shared_ptr<PageLoader> sharedLoader;

}  // namespace

std::shared_ptr<PageLoader> PageLoader::sessionLoader() {
    static const auto loader = std::make_shared<SessionPageLoader>();
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
