#include "ads/foundation/DZUserAgent.h"

#include <mutex>
#include <utility>

#include "ads/core/request/DZRequest.h"

namespace ads {

namespace {
struct ProviderSlot {
    std::mutex mutex;
    DZUserAgentProvider provider;
};

ProviderSlot& slot() {
    static ProviderSlot& instance = *new ProviderSlot;  // read from any thread until the end
    return instance;
}
}  // namespace

std::string DZDefaultUserAgent() {
    return "Mozilla/5.0 (Linux; Vantor) " + DZRequest::sdkVersion();
}

std::string DZUserAgent() {
    DZUserAgentProvider provider;
    {
        std::lock_guard lock(slot().mutex);
        provider = slot().provider;
    }
    return provider ? provider() : DZDefaultUserAgent();
}

DZUserAgentProvider DZSetUserAgentProvider(DZUserAgentProvider provider) {
    std::lock_guard lock(slot().mutex);
    return std::exchange(slot().provider, std::move(provider));
}

}  // namespace ads
