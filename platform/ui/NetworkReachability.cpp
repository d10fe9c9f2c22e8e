#include "ui/NetworkReachability.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>

#include "ui/DeviceProfile.h"

namespace ui {

namespace {

struct Registry {
    std::mutex mutex;
    NetworkReachability::FlagsSource source;
    std::vector<std::weak_ptr<NetworkReachability>> scheduled;
};

Registry& registry() {
    static Registry* const shared = new Registry;
    return *shared;
}

}  // namespace

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(std::string hostName) {
    if (hostName.empty()) return nullptr;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(hostName)));
}

NetworkReachability::NetworkReachability(std::string hostName) : hostName_(std::move(hostName)) {}

NetworkReachability::~NetworkReachability() = default;

std::vector<NetworkInterface> NetworkReachability::systemInterfaces() {
    std::vector<NetworkInterface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name) continue;
        auto found = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const auto& known) { return known.name == entry->ifa_name; });
        if (found == interfaces.end()) {
            interfaces.push_back({entry->ifa_name, false, false, false});
            found = interfaces.end() - 1;
        }
        found->up = found->up || (entry->ifa_flags & IFF_UP);
        found->loopback = found->loopback || (entry->ifa_flags & IFF_LOOPBACK);
        const int family = entry->ifa_addr ? entry->ifa_addr->sa_family : AF_UNSPEC;
        found->hasInternetAddress =
            found->hasInternetAddress || family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return interfaces;
}

std::uint32_t NetworkReachability::flagsFor(const std::vector<NetworkInterface>& interfaces,
                                            const core::Value& networkSection) {
    const std::string connection = networkSection["connection"].stringValue();
    if (connection == "none") return 0;
    const bool linked = std::any_of(interfaces.begin(), interfaces.end(), [](const auto& each) {
        return each.up && !each.loopback && each.hasInternetAddress;
    });
    if (!linked) return 0;
    std::uint32_t flags = kReachabilityFlagReachable;
    if (connection == "cellular")
        flags |= kReachabilityFlagIsWWAN | kReachabilityFlagTransientConnection;
    return flags;
}

std::uint32_t NetworkReachability::currentFlags(const std::string& hostName) {
    FlagsSource source;
    {
        std::lock_guard lock(registry().mutex);
        source = registry().source;
    }
    if (source) return source(hostName);
    return flagsFor(systemInterfaces(), DeviceProfile::current().raw["network"]);
}

NetworkReachability::FlagsSource NetworkReachability::setFlagsSourceForTesting(FlagsSource source) {
    FlagsSource previous;
    {
        std::lock_guard lock(registry().mutex);
        previous = std::exchange(registry().source, std::move(source));
    }
    checkAllScheduled();
    return previous;
}

void NetworkReachability::checkAllScheduled() {
    std::vector<std::shared_ptr<NetworkReachability>> targets;
    {
        std::lock_guard lock(registry().mutex);
        auto& scheduled = registry().scheduled;
        std::erase_if(scheduled, [](const auto& weak) { return weak.expired(); });
        for (const auto& weak : scheduled) {
            if (auto target = weak.lock()) targets.push_back(std::move(target));
        }
    }
    for (const auto& target : targets) {
        std::shared_ptr<core::Queue> queue;
        {
            std::lock_guard lock(target->mutex_);
            queue = target->queue_;
        }
        if (queue)
            queue->async([weak = std::weak_ptr(target)] {
                if (auto alive = weak.lock()) alive->check();
            });
    }
}

bool NetworkReachability::setCallback(Callback callback) {
    if (!callback) return false;
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    return true;
}

bool NetworkReachability::scheduleOnQueue(std::shared_ptr<core::Queue> queue) {
    if (!queue) return false;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (queue_) return false;
        queue_ = queue;
        reported_.reset();
        generation = ++generation_;
    }
    {
        std::lock_guard lock(registry().mutex);
        registry().scheduled.push_back(weak_from_this());
    }
    queue->async([weak = weak_from_this(), generation] {
        if (auto self = weak.lock()) {
            self->check();
            self->scheduleNextPoll(generation);
        }
    });
    return true;
}

void NetworkReachability::unschedule() {
    {
        std::lock_guard lock(mutex_);
        queue_.reset();
        ++generation_;
    }
    std::lock_guard lock(registry().mutex);
    std::erase_if(registry().scheduled, [this](const auto& weak) {
        const auto target = weak.lock();
        return !target || target.get() == this;
    });
}

void NetworkReachability::scheduleNextPoll(std::uint64_t generation) {
    std::shared_ptr<core::Queue> queue;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) return;
        queue = queue_;
    }
    if (!queue) return;
    queue->after(kPollSeconds, [weak = weak_from_this(), generation] {
        auto self = weak.lock();
        if (!self) return;
        {
            std::lock_guard lock(self->mutex_);
            if (generation != self->generation_) return;
        }
        self->check();
        self->scheduleNextPoll(generation);
    });
}

void NetworkReachability::check() {
    const std::uint32_t flags = currentFlags(hostName_);
    Callback callback;
    {
        std::lock_guard lock(mutex_);
        if (!queue_ || !callback_ || reported_ == flags) return;
        reported_ = flags;
        callback = callback_;
    }
    callback(flags);
}

}  // namespace ui
