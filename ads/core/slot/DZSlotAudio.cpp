// DZSlot: the audio situation told to the shown ad's page. The volume
// payload comes with the audio work; until then each of these operations is
// recorded in DZCallLog ("DZSlot.<operation>").

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"

namespace ads {

void DZSlot::postVolumeNotification() {
    DZCallLog::record("DZSlot.postVolumeNotification");
}

void DZSlot::applicationVolumeDidChange() {
    postVolumeNotification();
}

}  // namespace ads
