#pragma once
// Reports exceptions that nothing caught when they implicate the SDK (see
// DZCrashReport), then lets the process go down as it would have.
//
// sharedInstance() installs the reporter as the process's terminate handler
// once, remembering the handler installed before it. When terminate runs
// with an exception in flight, the reporter captures it and the stack of the
// throw, stores the report URL in the pinger's persisted retry group
// "/dozuza/ads/crash_reporting", writes the user defaults to disk and pings
// it; the pinger sends what is left at a later start. Then, in every case,
// the previous handler runs (std::abort() when there is none). A failure
// while reporting, or a second terminate while reporting, goes straight on
// to the previous handler.
//
// Threading: any thread. Reports are made on the thread that raised the
// exception, inside the terminate handler.

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/foundation/DZCrashReport.h"

namespace ads {

class DZCrashReporter {
public:
    static constexpr std::string_view kRetryGroupKey = "/dozuza/ads/crash_reporting";
    // The endpoint's path on the reporting host (DZServerHosts): by default
    // "https://reports.dozuza.com/crash".
    static constexpr std::string_view kEndpointPath = "/crash";

    // Made once; installs the terminate handler.
    static std::shared_ptr<DZCrashReporter> sharedInstance();
    DZCrashReporter(const DZCrashReporter&) = delete;
    DZCrashReporter& operator=(const DZCrashReporter&) = delete;

    [[nodiscard]] bool reportingEnabled() const { return reportingEnabled_.load(); }
    void setReportingEnabled(bool enabled) { reportingEnabled_ = enabled; }

    // The terminate handler found when the reporter was made (may be empty).
    [[nodiscard]] std::terminate_handler previousTerminateHandler() const { return previous_; }

    // Reports when enabled. The installed handler calls this and then the
    // previous handler.
    void handleUncaughtException(const DZCrashReport& report);
    // Stores and pings the report's URL when the SDK is implicated.
    void reportUncaughtException(const DZCrashReport& report);

    // The endpoint reports go to; tests point it at a local server. nullopt
    // restores the default.
    static void setEndpointForTesting(std::optional<std::string> endpoint);
    [[nodiscard]] static std::string endpoint();

private:
    DZCrashReporter();

    std::terminate_handler previous_ = nullptr;
    std::atomic<bool> reportingEnabled_{true};
};

}  // namespace ads
