#include "ads/foundation/DZAppSession.h"

#include "ads/foundation/DZClock.h"
#include "core/UserDefaults.h"

namespace ads {

bool DZIsNewAppSession() {
    const auto defaults = core::UserDefaults::standard();
    const double now = DZSecondsSinceBoot();
    const double last = defaults->doubleForKey(kDZLastUserEngagementKey);
    const core::Value stored = defaults->objectForKey(kDZAppSessionTimeoutKey);
    const double timeout = stored.isNumber() ? stored.doubleValue() : kDZDefaultAppSessionTimeout;
    const double elapsed = now - last;
    return elapsed <= 0 || (last > 0 && elapsed > timeout);
}

void DZRecordUserEngagementTime() {
    core::UserDefaults::standard()->setDouble(std::string(kDZLastUserEngagementKey),
                                              DZSecondsSinceBoot());
}

void DZSetTimeInSession() {
    core::UserDefaults::standard()->setDouble(std::string(kDZTimeInSessionKey),
                                              DZSecondsSinceBoot());
}

void DZSetAppSessionTimeoutMilliseconds(double milliseconds) {
    core::UserDefaults::standard()->setDouble(std::string(kDZAppSessionTimeoutKey),
                                              milliseconds / 1000.0);
}

}  // namespace ads
