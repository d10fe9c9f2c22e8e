#pragma once
// The process-wide registry through which every object of an ad load cycle
// finds the cycle's event log: each object maps to a root object, each root
// object to its DZSawmillLogger. Nothing here owns objects or loggers.
//
// Identity: an object is its shared_ptr's owner, never only its address, so
// an entry left by an object that has gone can never be taken for a new
// object that happens to get the same address; such entries read as absent.
// Loggers are identified by their sawmill id.
//
// Threading: any thread. The maps are guarded by one lock, so a lookup made
// after a link or removal from the same thread sees it. The change
// notification is posted on the thread that called setLogger().

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ads {

class DZSawmillLogger;

inline constexpr std::string_view DZLoggingHierarchyRootObjectLoggerDidChangeNotification =
    "DZLoggingHierarchyRootObjectLoggerDidChangeNotification";

class DZLoggingHierarchy {
public:
    using Object = std::shared_ptr<const void>;

    [[nodiscard]] static std::shared_ptr<DZLoggingHierarchy> sharedInstance();
    DZLoggingHierarchy() = default;
    DZLoggingHierarchy(const DZLoggingHierarchy&) = delete;
    DZLoggingHierarchy& operator=(const DZLoggingHierarchy&) = delete;

    // Binds the logger to the root (no logger removes the binding), makes
    // the root its own root, then posts the change notification with the
    // root's address as its object. Nothing for no root.
    void setLogger(const std::shared_ptr<DZSawmillLogger>& logger, const Object& rootObject);
    // The logger of the object's root; nullptr when either is missing.
    [[nodiscard]] std::shared_ptr<DZSawmillLogger> loggerForObject(const Object& object) const;
    [[nodiscard]] Object rootObjectForObject(const Object& object) const;
    // Gives every child the parent's root; nothing when the parent has none.
    void linkObject(const Object& parent, const std::vector<Object>& children);
    // Forgets the object as an object and as a root.
    void removeObject(const Object& object);
    // The same from the object's destructor: forgets the entries at that
    // address whose object has gone (entries of a live object stay).
    void removeObject(const void* address);
    // Drops every root binding to the logger with that id.
    void removeLogger(std::string_view sawmillID);

private:
    struct RootEntry {
        std::weak_ptr<const void> object;
        std::weak_ptr<const void> root;
    };
    struct LoggerEntry {
        std::weak_ptr<const void> root;
        std::weak_ptr<DZSawmillLogger> logger;
        std::string sawmillID;
    };

    // The entry at the object's address when it belongs to that object;
    // stale entries are dropped on the way.
    template <typename Entry>
    [[nodiscard]] static Entry* entryFor(std::unordered_map<const void*, Entry>& map,
                                         const Object& object,
                                         const std::weak_ptr<const void> Entry::*owner);
    [[nodiscard]] Object rootLocked(const Object& object) const;

    mutable std::mutex mutex_;
    mutable std::unordered_map<const void*, RootEntry> objectsRootLoggingObject_;
    mutable std::unordered_map<const void*, LoggerEntry> objectLogger_;
};

}  // namespace ads
