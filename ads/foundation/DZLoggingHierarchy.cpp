#include "ads/foundation/DZLoggingHierarchy.h"

#include "ads/foundation/DZSawmillLogger.h"
#include "core/NotificationCenter.h"

namespace ads {

namespace {

bool sameOwner(const std::weak_ptr<const void>& entry, const DZLoggingHierarchy::Object& object) {
    return !entry.expired() && !entry.owner_before(object) && !object.owner_before(entry);
}

}  // namespace

std::shared_ptr<DZLoggingHierarchy> DZLoggingHierarchy::sharedInstance() {
    static const auto* const shared =
        new std::shared_ptr<DZLoggingHierarchy>(std::make_shared<DZLoggingHierarchy>());
    return *shared;
}

template <typename Entry>
Entry* DZLoggingHierarchy::entryFor(std::unordered_map<const void*, Entry>& map,
                                    const Object& object,
                                    const std::weak_ptr<const void> Entry::*owner) {
    if (!object) return nullptr;
    const auto found = map.find(object.get());
    if (found == map.end()) return nullptr;
    if (sameOwner(found->second.*owner, object)) return &found->second;
    if ((found->second.*owner).expired()) map.erase(found);
    return nullptr;
}

void DZLoggingHierarchy::setLogger(const std::shared_ptr<DZSawmillLogger>& logger,
                                   const Object& rootObject) {
    if (!rootObject) return;
    {
        const std::lock_guard lock(mutex_);
        const void* address = rootObject.get();
        if (logger) {
            objectLogger_[address] = LoggerEntry{rootObject, logger, logger->sawmillID()};
        } else {
            objectLogger_.erase(address);
        }
        objectsRootLoggingObject_[address] = RootEntry{rootObject, rootObject};
    }
    core::NotificationCenter::defaultCenter().post(
        std::string(DZLoggingHierarchyRootObjectLoggerDidChangeNotification), rootObject.get());
}

DZLoggingHierarchy::Object DZLoggingHierarchy::rootLocked(const Object& object) const {
    const RootEntry* entry = entryFor(objectsRootLoggingObject_, object, &RootEntry::object);
    return entry ? entry->root.lock() : nullptr;
}

std::shared_ptr<DZSawmillLogger> DZLoggingHierarchy::loggerForObject(const Object& object) const {
    const std::lock_guard lock(mutex_);
    const Object root = rootLocked(object);
    const LoggerEntry* entry = entryFor(objectLogger_, root, &LoggerEntry::root);
    return entry ? entry->logger.lock() : nullptr;
}

DZLoggingHierarchy::Object DZLoggingHierarchy::rootObjectForObject(const Object& object) const {
    const std::lock_guard lock(mutex_);
    return rootLocked(object);
}

void DZLoggingHierarchy::linkObject(const Object& parent, const std::vector<Object>& children) {
    if (!parent) return;
    const std::lock_guard lock(mutex_);
    const Object root = rootLocked(parent);
    if (!root) return;
    for (const Object& child : children) {
        if (child) objectsRootLoggingObject_[child.get()] = RootEntry{child, root};
    }
}

void DZLoggingHierarchy::removeObject(const Object& object) {
    const std::lock_guard lock(mutex_);
    if (entryFor(objectsRootLoggingObject_, object, &RootEntry::object)) {
        objectsRootLoggingObject_.erase(object.get());
    }
    if (entryFor(objectLogger_, object, &LoggerEntry::root)) objectLogger_.erase(object.get());
}

void DZLoggingHierarchy::removeObject(const void* address) {
    const std::lock_guard lock(mutex_);
    if (const auto found = objectsRootLoggingObject_.find(address);
        found != objectsRootLoggingObject_.end() && found->second.object.expired()) {
        objectsRootLoggingObject_.erase(found);
    }
    if (const auto found = objectLogger_.find(address);
        found != objectLogger_.end() && found->second.root.expired()) {
        objectLogger_.erase(found);
    }
}

void DZLoggingHierarchy::removeLogger(std::string_view sawmillID) {
    const std::lock_guard lock(mutex_);
    std::erase_if(objectLogger_,
                  [sawmillID](const auto& entry) { return entry.second.sawmillID == sawmillID; });
}

}  // namespace ads
