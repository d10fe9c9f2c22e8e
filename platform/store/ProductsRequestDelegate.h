#pragma once
// Told the outcome of a products request, on the store's callback queue
// (StoreBackend::callbackQueue()), never on the main thread: an answer then
// requestDidFinish, or a failure alone.

#include <string>
#include <vector>

#include "store/Product.h"
#include "store/StoreError.h"

namespace store {

class ProductsRequest;

struct ProductsResponse {
    // In the order the store lists them.
    std::vector<Product> products;
    std::vector<std::string> invalidProductIdentifiers;
};

class ProductsRequestDelegate {
public:
    virtual ~ProductsRequestDelegate() = default;

    virtual void productsRequest(ProductsRequest& request, const ProductsResponse& response) = 0;
    virtual void request(ProductsRequest& /*request*/, const StoreError& /*error*/) {}
    virtual void requestDidFinish(ProductsRequest& /*request*/) {}
};

}  // namespace store
