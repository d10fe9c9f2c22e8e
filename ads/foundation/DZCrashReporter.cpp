#include "ads/foundation/DZCrashReporter.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#include "ads/foundation/DZServerHosts.h"
#include "ads/web/net/DZPinger.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::mutex gEndpointMutex;
std::optional<std::string> gEndpointOverride;

std::atomic<bool> gHandling{false};

std::shared_ptr<DZCrashReporter>& sharedSlot() {
    // Lives for the process: the terminate handler may run during exit.
    static auto* const shared = new std::shared_ptr<DZCrashReporter>();
    return *shared;
}

[[noreturn]] void DZCrashReporterTerminateHandler() {
    const std::shared_ptr<DZCrashReporter> reporter = sharedSlot();
    const std::terminate_handler previous =
        reporter ? reporter->previousTerminateHandler() : nullptr;
    if (reporter && !gHandling.exchange(true)) {
        try {
            if (const auto report = DZCrashReport::captureCurrentException()) {
                reporter->handleUncaughtException(*report);
            }
        } catch (...) {
        }
    }
    if (previous) previous();
    std::abort();
}

}  // namespace

std::shared_ptr<DZCrashReporter> DZCrashReporter::sharedInstance() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::shared_ptr<DZCrashReporter> reporter(new DZCrashReporter());
        sharedSlot() = reporter;
        reporter->previous_ = std::set_terminate(&DZCrashReporterTerminateHandler);
    });
    return sharedSlot();
}

DZCrashReporter::DZCrashReporter() = default;

void DZCrashReporter::handleUncaughtException(const DZCrashReport& report) {
    if (reportingEnabled()) reportUncaughtException(report);
}

void DZCrashReporter::reportUncaughtException(const DZCrashReport& report) {
    const auto url = report.URLWithEndpoint(endpoint());
    if (!url) return;
    const std::string text = url->absoluteString();
    const std::string group(kRetryGroupKey);
    const auto pinger = DZPinger::sharedInstance();
    pinger->storeRetryURLString(text, group);
    // The process is about to end: the stored report must be on disk first.
    (void)core::UserDefaults::standard()->synchronize();
    pinger->pingWithRetryGroupKey(group, *url, text);
}

void DZCrashReporter::setEndpointForTesting(std::optional<std::string> endpoint) {
    std::lock_guard lock(gEndpointMutex);
    gEndpointOverride = std::move(endpoint);
}

std::string DZCrashReporter::endpoint() {
    std::lock_guard lock(gEndpointMutex);
    return gEndpointOverride.value_or(DZServerHosts::reportingURLString(kEndpointPath));
}

}  // namespace ads
