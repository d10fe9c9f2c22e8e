#include "store/StoreBackend.h"

#include <mutex>

#include "store/CatalogueStore.h"

namespace store {

namespace {
std::mutex gMutex;
std::shared_ptr<StoreBackend> gCurrent;
}  // namespace

std::shared_ptr<core::Queue> StoreBackend::callbackQueue() {
    static const std::shared_ptr<core::Queue> queue = core::Queue::serial("vantor.store.callbacks");
    return queue;
}

std::shared_ptr<StoreBackend> StoreBackend::current() {
    const std::lock_guard lock(gMutex);
    if (!gCurrent) gCurrent = CatalogueStore::fromMainBundle();
    return gCurrent;
}

std::shared_ptr<StoreBackend> StoreBackend::install(std::shared_ptr<StoreBackend> backend) {
    const std::lock_guard lock(gMutex);
    auto previous = std::move(gCurrent);
    gCurrent = std::move(backend);
    return previous;
}

ItemAnswer StoreBackend::answerItem(const std::vector<Product>& products,
                                    std::int64_t itemIdentifier) {
    for (const Product& product : products)
        if (product.itemIdentifier == itemIdentifier) return {product, std::nullopt};
    return {std::nullopt, StoreError{StoreError::ProductNotAvailable,
                                     "The item " + std::to_string(itemIdentifier) +
                                         " has no page in the store."}};
}

}  // namespace store
