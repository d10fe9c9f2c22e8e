#pragma once
// A failure reported by the store: a products request that could not be
// answered, a payment that did not go through, a restore that failed.

#include <string>

namespace store {

struct StoreError {
    static constexpr const char* kDomain = "store.error";

    enum Code : int {
        Unknown = 0,
        ClientInvalid = 1,
        PaymentCancelled = 2,
        PaymentInvalid = 3,
        PaymentNotAllowed = 4,
        ProductNotAvailable = 5,
        CloudServiceNetworkConnectionFailed = 7,
    };

    int code = Unknown;
    std::string message;
    std::string domain = kDomain;

    [[nodiscard]] const std::string& localizedDescription() const { return message; }
    // The printed form: Error Domain=<domain> Code=<code> "<message>".
    [[nodiscard]] std::string description() const;

    friend bool operator==(const StoreError&, const StoreError&) = default;
};

}  // namespace store
