#pragma once
// What stands behind ProductsRequest, PaymentQueue and
// StoreProductViewController: the store that knows the products and their
// store pages and decides how payments end. There is no store service on
// this platform; the installed backend is by default a CatalogueStore over
// the bundle's StoreCatalogue.json, and tests and the tool install a
// ScriptedStore instead.
//
// Backends are called on the callback queue and may answer later, from any
// thread; every answer is handed on to delegates and observers on the
// callback queue. current() and install() are safe from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Queue.h"
#include "store/Payment.h"
#include "store/PaymentTransaction.h"
#include "store/ProductsRequestDelegate.h"
#include "store/StoreError.h"

namespace store {

struct ProductsAnswer {
    ProductsResponse response;
    // Set when the request failed; the response is then not used.
    std::optional<StoreError> error;
};

struct PaymentOutcome {
    // Purchased, Failed or Deferred.
    PaymentTransactionState state = PaymentTransactionState::Purchased;
    std::optional<StoreError> error;
};

// The product whose store page has the item identifier looked up, or why
// there is none.
struct ItemAnswer {
    std::optional<Product> product;
    std::optional<StoreError> error;
};

struct RestoreAnswer {
    // The products whose completed transactions come back as restored.
    std::vector<std::string> productIdentifiers;
    std::optional<StoreError> error;
};

class StoreBackend {
public:
    virtual ~StoreBackend() = default;

    virtual void fetchProducts(const std::set<std::string>& identifiers,
                               std::function<void(ProductsAnswer)> reply) = 0;
    [[nodiscard]] virtual bool canMakePayments() const = 0;
    virtual void completePayment(const Payment& payment,
                                 std::function<void(PaymentOutcome)> reply) = 0;
    virtual void restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) = 0;
    // The store page of an item, for StoreProductViewController.
    virtual void lookUpItem(std::int64_t itemIdentifier, std::function<void(ItemAnswer)> reply) = 0;

    // The serial queue every store callback runs on.
    [[nodiscard]] static std::shared_ptr<core::Queue> callbackQueue();

    [[nodiscard]] static std::shared_ptr<StoreBackend> current();
    // Replaces the backend (nullptr: back to the bundle's catalogue);
    // answers the one installed before.
    static std::shared_ptr<StoreBackend> install(std::shared_ptr<StoreBackend> backend);

protected:
    // The answer of a store selling `products` for an item: the product
    // carrying the identifier, or product not available.
    [[nodiscard]] static ItemAnswer answerItem(const std::vector<Product>& products,
                                               std::int64_t itemIdentifier);
};

}  // namespace store
