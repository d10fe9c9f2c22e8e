#pragma once
// Told of the payment queue's transactions, on the store's callback queue
// (StoreBackend::callbackQueue()), never on the main thread. An observer
// added n times is told n times.

#include <vector>

#include "store/PaymentTransaction.h"
#include "store/StoreError.h"

namespace store {

class PaymentQueue;

class PaymentTransactionObserver {
public:
    virtual ~PaymentTransactionObserver() = default;

    // Transactions whose state changed, in the order they changed.
    virtual void paymentQueue(PaymentQueue& queue,
                              const std::vector<PaymentTransaction>& transactions) = 0;
    // A restore of completed transactions failed.
    virtual void paymentQueue(PaymentQueue& /*queue*/, const StoreError& /*error*/) {}
    virtual void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue& /*queue*/) {}
};

}  // namespace store
