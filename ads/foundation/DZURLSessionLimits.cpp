#include "ads/foundation/DZURLSessionLimits.h"

namespace ads {

core::URLSessionConfiguration DZURLSessionConfiguration() {
    core::URLSessionConfiguration configuration;
    configuration.timeoutIntervalForResource = kDZLoadDeadline;
    return configuration;
}

core::URLSessionConfiguration DZDownloadSessionConfiguration(std::int64_t maximumBytes) {
    core::URLSessionConfiguration configuration;
    configuration.lowSpeedLimit = kDZDownloadLowSpeedLimit;
    configuration.lowSpeedTime = kDZDownloadLowSpeedTime;
    configuration.maximumResponseBytes = maximumBytes;
    return configuration;
}

std::shared_ptr<core::URLSession> DZURLSession() {
    static const auto* const session = new std::shared_ptr<core::URLSession>(
        core::URLSession::create(DZURLSessionConfiguration()));
    return *session;
}

}  // namespace ads
