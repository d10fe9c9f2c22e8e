#include "web/EngineSandbox.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

namespace web {

namespace {

namespace fs = std::filesystem;

// The engine's switch for starting web processes without its sandbox.
constexpr const char* kSandboxOffVariable = "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS";

// The bus addresses the engine gives its processes a proxy of.
constexpr const char* kBusVariables[] = {"DBUS_SESSION_BUS_ADDRESS", "WEBKIT_A11Y_BUS_ADDRESS",
                                         "AT_SPI_BUS_ADDRESS"};

// The socket paths of an address's "unix:" entries ("unix:path=/run/bus,
// guid=...;unix:abstract=..."), each as written (escapes are rare in paths
// and would only name a folder other than the root).
std::vector<std::string> socketPaths(std::string_view address) {
    std::vector<std::string> paths;
    while (!address.empty()) {
        const size_t end = address.find(';');
        std::string_view entry = address.substr(0, end);
        address = end == std::string_view::npos ? std::string_view() : address.substr(end + 1);
        if (!entry.starts_with("unix:")) continue;
        entry.remove_prefix(5);
        while (!entry.empty()) {
            const size_t comma = entry.find(',');
            const std::string_view pair = entry.substr(0, comma);
            entry = comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1);
            if (pair.starts_with("path=")) paths.emplace_back(pair.substr(5));
        }
    }
    return paths;
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ignored;
    return fs::weakly_canonical(a, ignored) == fs::weakly_canonical(b, ignored);
}

}  // namespace

std::optional<std::string>
sandboxHazard(const std::string& rootFolder,
              const std::function<const char*(const char*)>& environment) {
    const fs::path root(rootFolder);
    std::error_code ignored;
    const fs::path flatpakInfo = root / ".flatpak-info";
    if (fs::exists(fs::symlink_status(flatpakInfo, ignored)))
        return "web views: " + flatpakInfo.string() +
               " is present, so the engine would start pages without their sandbox; none is "
               "started (the file is a leftover: remove it)";
    if (const char* off = environment(kSandboxOffVariable);
        off && *off && std::string_view(off) != "0")
        return std::string("web views: ") + kSandboxOffVariable +
               " is set, so the engine would start pages without their sandbox; none is started";
    for (const char* variable : kBusVariables) {
        const char* address = environment(variable);
        if (!address) continue;
        for (const std::string& path : socketPaths(address)) {
            const fs::path socket = fs::path(path).lexically_normal();
            if (socket.is_absolute() &&
                sameFolder((root / socket.relative_path()).parent_path(), root))
                return std::string("web views: ") + variable +
                       " names a socket in the root folder (" + address +
                       "), which the engine's sandbox would take in writable; none is "
                       "started";
        }
    }
    return std::nullopt;
}

}  // namespace web
