#pragma once
// What a socket address a connection is about to be made to names, read
// from the address itself whatever name or textual form led to it (a
// resolver's answer, an IPv4-mapped IPv6 address, a number).
//
// Pure functions, any thread.

#include <sys/socket.h>

#include <string>

namespace core {

// Whether connecting to the address reaches this machine through its
// loopback interface: a loopback address (127.0.0.0/8, ::1, and
// ::ffff:127.0.0.0/104) or an unspecified one (0.0.0.0, ::, ::ffff:0.0.0.0),
// which the system connects to the machine itself. False for any other
// address or family.
[[nodiscard]] bool isLoopbackOrUnspecified(const sockaddr* address);
// The port of an IPv4 or IPv6 address; 0 for any other family.
[[nodiscard]] int portOf(const sockaddr* address);
// "127.0.0.1:80", "[::1]:80"; "?" for another family.
[[nodiscard]] std::string describeAddress(const sockaddr* address);

}  // namespace core
