#include "ads/foundation/DZMUtilities.h"

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZMacroTemplates.h"

namespace ads {

std::optional<core::URL> DZMUtilities::mediationURLFrom(Text urlTemplate, Text adLocationID,
                                                        bool adNetworkRefresh, Text allocationID,
                                                        Text adNetworkID, Text qData,
                                                        Text sessionID, Text sequenceNumber,
                                                        Text exitCodes, Text durations,
                                                        Text fillStatus) {
    if (!urlTemplate) return std::nullopt;
    std::string text(*urlTemplate);
    const std::string sdkVersion = DZRequest::sdkVersion();
    DZStringBySubstitutingMacro(text, "gw_adlocid", adLocationID);
    DZStringBySubstitutingMacro(text, "gw_qdata", qData);
    DZStringBySubstitutingMacro(text, "gw_sdkver", sdkVersion);
    DZStringBySubstitutingMacro(text, "gw_sessid", sessionID);
    DZStringBySubstitutingMacro(text, "gw_seqnum", sequenceNumber);
    DZStringBySubstitutingMacro(text, "gw_devid", "");
    DZStringBySubstitutingMacro(text, "gw_adnetrefresh", adNetworkRefresh ? "1" : "0");
    DZStringBySubstitutingMacro(text, "gw_adnetid", adNetworkID);
    DZStringBySubstitutingMacro(text, "gw_allocid", allocationID);
    DZStringBySubstitutingMacro(text, "gw_aec", exitCodes);
    DZStringBySubstitutingMacro(text, "gw_adt", durations);
    DZStringBySubstitutingMacro(text, "gw_adnetstatus", fillStatus.value_or(""));
    if (text.empty()) return std::nullopt;
    return core::URL::create(text);
}

}  // namespace ads
