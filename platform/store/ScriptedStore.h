#pragma once
// A store whose answers are set beforehand, for tests and the headless
// tool: the products answer or a request failure, whether payments may be
// made, how each payment ends, what a restore brings back or how it fails,
// and the store pages of items (those of the scripted products carrying an
// item identifier) or a failure of every page. Products answers and item
// pages can each be held back until released, to act out a store that has
// not answered yet. It records the identifier sets and items it was asked
// for and the payments it completed. Safe from any thread.

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

    // With a failure set every item lookup fails with it.
    void setItemFailure(std::optional<StoreError> error);
    // Item lookups held and released as products answers are.
    void holdItems(bool hold);
    void releaseItems();

    [[nodiscard]] std::vector<std::set<std::string>> requestedIdentifiers() const;
    [[nodiscard]] std::vector<std::int64_t> requestedItems() const;
    [[nodiscard]] std::vector<Payment> payments() const;

    void fetchProducts(const std::set<std::string>& identifiers,
                       std::function<void(ProductsAnswer)> reply) override;
    [[nodiscard]] bool canMakePayments() const override;
    void completePayment(const Payment& payment,
                         std::function<void(PaymentOutcome)> reply) override;
    void restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) override;
    void lookUpItem(std::int64_t itemIdentifier, std::function<void(ItemAnswer)> reply) override;

private:
    [[nodiscard]] ProductsAnswer productsAnswer() const;
    [[nodiscard]] ItemAnswer itemAnswer(std::int64_t itemIdentifier) const;

    mutable std::mutex mutex_;
    std::vector<Product> products_;
    std::optional<StoreError> productsFailure_;
    bool canMakePayments_ = true;
    PaymentOutcome paymentOutcome_;
    RestoreAnswer restoreAnswer_;
    bool holding_ = false;
    std::vector<std::function<void(ProductsAnswer)>> waiting_;
    std::vector<std::set<std::string>> requested_;
    std::optional<StoreError> itemFailure_;
    bool holdingItems_ = false;
    std::vector<std::function<void()>> waitingItems_;
    std::vector<std::int64_t> requestedItems_;
    std::vector<Payment> payments_;
};

}  // namespace store
