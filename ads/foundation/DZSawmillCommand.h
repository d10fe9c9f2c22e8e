#pragma once
// Builders of what the sawmill script receives. A command wraps one event
// for one log: {"id", "params", "awake_timeinterval_since_boot_sec",
// "timeinterval_since_boot_sec"}; the beacon goes out bare. Pure; any
// thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

// The id that commands carry while they wait in a buffer for their log.
inline constexpr std::string_view kDZSawmillBufferedID = "buffered";

// The four-entry command of the event under the log's id, timed now
// (DZMonotonicMilliseconds / 1000 and DZSecondsSinceBoot); nullopt for an
// empty id or an empty event.
[[nodiscard]] std::optional<core::Dictionary> DZSawmillCommand(std::string_view sawmillID,
                                                               const core::Dictionary& params);

// {"beacon": {"time_interval_sec": interval}}.
[[nodiscard]] core::Dictionary DZSawmillBeaconCommand(double interval);

}  // namespace ads
