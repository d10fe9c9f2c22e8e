#pragma once
// One question to the store for products by identifier, answered once on
// the caller's queue with the products by identifier, the identifiers the
// store does not know, or an error. A started request keeps itself alive
// until the store answers. Any thread.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/Queue.h"
#include "store/Product.h"
#include "store/ProductsRequestDelegate.h"

namespace store {
class ProductsRequest;
}

namespace ads {

using DZProductsCompletion = std::function<void(
    const std::map<std::string, store::Product>& products,
    const std::set<std::string>& invalidIdentifiers, const std::optional<Error>& error)>;

class DZProductsRequest : public store::ProductsRequestDelegate,
                          public std::enable_shared_from_this<DZProductsRequest> {
    struct Token {};

public:
    // Nothing without a queue or a handler; a request that cannot be made
    // answers SDK error 12 "Couldn't initialize.".
    static void requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                                      std::shared_ptr<core::Queue> queue,
                                                      DZProductsCompletion completion);
    // nullptr when the store gives no request.
    [[nodiscard]] static std::shared_ptr<DZProductsRequest>
    create(std::set<std::string> identifiers);
    DZProductsRequest(Token, std::shared_ptr<store::ProductsRequest> request);

    void requestWithQueue(std::shared_ptr<core::Queue> queue, DZProductsCompletion completion);

    void productsRequest(store::ProductsRequest& request,
                         const store::ProductsResponse& response) override;
    void request(store::ProductsRequest& request, const store::StoreError& error) override;

private:
    void finish(const std::map<std::string, store::Product>& products,
                const std::set<std::string>& invalid, const std::optional<Error>& error);

    std::shared_ptr<store::ProductsRequest> productsRequest_;
    DZProductsCompletion completionHandler_;
    std::shared_ptr<core::Queue> queue_;
    // Held from the start until the store answers.
    std::shared_ptr<DZProductsRequest> retainedSelf_;
};

}  // namespace ads
