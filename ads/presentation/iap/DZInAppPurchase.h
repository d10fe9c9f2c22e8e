#pragma once
// A purchase the publisher reports itself, as the public interface names
// it. Reporting a status does nothing, and there is no way to make one:
// create() gives nullptr. Main thread.

#include <cstdint>
#include <memory>
#include <string>

namespace ads {

class DZInAppPurchase {
public:
    [[nodiscard]] static std::shared_ptr<DZInAppPurchase> create() { return nullptr; }

    void reportPurchaseStatus(long status);

    [[nodiscard]] const std::string& productID() const { return productID_; }
    [[nodiscard]] std::int64_t quantity() const { return quantity_; }

private:
    std::string productID_;
    std::int64_t quantity_ = 0;
};

}  // namespace ads
