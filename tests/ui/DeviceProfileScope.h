#pragma once
// Selects a device profile for the lifetime of a test and the default
// phone profile afterwards.

#include <string>

#include "ui/DeviceProfile.h"

namespace testsupport {

class DeviceProfileScope {
public:
    explicit DeviceProfileScope(const std::string& name)
        : selected_(ui::DeviceProfile::select(name)) {}
    ~DeviceProfileScope() { (void)ui::DeviceProfile::select("phone"); }
    DeviceProfileScope(const DeviceProfileScope&) = delete;
    DeviceProfileScope& operator=(const DeviceProfileScope&) = delete;

    [[nodiscard]] bool selected() const { return selected_; }

private:
    bool selected_;
};

}  // namespace testsupport
