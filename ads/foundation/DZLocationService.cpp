#include "ads/foundation/DZLocationService.h"

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "ui/LocationManager.h"

namespace ads {

std::shared_ptr<DZLocationService> DZLocationService::sharedInstance() {
    // Lives for the process: never destroyed at exit, when queues are gone.
    static const auto* const shared = new std::shared_ptr<DZLocationService>(create());
    return *shared;
}

std::shared_ptr<DZLocationService> DZLocationService::create() {
    if (!ui::LocationManager::factoryNamed(kLocationManagerClassName)) return nullptr;
    return std::shared_ptr<DZLocationService>(new DZLocationService);
}

DZLocationService::DZLocationService()
    : locationDataQueue_(DZCreateQueueWithQoS(DZQueueLabel("location-service"), DZQoSDefault)) {}

bool DZLocationService::isAuthorizedStatus(int status) {
    return status == ui::kLocationAuthorizationAlways ||
           status == ui::kLocationAuthorizationWhenInUse;
}

void DZLocationService::setFeatureEnabled(bool enabled) {
    DZRunOnMainThread([weak = weak_from_this(), enabled] {
        const auto self = weak.lock();
        if (!self) return;
        self->featureEnabled_ = enabled;
        if (!enabled) self->disable();
    });
}

void DZLocationService::setPublisherAuthorized(bool authorized) {
    DZRunOnMainThread([weak = weak_from_this(), authorized] {
        const auto self = weak.lock();
        if (!self) return;
        self->publisherAuthorized_ = authorized;
        if (!authorized) self->disable();
    });
}

void DZLocationService::updateLocation() {
    DZRunOnMainThread([weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->startUpdatingLocation();
    });
}

void DZLocationService::startUpdatingLocation() {
    if (!locationManager_) {
        const auto factory = ui::LocationManager::factoryNamed(kLocationManagerClassName);
        if (factory) locationManager_ = factory();
        if (locationManager_) locationManager_->setDelegate(weak_from_this());
    }
    if (locationManager_ && featureEnabled_ && publisherAuthorized_ &&
        isAuthorizedStatus(ui::LocationManager::authorizationStatus()) &&
        ui::LocationManager::locationServicesEnabled()) {
        locationManager_->startUpdatingLocation();
        return;
    }
    disable();
}

std::optional<DZLocation> DZLocationService::location() const {
    std::optional<DZLocation> copy;
    DZSyncOnQueue(*locationDataQueue_, [&] { copy = location_; });
    return copy;
}

void DZLocationService::disable() {
    stopManagerOnMainThread();
    locationDataQueue_->async([weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->location_.reset();
    });
}

void DZLocationService::stopManagerOnMainThread() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && self->locationManager_) self->locationManager_->stopUpdatingLocation();
    });
}

void DZLocationService::locationManagerDidChangeAuthorization(ui::LocationManager&, int status) {
    if (isAuthorizedStatus(status)) return;
    DZRunOnMainThread([weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->disable();
    });
}

void DZLocationService::locationManagerDidUpdateLocations(
    ui::LocationManager&, const std::vector<ui::Location>& locations) {
    if (locations.empty()) return;
    const ui::Location& last = locations.back();
    DZLocation fix(last.latitude, last.longitude, last.horizontalAccuracy);
    locationDataQueue_->async([weak = weak_from_this(), fix = std::move(fix)] {
        if (const auto self = weak.lock()) self->location_ = fix;
    });
    stopManagerOnMainThread();
}

void DZLocationService::locationManagerDidFail(ui::LocationManager&, const std::string&) {
    stopManagerOnMainThread();
}

}  // namespace ads
