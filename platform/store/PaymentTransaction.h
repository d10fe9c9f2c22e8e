#pragma once
// One payment's passage through the payment queue, as observers see it at
// an update: the queue hands out copies, and finishing a transaction names
// it by its identifier.

#include <optional>
#include <string>

#include "store/Payment.h"
#include "store/StoreError.h"

namespace store {

// The values the store reports.
enum class PaymentTransactionState : int {
    Purchasing = 0,
    Purchased = 1,
    Failed = 2,
    Restored = 3,
    Deferred = 4,
};

struct PaymentTransaction {
    std::string transactionIdentifier;
    Payment payment;
    PaymentTransactionState transactionState = PaymentTransactionState::Purchasing;
    // Seconds since 1970 (core::Clock's wall time) when the store completed
    // the payment or restored it; 0 in every other state.
    double transactionDate = 0;
    // Set for failed transactions.
    std::optional<StoreError> error;

    friend bool operator==(const PaymentTransaction&, const PaymentTransaction&) = default;
};

}  // namespace store
