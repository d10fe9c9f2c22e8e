#include "ads/web/intercept/DZAdURLStash.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

std::shared_ptr<DZAdURLStash> DZAdURLStash::sharedInstance() {
    return DZSeamSharedInstance<DZAdURLStash>("DZAdURLStash");
}

}  // namespace ads
