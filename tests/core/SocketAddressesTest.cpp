#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include "core/SocketAddresses.h"

namespace {

// The socket address of an IPv4 or IPv6 literal and a port.
sockaddr_storage addressOf(const char* literal, int port) {
    sockaddr_storage storage{};
    auto* inet = reinterpret_cast<sockaddr_in*>(&storage);
    auto* inet6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, literal, &inet->sin_addr) == 1) {
        inet->sin_family = AF_INET;
        inet->sin_port = htons(std::uint16_t(port));
    } else {
        EXPECT_EQ(inet_pton(AF_INET6, literal, &inet6->sin6_addr), 1) << literal;
        inet6->sin6_family = AF_INET6;
        inet6->sin6_port = htons(std::uint16_t(port));
    }
    return storage;
}

TEST(SocketAddressesTest, LoopbackAndUnspecifiedAddressesInEveryFormReachThisMachine) {
    for (const char* local : {"127.0.0.1", "127.255.0.9", "0.0.0.0", "::1",
                              "::", "::ffff:127.0.0.1", "::ffff:127.1.2.3", "::ffff:0.0.0.0"}) {
        const auto address = addressOf(local, 8080);
        const auto* native = reinterpret_cast<const sockaddr*>(&address);
        EXPECT_TRUE(core::isLoopbackOrUnspecified(native)) << local;
        EXPECT_EQ(core::portOf(native), 8080) << local;
    }
    for (const char* remote : {"128.0.0.1", "10.0.0.1", "126.255.255.255", "::2", "fe80::1",
                               "::ffff:10.0.0.1", "::127.0.0.1", "64:ff9b::7f00:1"}) {
        const auto address = addressOf(remote, 80);
        EXPECT_FALSE(core::isLoopbackOrUnspecified(reinterpret_cast<const sockaddr*>(&address)))
            << remote;
    }
    const auto mapped = addressOf("::ffff:127.0.0.1", 443);
    EXPECT_EQ(core::describeAddress(reinterpret_cast<const sockaddr*>(&mapped)),
              "[::ffff:127.0.0.1]:443");
}

}  // namespace
