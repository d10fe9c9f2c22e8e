#pragma once
// The one-shot report a tester sends from the debug options when flagging a
// creative as bad. Any thread; the POST does not block the caller and its
// outcome is not reported.

#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"

namespace ads {

// Used when the server constants give no "/dozuza/ads/bad_ad_report_path".
inline constexpr std::string_view kDZDefaultBadAdReportURLString =
    "https://ads.dozuza.com/s/reportAd";

// The endpoint: the text of "/dozuza/ads/bad_ad_report_path", or the default
// when that is empty or absent; nullopt when the text is not an http or
// https URL.
[[nodiscard]] std::optional<core::URL> DZBadAdReportURL();

// POSTs {"debugHeader": debugHeader or null} as JSON to DZBadAdReportURL().
void DZSendBadAdReport(const std::optional<std::string>& debugHeader);

// Replaces the built-in default endpoint (nullopt: back to
// kDZDefaultBadAdReportURLString), so that tests can reach a local server.
void DZSetDefaultBadAdReportURLStringForTesting(std::optional<std::string> urlString);

}  // namespace ads
