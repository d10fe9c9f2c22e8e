#pragma once
// Watches that a run keeps to this machine. Once watching, every request
// the URL layer sends (each hop of a redirect counts) to a host that is not
// on this machine is counted under its host. On this machine are the
// loopback addresses (127.0.0.0/8, ::1), "localhost" and the names under
// ".localhost", and hosts a HostRoutes route sends to one of those. The
// first request to each host is logged on the console and told to the
// observer, on the thread that sends it (the network thread).
//
// Nothing is refused: the watch only says what left the machine.
// Thread-safe.

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/URL.h"

namespace core {

class OffMachineRequests {
public:
    using Observer = std::function<void(const std::string& host)>;

    // Starts watching (again), forgetting what was counted.
    static void watch(Observer firstToHost = nullptr);
    static void stopWatching();
    [[nodiscard]] static bool watching();

    // Counts the URL's request when it leaves the machine while watching.
    static void note(const URL& url);

    // Requests per host since watching began.
    [[nodiscard]] static std::map<std::string, size_t> hosts();
    [[nodiscard]] static size_t count();

    // Whether a host (as a URL names it, IP literals without brackets) is
    // on this machine, routes included.
    [[nodiscard]] static bool isOnThisMachine(std::string_view host, int port);
};

}  // namespace core
