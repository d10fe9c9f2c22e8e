#pragma once
// The app-session clock of the SDK, kept in the user defaults store as
// readings of the boot clock (DZSecondsSinceBoot). A new session begins when
// the user returns after the session time-out, or when the boot clock went
// back since the last engagement (a restart, or the wall clock was set
// back). Any thread.

#include <string_view>

namespace ads {

inline constexpr std::string_view kDZLastUserEngagementKey =
    "/dozuza/ads/last_user_engagement_boot_time_interval";
inline constexpr std::string_view kDZTimeInSessionKey = "/dozuza/ads/time_in_session";
// Holds the session time-out in seconds (the server sends milliseconds;
// DZSetAppSessionTimeoutMilliseconds converts). No "/dozuza/ads/" prefix.
inline constexpr std::string_view kDZAppSessionTimeoutKey =
    "dzads:app_activity_tracker:app_session_timeout_ms";
inline constexpr double kDZDefaultAppSessionTimeout = 300;

// True when now - last engagement <= 0, or when an engagement was stored and
// more than the time-out has passed since. False when none was ever stored.
[[nodiscard]] bool DZIsNewAppSession();

void DZRecordUserEngagementTime();
void DZSetTimeInSession();

// Stores the server's session time-out, given in milliseconds, as seconds:
// the one place where the unit changes.
void DZSetAppSessionTimeoutMilliseconds(double milliseconds);

}  // namespace ads
