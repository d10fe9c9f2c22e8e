#pragma once
// The host analytics objects by class name ("HSTAIdentifiers",
// "HSTAnalytics", "HSTAAdExposureReporter", "HSTAScreenViewReporter"): what
// stands in for finding a library's classes at run time. Empty unless the
// host registers something. Thread-safe.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ads/foundation/DZHostAnalytics.h"

namespace ads {

class DZHostAnalyticsRegistry {
public:
    static constexpr std::string_view kIdentifiers = "HSTAIdentifiers";
    static constexpr std::string_view kAnalytics = "HSTAnalytics";
    static constexpr std::string_view kAdExposureReporter = "HSTAAdExposureReporter";
    static constexpr std::string_view kScreenViewReporter = "HSTAScreenViewReporter";

    static DZHostAnalyticsRegistry& shared();

    // Replaces an object registered under the name; nullptr unregisters.
    void registerObject(std::string_view name, std::shared_ptr<DZHostAnalyticsObject> object);
    void unregisterObject(std::string_view name);
    // nullptr when nothing is registered under the name.
    [[nodiscard]] std::shared_ptr<DZHostAnalyticsObject> object(std::string_view name) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<DZHostAnalyticsObject>, std::less<>> objects_;
};

}  // namespace ads
