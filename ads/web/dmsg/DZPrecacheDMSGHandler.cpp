#include "ads/web/dmsg/DZPrecacheDMSGHandler.h"

namespace ads {

void DZPrecacheDMSGHandler::adViewDidReceivePrecacheNotification(const std::shared_ptr<DZAdView>&,
                                                                 const core::Dictionary&) {}

}  // namespace ads
