#pragma once
// Whether the engine would start pages' web processes outside its sandbox,
// or its sandboxing would leave the machine so for later runs, in this
// environment. The engine takes a "/.flatpak-info" as the sign that it runs
// in a Flatpak sandbox already, and then starts web processes without one
// of its own when it cannot ask Flatpak for one. And it runs its
// session-bus proxy in a sandbox that binds the folder of the bus's socket
// writable: with the socket directly in the root folder that folder is the
// machine's own, and the proxy's "/.flatpak-info" is made in it (as root),
// empty, for good. Web views refuse to start in either case, and when the
// environment switches the engine's sandbox off. (A web process that runs
// outside the sandbox all the same ends itself: WebProcessProtocol.h.)
// Pure, any thread.

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace web {

// The reason web views must not start here, or nullopt. rootFolder is the
// machine's root folder ("/", another in tests); environment reads a
// variable (nullptr when unset).
[[nodiscard]] std::optional<std::string>
sandboxHazard(const std::string& rootFolder = "/",
              const std::function<const char*(const char*)>& environment = std::getenv);

}  // namespace web
