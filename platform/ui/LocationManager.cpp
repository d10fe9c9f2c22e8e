#include "ui/LocationManager.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "core/Queue.h"
#include "ui/DeviceProfile.h"

namespace ui {

namespace {

struct Shared {
    std::mutex mutex;
    std::map<std::string, LocationManager::Factory, std::less<>> factories;
    std::optional<LocationEnvironment> override;
    std::vector<std::weak_ptr<LocationManager>> managers;
};

Shared& shared() {
    static Shared* const instance = [] {
        auto* made = new Shared;
        made->factories["LocationManager"] = [] { return LocationManager::create(); };
        return made;
    }();
    return *instance;
}

int authorizationFrom(const core::Value& value) {
    if (value.isNumber()) return static_cast<int>(value.intValue());
    static const std::map<std::string, int, std::less<>> names = {
        {"notDetermined", kLocationAuthorizationNotDetermined},
        {"restricted", kLocationAuthorizationRestricted},
        {"denied", kLocationAuthorizationDenied},
        {"always", kLocationAuthorizationAlways},
        {"whenInUse", kLocationAuthorizationWhenInUse},
    };
    const auto found = names.find(value.stringValue());
    return found == names.end() ? kLocationAuthorizationNotDetermined : found->second;
}

}  // namespace

LocationEnvironment LocationEnvironment::fromValue(const core::Value& section) {
    LocationEnvironment environment;
    if (section["servicesEnabled"].isBool()) {
        environment.servicesEnabled = section["servicesEnabled"].boolValue();
    }
    environment.authorizationStatus = authorizationFrom(section["authorization"]);
    if (const core::Array* fixes = section["fixes"].array()) {
        for (const core::Value& fix : *fixes) {
            if (!fix.isDictionary()) continue;
            environment.fixes.push_back({fix["latitude"].doubleValue(),
                                         fix["longitude"].doubleValue(),
                                         fix["accuracy"].doubleValue(), 0});
        }
    }
    if (section["failure"].isString()) environment.failure = *section["failure"].string();
    return environment;
}

std::shared_ptr<LocationManager> LocationManager::create() {
    std::shared_ptr<LocationManager> manager(new LocationManager);
    std::lock_guard lock(shared().mutex);
    std::erase_if(shared().managers, [](const auto& weak) { return weak.expired(); });
    shared().managers.push_back(manager);
    return manager;
}

LocationManager::Factory LocationManager::factoryNamed(std::string_view name) {
    std::lock_guard lock(shared().mutex);
    const auto found = shared().factories.find(name);
    return found == shared().factories.end() ? Factory() : found->second;
}

LocationManager::Factory LocationManager::registerFactory(const std::string& name,
                                                          Factory factory) {
    std::lock_guard lock(shared().mutex);
    auto& factories = shared().factories;
    Factory previous;
    if (const auto found = factories.find(name); found != factories.end()) {
        previous = std::move(found->second);
        factories.erase(found);
    }
    if (factory) factories[name] = std::move(factory);
    return previous;
}

LocationEnvironment LocationManager::environment() {
    {
        std::lock_guard lock(shared().mutex);
        if (shared().override) return *shared().override;
    }
    return LocationEnvironment::fromValue(DeviceProfile::current().raw["location"]);
}

void LocationManager::overrideEnvironmentForTesting(
    std::optional<LocationEnvironment> environment) {
    const int before = authorizationStatus();
    std::vector<std::weak_ptr<LocationManager>> managers;
    {
        std::lock_guard lock(shared().mutex);
        shared().override = std::move(environment);
        managers = shared().managers;
    }
    const int after = authorizationStatus();
    if (after == before) return;
    for (auto& weak : managers) {
        core::Queue::main()->async([weak, after] {
            if (auto manager = weak.lock()) manager->reportAuthorization(after);
        });
    }
}

void LocationManager::setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) {
    delegate_ = std::move(delegate);
}

void LocationManager::startUpdatingLocation() {
    if (updating_) return;
    updating_ = true;
    ++starts_;
    const unsigned generation = ++generation_;
    core::Queue::main()->async([weak = weak_from_this(), generation] {
        if (auto self = weak.lock()) self->deliver(generation);
    });
}

void LocationManager::stopUpdatingLocation() {
    updating_ = false;
    ++generation_;
}

void LocationManager::deliver(unsigned generation) {
    if (!updating_ || generation != generation_) return;
    const auto delegate = delegate_.lock();
    if (!delegate) return;
    LocationEnvironment facts = environment();
    if (facts.failure) {
        delegate->locationManagerDidFail(*this, *facts.failure);
        return;
    }
    if (facts.fixes.empty()) return;
    const double now = core::Clock::current()->wallSeconds();
    for (Location& fix : facts.fixes) fix.timestamp = now;
    delegate->locationManagerDidUpdateLocations(*this, facts.fixes);
}

void LocationManager::reportAuthorization(int status) {
    if (const auto delegate = delegate_.lock()) {
        delegate->locationManagerDidChangeAuthorization(*this, status);
    }
}

}  // namespace ui
