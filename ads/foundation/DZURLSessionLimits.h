#pragma once
// The limits of the SDK's own loads, so that a broken or hostile server can
// neither hold a load open nor fill memory: ad fetches, pings and reports
// end within kDZLoadDeadline whatever the server does, and keep at most the
// platform's default response size (16 MiB) in memory; resource cache
// downloads, which go to disk and may rightly take long, end when bytes
// come slower than kDZDownloadLowSpeedLimit for kDZDownloadLowSpeedTime
// seconds, and are bounded by the cache's own size limits. Every limit reads
// core::Clock, so a manual clock drives it in tests.
//
// Any thread.

#include <cstdint>
#include <memory>

#include "core/URLSession.h"
#include "core/URLSessionConfiguration.h"

namespace ads {

// Seconds an ad fetch, ping or report may take in all, redirects included.
inline constexpr double kDZLoadDeadline = 30;
// Bytes a second a resource cache download must average over each span of
// kDZDownloadLowSpeedTime seconds.
inline constexpr std::int64_t kDZDownloadLowSpeedLimit = 1024;
inline constexpr double kDZDownloadLowSpeedTime = 30;

// Ad fetches, pings and reports.
[[nodiscard]] core::URLSessionConfiguration DZURLSessionConfiguration();
// Resource cache downloads of at most maximumBytes.
[[nodiscard]] core::URLSessionConfiguration
DZDownloadSessionConfiguration(std::int64_t maximumBytes);
// The session of the SDK's pings and reports, made with
// DZURLSessionConfiguration() on first use, and made anew when the
// authorities it would trust (VANTOR_CA_FILE) have changed since.
[[nodiscard]] std::shared_ptr<core::URLSession> DZURLSession();

}  // namespace ads
