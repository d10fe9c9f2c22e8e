#include "media/AssetResourceLoader.h"

#include <utility>

namespace media {

std::shared_ptr<AssetResourceLoader> AssetResourceLoader::create() {
    return std::make_shared<AssetResourceLoader>(Private{});
}

void AssetResourceLoader::setDelegate(std::weak_ptr<AssetResourceLoaderDelegate> delegate,
                                      std::shared_ptr<core::Queue> queue) {
    const std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
    queue_ = queue ? std::move(queue) : core::Queue::main();
}

std::shared_ptr<AssetResourceLoaderDelegate> AssetResourceLoader::delegate() const {
    const std::lock_guard lock(mutex_);
    return delegate_.lock();
}

std::shared_ptr<core::Queue> AssetResourceLoader::delegateQueue() const {
    const std::lock_guard lock(mutex_);
    return queue_;
}

void AssetResourceLoader::send(const std::shared_ptr<AssetResourceLoadingRequest>& request) {
    const auto queue = delegateQueue();
    if (!queue || !delegate()) {
        request->markDeclined();
        return;
    }
    queue->async([self = shared_from_this(), request] {
        const auto delegate = self->delegate();
        if (request->outcome() != AssetResourceLoadingRequest::Outcome::pending) return;
        if (!delegate || !delegate->shouldWaitForLoadingOfRequestedResource(*self, request)) {
            request->markDeclined();
        }
    });
}

void AssetResourceLoader::cancel(const std::shared_ptr<AssetResourceLoadingRequest>& request) {
    if (!request->markCancelled()) return;
    const auto queue = delegateQueue();
    if (!queue) return;
    queue->async([self = shared_from_this(), request] {
        if (const auto delegate = self->delegate())
            delegate->didCancelLoadingRequest(*self, request);
    });
}

}  // namespace media
