#pragma once
// The products the SDK has learned from the store, by identifier, for the
// life of the process; products the store later calls invalid are dropped.
// The dictionary is touched only on its serial queue
// ("com.dozuza.vuraz.iap-cache"); reads wait for it, so any thread but that
// queue may read.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "ads/presentation/iap/DZProductsRequest.h"

namespace ads {

class DZInAppPurchaseProductCache
    : public std::enable_shared_from_this<DZInAppPurchaseProductCache> {
public:
    [[nodiscard]] static std::shared_ptr<DZInAppPurchaseProductCache> sharedInstance();
    DZInAppPurchaseProductCache();

    [[nodiscard]] std::optional<store::Product> cachedProductForProductID(const std::string& id);
    // Nothing without a queue or a handler; the handler runs on the queue.
    void requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                               std::shared_ptr<core::Queue> queue,
                                               DZProductsCompletion completion);

private:
    std::map<std::string, store::Product> validProductIDs_;
    const std::shared_ptr<core::Queue> lockQueue_;
};

}  // namespace ads
