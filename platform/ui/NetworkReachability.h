#pragma once
// Whether a host can be reached, and over what kind of link, as 32-bit
// reachability flags. On Linux the answer comes from the machine's network
// interfaces: an interface that is up, is not loopback and has an IPv4 or
// IPv6 address makes every host reachable; the device profile's
// "network"."connection" ("wifi", the default, "cellular" or "none") says
// whether that link counts as cellular, or forces "not reachable".
//
// A target, once scheduled on a queue, reports its flags to its callback on
// that queue: once right away, then whenever a check finds them changed. Checks
// run every kPollSeconds on the current clock and whenever the flags source
// is replaced. Members are safe from any thread; the callback runs on the
// scheduled queue only.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Queue.h"
#include "core/Value.h"

namespace ui {

enum ReachabilityFlag : std::uint32_t {
    kReachabilityFlagTransientConnection = 1u << 0,
    kReachabilityFlagReachable = 1u << 1,
    kReachabilityFlagConnectionRequired = 1u << 2,
    kReachabilityFlagIsLocalAddress = 1u << 16,
    kReachabilityFlagIsDirect = 1u << 17,
    kReachabilityFlagIsWWAN = 1u << 18,
};

struct NetworkInterface {
    std::string name;
    bool up = false;
    bool loopback = false;
    bool hasInternetAddress = false;
};

class NetworkReachability : public std::enable_shared_from_this<NetworkReachability> {
public:
    using Callback = std::function<void(std::uint32_t flags)>;
    using FlagsSource = std::function<std::uint32_t(const std::string& hostName)>;

    static constexpr double kPollSeconds = 5;

    // nullptr for an empty host name.
    [[nodiscard]] static std::shared_ptr<NetworkReachability> createWithName(std::string hostName);

    // The flags for host now, from the flags source in effect.
    [[nodiscard]] static std::uint32_t currentFlags(const std::string& hostName);
    // The machine's interfaces (getifaddrs); empty when they cannot be read.
    [[nodiscard]] static std::vector<NetworkInterface> systemInterfaces();
    // Flags from interfaces and a profile's "network" section.
    [[nodiscard]] static std::uint32_t flagsFor(const std::vector<NetworkInterface>& interfaces,
                                                const core::Value& networkSection);

    // Replaces where flags come from (an empty function restores the real
    // interfaces) and has every scheduled target check at once. Answers the
    // previous source.
    static FlagsSource setFlagsSourceForTesting(FlagsSource source);

    [[nodiscard]] const std::string& hostName() const { return hostName_; }
    // False (and nothing changed) for an empty callback.
    [[nodiscard]] bool setCallback(Callback callback);
    // False when already scheduled or queue is null.
    [[nodiscard]] bool scheduleOnQueue(std::shared_ptr<core::Queue> queue);
    void unschedule();

    ~NetworkReachability();
    NetworkReachability(const NetworkReachability&) = delete;
    NetworkReachability& operator=(const NetworkReachability&) = delete;

private:
    explicit NetworkReachability(std::string hostName);

    void check();
    void scheduleNextPoll(std::uint64_t generation);
    static void checkAllScheduled();

    const std::string hostName_;
    mutable std::mutex mutex_;
    Callback callback_;
    std::shared_ptr<core::Queue> queue_;
    std::optional<std::uint32_t> reported_;
    std::uint64_t generation_ = 0;  // bumped by every schedule and unschedule
};

}  // namespace ui
