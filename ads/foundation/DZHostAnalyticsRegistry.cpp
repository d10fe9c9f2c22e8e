#include "ads/foundation/DZHostAnalyticsRegistry.h"

namespace ads {

DZHostAnalyticsRegistry& DZHostAnalyticsRegistry::shared() {
    // Never destroyed: used from any thread until the process ends.
    static DZHostAnalyticsRegistry& registry = *new DZHostAnalyticsRegistry;
    return registry;
}

void DZHostAnalyticsRegistry::registerObject(std::string_view name,
                                             std::shared_ptr<DZHostAnalyticsObject> object) {
    if (!object) {
        unregisterObject(name);
        return;
    }
    std::lock_guard lock(mutex_);
    objects_[std::string(name)] = std::move(object);
}

void DZHostAnalyticsRegistry::unregisterObject(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (const auto found = objects_.find(name); found != objects_.end()) {
        objects_.erase(found);
    }
}

std::shared_ptr<DZHostAnalyticsObject>
DZHostAnalyticsRegistry::object(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto found = objects_.find(name);
    return found == objects_.end() ? nullptr : found->second;
}

}  // namespace ads
