#pragma once
// What stands behind ProductsRequest and PaymentQueue: the store that knows
// the products and decides how payments end. There is no store service on
// this platform; the installed backend is by default a CatalogueStore over
// the bundle's StoreCatalogue.json, and tests and the tool install a
// ScriptedStore instead.
//
// Backends are called on the callback queue and may answer later, from any
// thread; every answer is handed on to delegates and observers on the
// callback queue. current() and install() are safe from any thread.

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

    // The serial queue every store callback runs on.
    [[nodiscard]] static std::shared_ptr<core::Queue> callbackQueue();

    [[nodiscard]] static std::shared_ptr<StoreBackend> current();
    // Replaces the backend (nullptr: back to the bundle's catalogue);
    // answers the one installed before.
    static std::shared_ptr<StoreBackend> install(std::shared_ptr<StoreBackend> backend);
};

}  // namespace store
