#pragma once
// Location fixes for the app. While updating, a manager reports the
// environment's fixes (stamped with the current wall time) or its failure
// to its delegate on the next main run-loop turn after startUpdatingLocation();
// it reports once per start. A change of authorisation through
// overrideEnvironmentForTesting() reaches every live manager's delegate.
//
// The class is registered under the name "LocationManager"; code that must
// work without it looks it up with factoryNamed(). Managers are used on the
// main thread; the static members are safe from any thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/Location.h"
#include "ui/LocationManagerDelegate.h"

namespace ui {

class LocationManager : public std::enable_shared_from_this<LocationManager> {
public:
    using Factory = std::function<std::shared_ptr<LocationManager>()>;

    [[nodiscard]] static std::shared_ptr<LocationManager> create();
    // The factory registered under name, or an empty function.
    [[nodiscard]] static Factory factoryNamed(std::string_view name);
    // Registers (or with an empty factory removes) a name; answers the
    // previous factory.
    static Factory registerFactory(const std::string& name, Factory factory);

    [[nodiscard]] static LocationEnvironment environment();
    [[nodiscard]] static int authorizationStatus() { return environment().authorizationStatus; }
    [[nodiscard]] static bool locationServicesEnabled() { return environment().servicesEnabled; }
    // nullopt restores the profile's environment.
    static void overrideEnvironmentForTesting(std::optional<LocationEnvironment> environment);

    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate);
    void startUpdatingLocation();
    void stopUpdatingLocation();
    [[nodiscard]] bool isUpdatingLocation() const { return updating_; }
    // Starts since creation, for tests and diagnostics.
    [[nodiscard]] int startCount() const { return starts_; }

    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

private:
    LocationManager() = default;

    void deliver(unsigned generation);
    void reportAuthorization(int status);

    std::weak_ptr<LocationManagerDelegate> delegate_;
    bool updating_ = false;
    int starts_ = 0;
    unsigned generation_ = 0;
};

}  // namespace ui
