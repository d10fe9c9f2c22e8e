#pragma once
// The queue of payments: takes payments, has the store (StoreBackend::
// current()) complete them, and tells its observers of every change of a
// transaction's state on the store's callback queue, in the order the
// changes happen. A new payment's transaction is reported purchasing first,
// then purchased, failed or deferred; a transaction keeps its identifier,
// payment (product and quantity) throughout, and gets its date when
// purchased or restored. Transactions stay in transactions() until
// finished; a purchasing one cannot be finished.
//
// Observers are held weakly; an observer added n times is told n times.
// Every member is safe from any thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "store/Payment.h"
#include "store/PaymentTransaction.h"
#include "store/PaymentTransactionObserver.h"

namespace store {

struct PaymentOutcome;
struct RestoreAnswer;

class PaymentQueue {
public:
    [[nodiscard]] static PaymentQueue& defaultQueue();
    // Whether the store lets this user pay at all.
    [[nodiscard]] static bool canMakePayments();

    void addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
    // Removes every registration of observer.
    void removeTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);

    void addPayment(const Payment& payment);
    // Drops the transaction with this identifier; a purchasing one stays,
    // with a console line.
    void finishTransaction(const PaymentTransaction& transaction);
    // Asks the store for the completed transactions; they come back as
    // restored, then paymentQueueRestoreCompletedTransactionsFinished, or
    // the restore fails.
    void restoreCompletedTransactions();

    // The unfinished transactions, oldest first.
    [[nodiscard]] std::vector<PaymentTransaction> transactions() const;

    // Forgets observers and transactions; store answers still on their way
    // are dropped.
    void resetForTesting();

private:
    PaymentQueue() = default;

    void complete(const std::string& identifier, std::uint64_t generation,
                  const PaymentOutcome& outcome);
    void restored(std::uint64_t generation, const RestoreAnswer& answer);
    // Runs on the callback queue; nothing when the queue was reset since.
    void notify(std::uint64_t generation, const std::vector<PaymentTransaction>& transactions);
    [[nodiscard]] std::vector<std::shared_ptr<PaymentTransactionObserver>>
    liveObservers(std::uint64_t generation);

    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<PaymentTransactionObserver>> observers_;
    std::vector<PaymentTransaction> transactions_;
    std::uint64_t nextIdentifier_ = 1;
    std::uint64_t generation_ = 0;
};

}  // namespace store
