#include "ads/foundation/DZURLSessionLimits.h"

#include <mutex>

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
    // The authorities a session trusts are fixed when it is made: once they
    // change, later loads go through a new session, so that a ping never
    // verifies its server against the authorities of an earlier time. Tasks
    // of the old session run on; it goes when the last of them ends.
    static std::mutex mutex;
    static auto* const session = new std::shared_ptr<core::URLSession>();
    core::URLSessionConfiguration configuration = DZURLSessionConfiguration();
    std::lock_guard lock(mutex);
    if (!*session || (*session)->configuration().trustedCertificatesFile !=
                         configuration.trustedCertificatesFile) {
        *session = core::URLSession::create(std::move(configuration));
    }
    return *session;
}

}  // namespace ads
