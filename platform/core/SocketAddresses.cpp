#include "core/SocketAddresses.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>

namespace core {

namespace {

bool isLocalIPv4(const std::uint8_t* bytes) {
    return bytes[0] == 127 || (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0);
}

}  // namespace

bool isLoopbackOrUnspecified(const sockaddr* address) {
    if (!address) return false;
    if (address->sa_family == AF_INET) {
        const auto& inet = *reinterpret_cast<const sockaddr_in*>(address);
        return isLocalIPv4(reinterpret_cast<const std::uint8_t*>(&inet.sin_addr.s_addr));
    }
    if (address->sa_family != AF_INET6) return false;
    const auto& inet6 = *reinterpret_cast<const sockaddr_in6*>(address);
    const std::uint8_t* bytes = inet6.sin6_addr.s6_addr;
    static constexpr std::uint8_t kZeros[16] = {};
    // ::1 and ::
    if (std::memcmp(bytes, kZeros, 15) == 0 && (bytes[15] == 0 || bytes[15] == 1)) return true;
    // ::ffff:a.b.c.d
    static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::memcmp(bytes, kMapped, 12) == 0 && isLocalIPv4(bytes + 12);
}

int portOf(const sockaddr* address) {
    if (!address) return 0;
    if (address->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
    if (address->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    return 0;
}

std::string describeAddress(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address && address->sa_family == AF_INET &&
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text))
        return std::string(text) + ":" + std::to_string(portOf(address));
    if (address && address->sa_family == AF_INET6 &&
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text))
        return "[" + std::string(text) + "]:" + std::to_string(portOf(address));
    return "?";
}

}  // namespace core
