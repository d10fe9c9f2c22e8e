#include "ads/presentation/DZViewController.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

void DZViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
    DZCallLog::record("DZViewController.relinquishScreenWithCompletion:");
    ++relinquishCount_;
    if (completion) completion();
}

}  // namespace ads
