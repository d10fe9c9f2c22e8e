#include "ads/presentation/iap/DZInAppPurchase.h"

namespace ads {

void DZInAppPurchase::reportPurchaseStatus(long /*status*/) {}

}  // namespace ads
