#pragma once
// Shared set-up of the sawmill tests: settings written to the user defaults
// and a fresh DZSawmill per test, and an executor that records what it gets.

#include <mutex>
#include <vector>

#include "ads/foundation/DZSawmill.h"
#include "ads/foundation/DZSawmillCommandExecuting.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "core/UserDefaults.h"

namespace testsupport {

class RecordingSawmillExecutor : public ads::DZSawmillCommandExecuting {
public:
    bool loaded = true;

    [[nodiscard]] bool isLoaded() const override { return loaded; }
    void asynchronouslyExecuteCommands(core::Array commands) override {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(commands));
    }
    [[nodiscard]] std::vector<core::Array> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<core::Array> calls_;
};

// Writes the settings (enabled unless the test says otherwise) and gives the
// test a DZSawmill with no executor; everything is removed afterwards.
class SawmillSettingsScope {
public:
    explicit SawmillSettingsScope(core::Dictionary settings = core::Dictionary{{"enabled", true}}) {
        clear();
        set(std::move(settings));
    }
    ~SawmillSettingsScope() { clear(); }
    SawmillSettingsScope(const SawmillSettingsScope&) = delete;
    SawmillSettingsScope& operator=(const SawmillSettingsScope&) = delete;

    static void set(core::Dictionary settings) {
        core::UserDefaults::standard()->setObject(
            std::string(ads::DZSawmillConfig::kUserDefaultsKey), std::move(settings));
    }

private:
    static void clear() {
        const auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(ads::DZSawmillConfig::kUserDefaultsKey);
        defaults->removeObjectForKey(ads::DZSawmillLogger::kExperimentIDsKey);
        ads::DZSawmill::resetSharedInstanceForTesting();
    }
};

// The "params" of each command of a call.
inline std::vector<core::Value> paramsOf(const core::Array& call) {
    std::vector<core::Value> params;
    for (const core::Value& command : call) params.push_back(command["params"]);
    return params;
}

}  // namespace testsupport
