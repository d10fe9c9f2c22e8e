#pragma once
// A request to buy a product, handed to the payment queue.

#include <string>

#include "store/Product.h"

namespace store {

struct Payment {
    std::string productIdentifier;
    long quantity = 1;

    [[nodiscard]] static Payment paymentWithProduct(const Product& product) {
        return Payment{product.productIdentifier, 1};
    }

    friend bool operator==(const Payment&, const Payment&) = default;
};

}  // namespace store
