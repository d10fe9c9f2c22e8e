// How much the engine proxy holds while bytes flow through it: an answer
// for a client that stops reading, request bodies many at once, a body
// that stalls and one announced over the bound. Clients and origins of the
// tests' own on loopback sockets, so that a test sees what was sent and
// what was read.

#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "EngineProxyTesting.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "support/ManualClockScope.h"
#include "support/ResidentMemory.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyServer.h"

namespace {

using proxytesting::fetch;
using proxytesting::Reply;
using proxytesting::Request;

constexpr int kLimitMs = 20'000;

int loopbackSocket() {
    return socket(AF_INET, SOCK_STREAM, 0);
}

sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listener on a port of its own; port() tells which.
class Listener {
public:
    Listener() : fd_(loopbackSocket()) {
        sockaddr_in address = loopbackAddress(0);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 64), 0);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] int port() const { return port_; }
    // The next connection, or -1 after limitMs.
    [[nodiscard]] int accept(int limitMs) const {
        pollfd waiting{fd_, POLLIN, 0};
        return poll(&waiting, 1, limitMs) == 1 ? ::accept(fd_, nullptr, nullptr) : -1;
    }

private:
    int fd_;
    int port_ = 0;
};

// Reads what fd sends until the blank line that ends an answer's head, or
// until it closes or limitMs passes.
std::string readHead(int fd, int limitMs) {
    std::string head;
    char byte = 0;
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, limitMs) != 1 || recv(fd, &byte, 1, 0) != 1) break;
        head += byte;
    }
    return head;
}

class EngineProxyFlowService : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
        std::string error;
        proxy = web::EngineProxy::shared(&error);
        ASSERT_NE(proxy, nullptr) << error;
    }

    // A connection to the proxy that has sent request (its head and body
    // as given, the proxy's credentials added to the head).
    int sendToProxy(const std::string& head, const std::string& body = {}) {
        const int fd = loopbackSocket();
        sockaddr_in address = loopbackAddress(proxy->port());
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string credentials = proxy->user() + ":" + proxy->password();
        gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(credentials.data()),
                                         credentials.size());
        const std::string request =
            head + "Proxy-Authorization: Basic " + encoded + "\r\n\r\n" + body;
        g_free(encoded);
        EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), ssize_t(request.size()));
        return fd;
    }

    testsupport::ScopedEnvironment environment;
    web::EngineProxy* proxy = nullptr;
};

