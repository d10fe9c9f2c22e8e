#pragma once
// A purchase in the default purchase flow, as the public interface names
// it. The SDK runs no purchase flow of its own: enabling or disabling it
// and finishing a purchase do nothing. Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "store/PaymentTransaction.h"

namespace ads {

class DZDefaultInAppPurchase {
public:
    static void enableDefaultPurchaseFlowWithDelegate(const std::shared_ptr<void>& delegate);
    static void disableDefaultPurchaseFlow();

    void finishTransaction();

    [[nodiscard]] const std::string& productID() const { return productID_; }
    [[nodiscard]] std::int64_t quantity() const { return quantity_; }
    [[nodiscard]] const std::optional<store::PaymentTransaction>& paymentTransaction() const {
        return paymentTransaction_;
    }

private:
    std::string productID_;
    std::int64_t quantity_ = 0;
    std::optional<store::PaymentTransaction> paymentTransaction_;
};

}  // namespace ads
