#include "store/PaymentQueue.h"

#include <algorithm>

#include "core/Clock.h"
#include "core/Console.h"
#include "store/StoreBackend.h"

namespace store {

PaymentQueue& PaymentQueue::defaultQueue() {
    static PaymentQueue* queue = new PaymentQueue();
    return *queue;
}

bool PaymentQueue::canMakePayments() {
    return StoreBackend::current()->canMakePayments();
}

void PaymentQueue::addTransactionObserver(
    const std::shared_ptr<PaymentTransactionObserver>& observer) {
    if (!observer) return;
    const std::lock_guard lock(mutex_);
    observers_.push_back(observer);
}

void PaymentQueue::removeTransactionObserver(
    const std::shared_ptr<PaymentTransactionObserver>& observer) {
    const std::lock_guard lock(mutex_);
    std::erase_if(observers_, [&](const auto& weak) {
        const auto live = weak.lock();
        return !live || live == observer;
    });
}

void PaymentQueue::addPayment(const Payment& payment) {
    PaymentTransaction transaction;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        transaction.transactionIdentifier = "store-" + std::to_string(nextIdentifier_++);
        transaction.payment = payment;
        transactions_.push_back(transaction);
        generation = generation_;
    }
    StoreBackend::callbackQueue()->async([this, transaction, generation] {
        notify(generation, {transaction});
        StoreBackend::current()->completePayment(
            transaction.payment, [this, identifier = transaction.transactionIdentifier,
                                  generation](PaymentOutcome outcome) {
                StoreBackend::callbackQueue()->async(
                    [this, identifier, generation, outcome = std::move(outcome)] {
                        complete(identifier, generation, outcome);
                    });
            });
    });
}

void PaymentQueue::complete(const std::string& identifier, std::uint64_t generation,
                            const PaymentOutcome& outcome) {
    PaymentTransaction changed;
    {
        const std::lock_guard lock(mutex_);
        const auto found =
            std::find_if(transactions_.begin(), transactions_.end(),
                         [&](const auto& t) { return t.transactionIdentifier == identifier; });
        if (generation != generation_ || found == transactions_.end()) return;
        found->transactionState = outcome.state;
        found->error = outcome.error;
        if (outcome.state == PaymentTransactionState::Purchased)
            found->transactionDate = core::Clock::current()->wallSeconds();
        if (outcome.state == PaymentTransactionState::Failed && !found->error)
            found->error = StoreError{StoreError::Unknown, "The payment failed."};
        changed = *found;
    }
    notify(generation, {changed});
}

void PaymentQueue::finishTransaction(const PaymentTransaction& transaction) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(transactions_.begin(), transactions_.end(), [&](const auto& t) {
        return t.transactionIdentifier == transaction.transactionIdentifier;
    });
    if (found == transactions_.end()) return;
    if (found->transactionState == PaymentTransactionState::Purchasing) {
        core::Console::log("PaymentQueue: cannot finish the purchasing transaction " +
                           found->transactionIdentifier);
        return;
    }
    transactions_.erase(found);
}

void PaymentQueue::restoreCompletedTransactions() {
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        generation = generation_;
    }
    StoreBackend::callbackQueue()->async([this, generation] {
        StoreBackend::current()->restoreCompletedTransactions([this,
                                                               generation](RestoreAnswer answer) {
            StoreBackend::callbackQueue()->async(
                [this, generation, answer = std::move(answer)] { restored(generation, answer); });
        });
    });
}

void PaymentQueue::restored(std::uint64_t generation, const RestoreAnswer& answer) {
    if (answer.error) {
        for (const auto& observer : liveObservers(generation))
            observer->paymentQueue(*this, *answer.error);
        return;
    }
    std::vector<PaymentTransaction> restored;
    {
        const std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        for (const std::string& product : answer.productIdentifiers) {
            PaymentTransaction transaction;
            transaction.transactionIdentifier = "store-" + std::to_string(nextIdentifier_++);
            transaction.payment = Payment{product, 1};
            transaction.transactionState = PaymentTransactionState::Restored;
            transaction.transactionDate = core::Clock::current()->wallSeconds();
            transactions_.push_back(transaction);
            restored.push_back(std::move(transaction));
        }
    }
    if (!restored.empty()) notify(generation, restored);
    for (const auto& observer : liveObservers(generation))
        observer->paymentQueueRestoreCompletedTransactionsFinished(*this);
}

void PaymentQueue::notify(std::uint64_t generation,
                          const std::vector<PaymentTransaction>& transactions) {
    for (const auto& observer : liveObservers(generation))
        observer->paymentQueue(*this, transactions);
}

std::vector<std::shared_ptr<PaymentTransactionObserver>>
PaymentQueue::liveObservers(std::uint64_t generation) {
    const std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<PaymentTransactionObserver>> live;
    if (generation != generation_) return live;
    std::erase_if(observers_, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : observers_)
        if (auto observer = weak.lock()) live.push_back(std::move(observer));
    return live;
}

std::vector<PaymentTransaction> PaymentQueue::transactions() const {
    const std::lock_guard lock(mutex_);
    return transactions_;
}

void PaymentQueue::resetForTesting() {
    const std::lock_guard lock(mutex_);
    observers_.clear();
    transactions_.clear();
    ++generation_;
}

}  // namespace store
