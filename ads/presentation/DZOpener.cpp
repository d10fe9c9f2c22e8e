#include "ads/presentation/DZOpener.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

bool DZOpener::shouldPerformOpenAction() {
    DZCallLog::record("DZOpener.shouldPerformOpenAction");
    return false;
}

}  // namespace ads
