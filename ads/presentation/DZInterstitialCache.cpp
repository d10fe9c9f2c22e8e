#include "ads/presentation/DZInterstitialCache.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

std::shared_ptr<DZInterstitialCache> DZInterstitialCache::sharedInstance() {
    return DZSeamSharedInstance<DZInterstitialCache>("DZInterstitialCache");
}

}  // namespace ads
