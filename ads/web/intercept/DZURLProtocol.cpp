#include "ads/web/intercept/DZURLProtocol.h"

#include <atomic>

#include "ads/foundation/DZCallLog.h"

namespace ads {

namespace {
std::atomic<bool> gRegistered{false};
}  // namespace

void DZRegisterURLProtocol() {
    DZCallLog::record("DZRegisterURLProtocol");
    gRegistered = true;
}

bool DZURLProtocolIsRegistered() {
    return gRegistered.load();
}

}  // namespace ads
