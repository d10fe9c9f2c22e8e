#pragma once
// The test-device identifier that names a simulator, for a request's test
// devices (DZRequest::setTestDevices).

namespace ads {

inline constexpr const char* kDZSimulatorID = "Simulator";

}  // namespace ads
