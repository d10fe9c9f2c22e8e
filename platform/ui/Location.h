#pragma once
// A location fix as the location manager reports it, the authorisation codes
// of location access, and the facts a location manager works from.

#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"

namespace ui {

// Authorisation codes; a profile or a test may give any other integer,
// which no caller should treat as authorised.
enum LocationAuthorizationStatus : int {
    kLocationAuthorizationNotDetermined = 0,
    kLocationAuthorizationRestricted = 1,
    kLocationAuthorizationDenied = 2,
    kLocationAuthorizationAlways = 3,
    kLocationAuthorizationWhenInUse = 4,
};

struct Location {
    double latitude = 0;
    double longitude = 0;
    double horizontalAccuracy = 0;  // metres
    double timestamp = 0;           // seconds since 1970
};

// What the device offers: from the profile's "location" section
// ({"servicesEnabled": bool, "authorization": code or "notDetermined" |
// "restricted" | "denied" | "always" | "whenInUse", "fixes": [{"latitude",
// "longitude", "accuracy"}], "failure": text}) or a test's override.
struct LocationEnvironment {
    bool servicesEnabled = true;
    int authorizationStatus = kLocationAuthorizationNotDetermined;
    std::vector<Location> fixes;
    std::optional<std::string> failure;  // reported instead of fixes

    [[nodiscard]] static LocationEnvironment fromValue(const core::Value& locationSection);
};

}  // namespace ui
