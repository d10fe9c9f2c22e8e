// DZSlot: Live View reporting of the shown ad. The Live View monitor comes
// with the Live View work; until then the slot takes no measurement and
// each of these operations is recorded in DZCallLog ("DZSlot.<operation>").

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"

namespace ads {

void DZSlot::startLiveViewReportingIfEnabled() {
    DZCallLog::record("DZSlot.startLiveViewReportingIfEnabled");
}

void DZSlot::finishLiveViewReporting() {
    DZCallLog::record("DZSlot.finishLiveViewReporting");
}

void DZSlot::liveViewVisibilityChanged(bool) {
    DZCallLog::record("DZSlot.liveViewVisibilityChanged:");
}

bool DZSlot::liveViewMonitoringStarted(std::uint64_t) {
    DZCallLog::record("DZSlot.liveViewMonitoringStarted:");
    return false;
}

void DZSlot::liveViewMonitoringDidStop(std::uint64_t) {
    DZCallLog::record("DZSlot.liveViewMonitoringDidStop:");
}

}  // namespace ads
