#include "store/ScriptedStore.h"

namespace store {

void ScriptedStore::setProducts(std::vector<Product> products) {
    const std::lock_guard lock(mutex_);
    products_ = std::move(products);
    productsFailure_.reset();
}

void ScriptedStore::setProductsFailure(StoreError error) {
    const std::lock_guard lock(mutex_);
    productsFailure_ = std::move(error);
}

void ScriptedStore::setCanMakePayments(bool can) {
    const std::lock_guard lock(mutex_);
    canMakePayments_ = can;
}

void ScriptedStore::setPaymentOutcome(PaymentOutcome outcome) {
    const std::lock_guard lock(mutex_);
    paymentOutcome_ = std::move(outcome);
}

void ScriptedStore::setRestoreAnswer(RestoreAnswer answer) {
    const std::lock_guard lock(mutex_);
    restoreAnswer_ = std::move(answer);
}

void ScriptedStore::holdProducts(bool hold) {
    const std::lock_guard lock(mutex_);
    holding_ = hold;
}

void ScriptedStore::releaseProducts() {
    std::vector<std::function<void(ProductsAnswer)>> waiting;
    {
        const std::lock_guard lock(mutex_);
        holding_ = false;
        waiting.swap(waiting_);
    }
    for (auto& reply : waiting) reply(productsAnswer());
}

std::vector<std::set<std::string>> ScriptedStore::requestedIdentifiers() const {
    const std::lock_guard lock(mutex_);
    return requested_;
}

std::vector<Payment> ScriptedStore::payments() const {
    const std::lock_guard lock(mutex_);
    return payments_;
}

ProductsAnswer ScriptedStore::productsAnswer() const {
    const std::lock_guard lock(mutex_);
    ProductsAnswer answer;
    if (productsFailure_)
        answer.error = productsFailure_;
    else
        answer.response.products = products_;
    return answer;
}

void ScriptedStore::fetchProducts(const std::set<std::string>& identifiers,
                                  std::function<void(ProductsAnswer)> reply) {
    {
        const std::lock_guard lock(mutex_);
        requested_.push_back(identifiers);
        if (holding_) {
            waiting_.push_back(std::move(reply));
            return;
        }
    }
    reply(productsAnswer());
}

bool ScriptedStore::canMakePayments() const {
    const std::lock_guard lock(mutex_);
    return canMakePayments_;
}

void ScriptedStore::completePayment(const Payment& payment,
                                    std::function<void(PaymentOutcome)> reply) {
    PaymentOutcome outcome;
    {
        const std::lock_guard lock(mutex_);
        payments_.push_back(payment);
        outcome = paymentOutcome_;
    }
    reply(std::move(outcome));
}

void ScriptedStore::restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) {
    RestoreAnswer answer;
    {
        const std::lock_guard lock(mutex_);
        answer = restoreAnswer_;
    }
    reply(std::move(answer));
}

void ScriptedStore::setItemFailure(std::optional<StoreError> error) {
    const std::lock_guard lock(mutex_);
    itemFailure_ = std::move(error);
}

void ScriptedStore::holdItems(bool hold) {
    const std::lock_guard lock(mutex_);
    holdingItems_ = hold;
}

void ScriptedStore::releaseItems() {
    std::vector<std::function<void()>> waiting;
    {
        const std::lock_guard lock(mutex_);
        holdingItems_ = false;
        waiting.swap(waitingItems_);
    }
    for (auto& answer : waiting) answer();
}

std::vector<std::int64_t> ScriptedStore::requestedItems() const {
    const std::lock_guard lock(mutex_);
    return requestedItems_;
}

ItemAnswer ScriptedStore::itemAnswer(std::int64_t itemIdentifier) const {
    const std::lock_guard lock(mutex_);
    if (itemFailure_) return {std::nullopt, itemFailure_};
    return answerItem(products_, itemIdentifier);
}

void ScriptedStore::lookUpItem(std::int64_t itemIdentifier, std::function<void(ItemAnswer)> reply) {
    {
        const std::lock_guard lock(mutex_);
        requestedItems_.push_back(itemIdentifier);
        if (holdingItems_) {
            waitingItems_.push_back([this, itemIdentifier, reply = std::move(reply)] {
                reply(itemAnswer(itemIdentifier));
            });
            return;
        }
    }
    reply(itemAnswer(itemIdentifier));
}

}  // namespace store
