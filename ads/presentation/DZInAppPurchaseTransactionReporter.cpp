#include "ads/presentation/DZInAppPurchaseTransactionReporter.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

std::shared_ptr<DZInAppPurchaseTransactionReporter>
DZInAppPurchaseTransactionReporter::sharedInstance() {
    return DZSeamSharedInstance<DZInAppPurchaseTransactionReporter>(
        "DZInAppPurchaseTransactionReporter");
}

bool DZInAppPurchaseTransactionReporter::shouldBeEnabled() const {
    DZCallLog::record("DZInAppPurchaseTransactionReporter.shouldBeEnabled");
    return false;
}

void DZInAppPurchaseTransactionReporter::enableReporting() {
    DZCallLog::record("DZInAppPurchaseTransactionReporter.enableReporting");
    if (!disabled_) enabled_ = true;
}

void DZInAppPurchaseTransactionReporter::disableReporting() {
    DZCallLog::record("DZInAppPurchaseTransactionReporter.disableReporting");
    disabled_ = true;
    enabled_ = false;
}

}  // namespace ads
