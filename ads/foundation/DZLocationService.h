#pragma once
// Takes at most one location fix each time the ad slot asks, and only while
// the server ("auto_collect_location"), the publisher (the ad response's
// "x-duzo-auto-collect-location") and the user all allow it. The ad request
// reads location() when it is built.
//
// Switches and location-manager calls run on the main thread; the last fix
// is written asynchronously and read synchronously on the serial queue
// "com.dozuza.vuraz.location-service". Public members are safe from any
// thread; the delegate methods are called by the manager on the main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZLocation.h"
#include "core/Queue.h"
#include "ui/LocationManagerDelegate.h"

namespace ui {
class LocationManager;
}

namespace ads {

class DZLocationService : public ui::LocationManagerDelegate,
                          public std::enable_shared_from_this<DZLocationService> {
public:
    // The name the platform's location manager is looked up by.
    static constexpr const char* kLocationManagerClassName = "LocationManager";

    // nullptr when the platform offers no location manager.
    [[nodiscard]] static std::shared_ptr<DZLocationService> sharedInstance();
    // A separate service (nullptr without a location manager); tests make
    // their own.
    [[nodiscard]] static std::shared_ptr<DZLocationService> create();

    // Status 3 (always) and 4 (when in use) only.
    [[nodiscard]] static bool isAuthorizedStatus(int status);

    void setFeatureEnabled(bool enabled);
    void setPublisherAuthorized(bool authorized);
    [[nodiscard]] bool publisherAuthorized() const { return publisherAuthorized_; }
    void updateLocation();
    [[nodiscard]] std::optional<DZLocation> location() const;
    void disable();

    // The manager, once the first updateLocation() has made it. Main thread.
    [[nodiscard]] std::shared_ptr<ui::LocationManager> locationManager() const {
        return locationManager_;
    }

    void locationManagerDidChangeAuthorization(ui::LocationManager& manager, int status) override;
    void locationManagerDidUpdateLocations(ui::LocationManager& manager,
                                           const std::vector<ui::Location>& locations) override;
    void locationManagerDidFail(ui::LocationManager& manager, const std::string& message) override;

private:
    DZLocationService();

    void startUpdatingLocation();
    void stopManagerOnMainThread();

    std::shared_ptr<ui::LocationManager> locationManager_;  // main thread
    std::optional<DZLocation> location_;                    // location-service queue
    const std::shared_ptr<core::Queue> locationDataQueue_;
    bool featureEnabled_ = false;       // main thread
    bool publisherAuthorized_ = false;  // main thread
};

}  // namespace ads
