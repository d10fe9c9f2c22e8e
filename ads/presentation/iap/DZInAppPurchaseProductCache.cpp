#include "ads/presentation/iap/DZInAppPurchaseProductCache.h"

namespace ads {

std::shared_ptr<DZInAppPurchaseProductCache> DZInAppPurchaseProductCache::sharedInstance() {
    static const auto* const shared = new std::shared_ptr<DZInAppPurchaseProductCache>(
        std::make_shared<DZInAppPurchaseProductCache>());
    return *shared;
}

DZInAppPurchaseProductCache::DZInAppPurchaseProductCache()
    : lockQueue_(core::Queue::serial("com.dozuza.vuraz.iap-cache")) {}

std::optional<store::Product>
DZInAppPurchaseProductCache::cachedProductForProductID(const std::string& id) {
    std::optional<store::Product> product;
    lockQueue_->sync([&] {
        if (const auto found = validProductIDs_.find(id); found != validProductIDs_.end())
            product = found->second;
    });
    return product;
}

void DZInAppPurchaseProductCache::requestProductsWithProductIdentifiers(
    std::set<std::string> identifiers, std::shared_ptr<core::Queue> queue,
    DZProductsCompletion completion) {
    if (!queue || !completion) return;
    std::weak_ptr<DZInAppPurchaseProductCache> weakSelf = weak_from_this();
    DZProductsRequest::requestProductsWithProductIdentifiers(
        std::move(identifiers), lockQueue_,
        [weakSelf, queue, completion](const auto& products, const auto& invalid,
                                      const auto& error) {
            if (const auto self = weakSelf.lock()) {
                for (const auto& [id, product] : products) self->validProductIDs_[id] = product;
                for (const auto& id : invalid) self->validProductIDs_.erase(id);
            }
            queue->async(
                [completion, products, invalid, error] { completion(products, invalid, error); });
        });
}

}  // namespace ads
