#pragma once
// Asks the store (StoreBackend::current()) for the products with the given
// identifiers. The delegate is held weakly and told the outcome on the
// store's callback queue; a started request keeps itself alive until it
// has been answered. Safe from any thread.

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "store/ProductsRequestDelegate.h"

namespace store {

struct ProductsAnswer;

class ProductsRequest : public std::enable_shared_from_this<ProductsRequest> {
    struct Token {};

public:
    [[nodiscard]] static std::shared_ptr<ProductsRequest>
    create(std::set<std::string> productIdentifiers);
    ProductsRequest(Token, std::set<std::string> productIdentifiers);

    [[nodiscard]] const std::set<std::string>& productIdentifiers() const { return identifiers_; }

    [[nodiscard]] std::shared_ptr<ProductsRequestDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<ProductsRequestDelegate>& delegate);

    // Asks once; later calls do nothing.
    void start();
    // The delegate hears nothing more from this request.
    void cancel();

private:
    void deliver(const ProductsAnswer& answer);

    const std::set<std::string> identifiers_;
    mutable std::mutex mutex_;
    std::weak_ptr<ProductsRequestDelegate> delegate_;
    bool started_ = false;
    bool cancelled_ = false;
};

}  // namespace store