// A client that stops reading holds the origin back: the proxy takes no
// more than a little of the answer while the client has not read it, and
// goes on once the client does.
TEST_F(EngineProxyFlowService, AClientThatStopsReadingHoldsTheOriginBack) {
    Listener origin;
    std::atomic<std::int64_t> sent{0};
    std::atomic<int> originConnection{-1};
    std::thread server([&] {
        const int fd = origin.accept(kLimitMs);
        if (fd < 0) return;
        originConnection = fd;
        const int small = 64 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        (void)readHead(fd, kLimitMs);
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n";
        if (send(fd, head.data(), head.size(), MSG_NOSIGNAL) < 0) return;
        const std::string filler(64 * 1024, 'f');
        for (;;) {
            const ssize_t count = send(fd, filler.data(), filler.size(), MSG_NOSIGNAL);
            if (count <= 0) return;
            sent += count;
        }
    });

    const int client = sendToProxy(
        "GET http://127.0.0.1:" + std::to_string(origin.port()) +
        "/stream HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(origin.port()) + "\r\n");
    const int small = 64 * 1024;
    setsockopt(client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::int64_t received = 0;
    const auto readUpTo = [&](std::int64_t bytes) {
        std::vector<char> buffer(64 * 1024);
        while (received < bytes) {
            pollfd readable{client, POLLIN, 0};
            if (poll(&readable, 1, kLimitMs) != 1) return false;
            const ssize_t count = recv(client, buffer.data(), buffer.size(), 0);
            if (count <= 0) return false;
            received += count;
        }
        return true;
    };
    ASSERT_TRUE(readUpTo(std::int64_t(1) << 20));

    // What the proxy may hold besides the sockets' buffers is small; an
    // unread answer that kept coming would pass this at once.
    constexpr std::int64_t kFarMore = std::int64_t(96) << 20;
    EXPECT_FALSE(core::RunLoop::main().runUntil([&] { return sent >= kFarMore; }, 5))
        << sent << " bytes sent for a client that read " << received;

    EXPECT_TRUE(readUpTo(kFarMore + (std::int64_t(32) << 20)));
    EXPECT_GT(sent, kFarMore);
    close(client);
    if (originConnection >= 0) shutdown(originConnection, SHUT_RDWR);
    server.join();
    if (originConnection >= 0) close(originConnection);
}

// Many large bodies at once, to an origin that never answers: the proxy
// holds no more of them than its budget, and refuses the others at once.
TEST_F(EngineProxyFlowService, LargeBodiesToASilentOriginStayWithinTheBudget) {
    testsupport::ManualClockScope clock;
    Listener origin;
    // Connections the proxy made to the origin, held unread.
    std::vector<int> taken;
    std::atomic<size_t> connections{0};
    std::atomic<bool> stop{false};
    std::thread server([&] {
        while (!stop) {
            const int fd = origin.accept(100);
            if (fd < 0) continue;
            taken.push_back(fd);
            ++connections;
        }
    });

    constexpr size_t kPosts = 12;
    constexpr std::int64_t kBodyBytes = std::int64_t(60) << 20;
    const size_t fitting = size_t(web::proxy::BodyBudget::kBytes / kBodyBytes);
    const std::int64_t before = testsupport::residentBytes();
    std::atomic<std::int64_t> most{before};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            const std::int64_t now = testsupport::residentBytes();
            if (now > most) most = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::vector<Reply> replies(kPosts);
    std::vector<std::thread> clients;
    std::atomic<size_t> answered{0};
    for (size_t i = 0; i < kPosts; ++i) {
        clients.emplace_back([&, i] {
            Request post;
            post.method = "POST";
            post.fillerBytes = kBodyBytes;
            post.timeoutMs = 60'000;
            replies[i] = fetch(*proxy,
                               "http://127.0.0.1:" + std::to_string(origin.port()) + "/upload/" +
                                   std::to_string(i),
                               post);
            ++answered;
        });
    }
    // The bodies that fit went on whole; the others were answered.
    EXPECT_TRUE(core::RunLoop::main().runUntil(
        [&] { return answered == kPosts - fitting && connections == fitting; }, 60));
    sampling = false;
    sampler.join();
    if (testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(most - before, std::int64_t(256) << 20)
            << "resident size grew from " << before << " to " << most << " bytes";
    }

    // The silent origin's loads fail at the idle limit, and give back
    // what they held.
    clock.advance(web::proxy::Exchange::kIdleSeconds + 1);
    for (auto& client : clients) client.join();
    size_t refused = 0;
    size_t failed = 0;
    for (const Reply& reply : replies) {
        refused += reply.status == 503;
        // A failed load: no answer but the interim "100 Continue".
        failed += reply.code != CURLE_OK && reply.status < 200;
    }
    EXPECT_EQ(refused, kPosts - fitting);
    EXPECT_EQ(failed, fitting);
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
    stop = true;
    server.join();
    EXPECT_EQ(connections, fitting);
    for (const int fd : taken) close(fd);
}

// A body announced over the bound is refused before any of it is read; a
// body that stalls loses its connection once it has sent nothing for the
// limit, however long it took before.
TEST_F(EngineProxyFlowService, RequestBodiesOverTheBoundOrStalledAreRefused) {
    testsupport::ManualClockScope clock;
    const std::string target = "http://127.0.0.1:9/upload";
    const int announced =
        sendToProxy("POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:9\r\nContent-Length: " +
                        std::to_string(web::proxy::kMostRequestBodyBytes + 1) + "\r\n",
                    "only the start");
    EXPECT_TRUE(readHead(announced, kLimitMs).starts_with("HTTP/1.1 413"));
    close(announced);

    const int stalled = sendToProxy(
        "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:9\r\nContent-Length: 10\r\n", "a");
    const auto stillOpen = [&] {
        pollfd waiting{stalled, POLLIN, 0};
        return poll(&waiting, 1, 200) == 0;
    };
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.2);
    clock.advance(web::proxy::kBodyIdleSeconds - 1);
    EXPECT_TRUE(stillOpen());
    ASSERT_EQ(send(stalled, "b", 1, MSG_NOSIGNAL), 1);
    EXPECT_TRUE(stillOpen());
    clock.advance(web::proxy::kBodyIdleSeconds - 1);
    EXPECT_TRUE(stillOpen());
    clock.advance(2);
    pollfd closing{stalled, POLLIN, 0};
    ASSERT_EQ(poll(&closing, 1, kLimitMs), 1);
    char byte = 0;
    EXPECT_LE(recv(stalled, &byte, 1, 0), 0);
    close(stalled);
}

}  // namespace
