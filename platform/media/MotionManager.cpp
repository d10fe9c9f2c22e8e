#include "media/MotionManager.h"

#include <mutex>
#include <utility>

#include "ui/DeviceProfile.h"

namespace media {

namespace {

struct Override {
    std::mutex mutex;
    std::optional<MotionEnvironment> environment;
};

Override& testOverride() {
    static auto* state = new Override;
    return *state;
}

}  // namespace

MotionEnvironment MotionEnvironment::fromValue(const core::Value& section) {
    MotionEnvironment environment;
    environment.deviceMotionAvailable = section["deviceMotionAvailable"].boolValue();
    const core::Array* entries = section["attitude"].array();
    if (!entries || entries->size() != 9) return environment;
    std::array<double, 9> values{};
    for (size_t i = 0; i < values.size(); ++i) {
        if (!(*entries)[i].isNumber()) return environment;
        values[i] = (*entries)[i].doubleValue();
    }
    const auto& v = values;
    environment.attitude = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
    return environment;
}

MotionEnvironment MotionManager::environment() {
    {
        std::lock_guard lock(testOverride().mutex);
        if (testOverride().environment) return *testOverride().environment;
    }
    return MotionEnvironment::fromValue(ui::DeviceProfile::current().raw["motion"]);
}

void MotionManager::overrideEnvironmentForTesting(std::optional<MotionEnvironment> environment) {
    std::lock_guard lock(testOverride().mutex);
    testOverride().environment = std::move(environment);
}

bool MotionManager::isDeviceMotionAvailable() const {
    return environment().deviceMotionAvailable;
}

void MotionManager::startDeviceMotionUpdates() {
    if (isDeviceMotionAvailable()) active_ = true;
}

void MotionManager::stopDeviceMotionUpdates() {
    active_ = false;
}

std::optional<RotationMatrix> MotionManager::attitude() const {
    if (!active_) return std::nullopt;
    const MotionEnvironment now = environment();
    if (!now.deviceMotionAvailable) return std::nullopt;
    return now.attitude;
}

}  // namespace media
