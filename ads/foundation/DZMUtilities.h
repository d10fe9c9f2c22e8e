#pragma once
// Helpers of the mediation waterfall that belong with the URL helpers.

#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"

namespace ads {

class DZMUtilities {
public:
    using Text = std::optional<std::string_view>;

    // Fills the mediation ping template's macros ("gw_adlocid", "gw_qdata",
    // "gw_sdkver", "gw_sessid", "gw_seqnum", "gw_devid" (always empty),
    // "gw_adnetrefresh" ("1"/"0"), "gw_adnetid", "gw_allocid", "gw_aec",
    // "gw_adt", "gw_adnetstatus" (empty without a status)) in that order.
    // Values go in literally; a missing value leaves its macro in place, and
    // "@@" is not unescaped. nullopt when the filled text is empty or does not
    // parse.
    [[nodiscard]] static std::optional<core::URL> mediationURLFrom(
        Text urlTemplate, Text adLocationID, bool adNetworkRefresh, Text allocationID,
        Text adNetworkID, Text qData, Text sessionID, Text sequenceNumber, Text exitCodes,
        Text durations, Text fillStatus);
};

}  // namespace ads
