#include "ads/presentation/iap/DZDefaultInAppPurchase.h"

namespace ads {

void DZDefaultInAppPurchase::enableDefaultPurchaseFlowWithDelegate(
    const std::shared_ptr<void>& /*delegate*/) {}

void DZDefaultInAppPurchase::disableDefaultPurchaseFlow() {}

void DZDefaultInAppPurchase::finishTransaction() {}

}  // namespace ads
