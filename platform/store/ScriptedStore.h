#pragma once
// A store whose answers are set beforehand, for tests and the headless
// tool: the products answer or a request failure, whether payments may be
// made, how each payment ends, and what a restore brings back or how it
// fails. Products answers can be held back until releaseProducts(), to act
// out a store that has not answered yet. It records the identifier sets it
// was asked for and the payments it completed. Safe from any thread.

#include <mutex>
#include <vector>

#include "store/StoreBackend.h"

namespace store {

class ScriptedStore : public StoreBackend {
public:
    // Answers with these products (whatever was asked), or fails.
    void setProducts(std::vector<Product> products);
    void setProductsFailure(StoreError error);
    void setCanMakePayments(bool can);
    // Every payment from now on ends this way (purchased by default).
    void setPaymentOutcome(PaymentOutcome outcome);
    void setRestoreAnswer(RestoreAnswer answer);

    // Keeps products answers back until released; release answers the
    // waiting requests with what is scripted at that moment.
    void holdProducts(bool hold);
    void releaseProducts();

    [[nodiscard]] std::vector<std::set<std::string>> requestedIdentifiers() const;
    [[nodiscard]] std::vector<Payment> payments() const;

    void fetchProducts(const std::set<std::string>& identifiers,
                       std::function<void(ProductsAnswer)> reply) override;
    [[nodiscard]] bool canMakePayments() const override;
    void completePayment(const Payment& payment,
                         std::function<void(PaymentOutcome)> reply) override;
    void restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) override;

private:
    [[nodiscard]] ProductsAnswer productsAnswer() const;

    mutable std::mutex mutex_;
    std::vector<Product> products_;
    std::optional<StoreError> productsFailure_;
    bool canMakePayments_ = true;
    PaymentOutcome paymentOutcome_;
    RestoreAnswer restoreAnswer_;
    bool holding_ = false;
    std::vector<std::function<void(ProductsAnswer)>> waiting_;
    std::vector<std::set<std::string>> requested_;
    std::vector<Payment> payments_;
};

}  // namespace store
