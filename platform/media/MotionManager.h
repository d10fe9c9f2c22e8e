#pragma once
// Device motion for the app: whether the device reports its attitude, and
// while updates run, the attitude now as a rotation matrix (read by polling).
// Linux machines have no motion sensor, so the device profile's "motion"
// section decides ({"deviceMotionAvailable": bool, "attitude": nine numbers,
// row by row}); absent, motion is unavailable. Tests override the
// environment to make motion available and to turn the device.
//
// Every member is safe from any thread.

#include <array>
#include <atomic>
#include <optional>

#include "core/Value.h"

namespace media {

// A 3x3 rotation, mRC = row R, column C; the identity by default.
struct RotationMatrix {
    double m11 = 1, m12 = 0, m13 = 0;
    double m21 = 0, m22 = 1, m23 = 0;
    double m31 = 0, m32 = 0, m33 = 1;
    friend bool operator==(const RotationMatrix&, const RotationMatrix&) = default;
};

struct MotionEnvironment {
    bool deviceMotionAvailable = false;
    RotationMatrix attitude;

    // A malformed attitude (not nine numbers) leaves the identity.
    [[nodiscard]] static MotionEnvironment fromValue(const core::Value& motionSection);
};

class MotionManager {
public:
    [[nodiscard]] static MotionEnvironment environment();
    // nullopt restores the profile's environment.
    static void overrideEnvironmentForTesting(std::optional<MotionEnvironment> environment);

    [[nodiscard]] bool isDeviceMotionAvailable() const;
    // Does nothing when device motion is unavailable.
    void startDeviceMotionUpdates();
    void stopDeviceMotionUpdates();
    [[nodiscard]] bool isDeviceMotionActive() const { return active_.load(); }
    // The attitude while updates run (and motion is still available); else
    // nullopt.
    [[nodiscard]] std::optional<RotationMatrix> attitude() const;

private:
    std::atomic<bool> active_{false};
};

}  // namespace media
