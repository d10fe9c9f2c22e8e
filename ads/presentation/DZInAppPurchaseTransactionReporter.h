#pragma once
// Reports the host's in-app purchases as conversions. Purchase reporting is
// not built yet: shouldBeEnabled() answers false, so start-up never enables
// it. Each call is recorded in DZCallLog ("DZInAppPurchaseTransactionReporter."
// and the operation). Any thread.

#include <atomic>
#include <memory>

namespace ads {

class DZInAppPurchaseTransactionReporter {
public:
    [[nodiscard]] static std::shared_ptr<DZInAppPurchaseTransactionReporter> sharedInstance();
    DZInAppPurchaseTransactionReporter() = default;

    [[nodiscard]] bool shouldBeEnabled() const;
    void enableReporting();
    // For the rest of the process.
    void disableReporting();
    [[nodiscard]] bool reportingEnabled() const { return enabled_; }

private:
    std::atomic<bool> enabled_{false};
    std::atomic<bool> disabled_{false};
};

}  // namespace ads
