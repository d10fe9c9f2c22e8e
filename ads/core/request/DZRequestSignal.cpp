// The interaction signal that ad requests and the foreground ping carry.

#include "ads/core/request/DZRequest.h"
#include "ads/core/request/DZSignalModule.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kSignalEnabledKey = "/dozuza/ads/dzads:rdiim_signal";

// Read and written on the main thread only.
bool gSignalModuleStarted = false;

}  // namespace

std::optional<core::Dictionary> DZRdiimSignalParameter() {
    const auto module = DZSignalModule::current();
    if (!gSignalModuleStarted) {
        module->start(DZRequest::sdkVersion());
        gSignalModuleStarted = true;
    }
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kSignalEnabledKey);
    const bool enabled = stored.isNull() || stored.boolValue();
    std::string pair;
    if (!module->querySignal(pair, enabled)) return std::nullopt;
    const size_t equals = pair.find('=');
    if (equals == std::string::npos || pair.find('=', equals + 1) != std::string::npos)
        return std::nullopt;
    std::string name = pair.substr(0, equals);
    std::string value = pair.substr(equals + 1);
    if (name.empty() || value.empty()) return std::nullopt;
    return core::Dictionary{{std::move(name), std::move(value)}};
}

}  // namespace ads
