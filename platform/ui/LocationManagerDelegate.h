#pragma once
// Receives a location manager's reports, on the main thread.

#include <string>
#include <vector>

#include "ui/Location.h"

namespace ui {

class LocationManager;

class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;

    virtual void locationManagerDidChangeAuthorization(LocationManager& /*manager*/,
                                                       int /*status*/) {}
    virtual void locationManagerDidUpdateLocations(LocationManager& /*manager*/,
                                                   const std::vector<Location>& /*locations*/) {}
    virtual void locationManagerDidFail(LocationManager& /*manager*/,
                                        const std::string& /*message*/) {}
};

}  // namespace ui
