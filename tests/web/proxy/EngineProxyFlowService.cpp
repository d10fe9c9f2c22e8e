// How much the engine proxy holds while bytes flow through it: an answer
// for a client that stops reading, a request body longer than the budget,
// request bodies many at once, and bodies that stall. Clients and origins of the
// tests' own on loopback sockets, so that a test sees what was sent and
// what was read.

#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "EngineProxyTesting.h"
#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "support/ManualClockScope.h"
#include "support/ResidentMemory.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyGuards.h"
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

class EngineProxyFlowService : public proxytesting::ProxyTest {
protected:
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
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        if (!server.joinable()) return;
        close(client);
        if (originConnection >= 0) shutdown(originConnection, SHUT_RDWR);
        server.join();
        if (originConnection >= 0) close(originConnection);
    });
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

// Bytes of a body whose every byte the origin can check: byte i of the body
// is patternByte(i), with a period far longer than any buffer.
char patternByte(std::int64_t offset) {
    return char((std::uint64_t(offset) * 2654435761u) >> 13);
}

std::string patternPiece(std::int64_t offset, size_t size) {
    std::string piece(size, '\0');
    for (size_t i = 0; i < size; ++i) piece[i] = patternByte(offset + std::int64_t(i));
    return piece;
}

// Writes the pattern's bytes from offset on to fd, as fast as the other end
// takes them, until size or until none went for quietSeconds; where it got.
std::int64_t writeBody(int fd, std::int64_t offset, std::int64_t size, double quietSeconds) {
    using Clock = std::chrono::steady_clock;
    for (auto lastWrite = Clock::now();
         offset < size && Clock::now() - lastWrite < std::chrono::duration<double>(quietSeconds);) {
        pollfd writable{fd, POLLOUT, 0};
        if (poll(&writable, 1, 50) != 1) continue;
        const std::string piece =
            patternPiece(offset, size_t(std::min<std::int64_t>(size - offset, 65536)));
        const ssize_t count = send(fd, piece.data(), piece.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno != EAGAIN) break;
        if (count > 0) {
            offset += count;
            lastWrite = Clock::now();
        }
    }
    return offset;
}

// An origin of one request whose body it reads, when let, and checks byte
// for byte against the pattern; it answers 200 once the body is whole.
class CheckingOrigin {
public:
    explicit CheckingOrigin(std::int64_t size)
        : thread_([this, size] {
              fd_ = listener_.accept(kLimitMs);
              if (fd_ < 0) return;
              head_ = readHead(fd_, kLimitMs);
              std::vector<char> buffer(256 * 1024);
              while (arrived_ < size) {
                  if (!reading_) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(10));
                      continue;
                  }
                  pollfd readable{fd_, POLLIN, 0};
                  if (poll(&readable, 1, kLimitMs) != 1) return;
                  const ssize_t count = recv(fd_, buffer.data(), buffer.size(), 0);
                  if (count <= 0) break;
                  for (ssize_t i = 0; i < count; ++i)
                      intact_ = intact_ && buffer[size_t(i)] == patternByte(arrived_ + i);
                  arrived_ += count;
              }
              ended_ = true;
              if (arrived_ == size) {
                  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
                  (void)send(fd_, answer.data(), answer.size(), MSG_NOSIGNAL);
              }
          }) {}
    ~CheckingOrigin() {
        reading_ = true;
        if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
        thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    CheckingOrigin(const CheckingOrigin&) = delete;
    CheckingOrigin& operator=(const CheckingOrigin&) = delete;

    [[nodiscard]] int port() const { return listener_.port(); }
    void read() { reading_ = true; }
    // The request's head, once the body stopped.
    [[nodiscard]] std::string head() const { return ended_ ? head_ : ""; }
    [[nodiscard]] std::int64_t arrived() const { return arrived_; }
    // The body stopped: whole, or its connection ended.
    [[nodiscard]] bool ended() const { return ended_; }
    [[nodiscard]] bool intact() const { return intact_; }

private:
    Listener listener_;
    std::atomic<int> fd_{-1};
    std::string head_;
    std::atomic<bool> reading_{false};
    std::atomic<std::int64_t> arrived_{0};
    std::atomic<bool> intact_{true};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

// The most the proxy holds of one body: its bound, and the read that
// passed it.
constexpr std::int64_t kMostHeldOfABody = web::proxy::kMostHeldBodyBytes + 64 * 1024;

// A body longer than the whole budget goes through whole, the proxy holding
// no more of it than its bound at any time: while the origin reads nothing,
// the proxy stops reading the client (however long that lasts, it is no
// stall of the client's), and once the origin reads, all of it flows.
TEST_F(EngineProxyFlowService, ABodyLongerThanTheBudgetGoesOnAsItComes) {
    testsupport::ManualClockScope clock;
    constexpr std::int64_t kBodyBytes = web::proxy::BodyBudget::kBytes + (std::int64_t(32) << 20);
    CheckingOrigin origin(kBodyBytes);
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const int client =
        sendToProxy("PUT http://" + authority + "/upload HTTP/1.1\r\nHost: " + authority +
                    "\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n");
    std::atomic<std::int64_t> mostHeld{0};
    std::atomic<std::int64_t> mostResident{testsupport::residentBytes()};
    const std::int64_t residentBefore = mostResident;
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            mostHeld = std::max<std::int64_t>(mostHeld, web::proxy::BodyBudget::used());
            mostResident = std::max(mostResident.load(), testsupport::residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    // The client is held back by what the sockets' buffers take.
    const std::int64_t held = writeBody(client, 0, kBodyBytes, 1);
    EXPECT_LT(held, std::int64_t(64) << 20);
    clock.advance(3 * web::proxy::kBodyIdleSeconds);
    pollfd open{client, POLLIN, 0};
    EXPECT_EQ(poll(&open, 1, 500), 0) << "the client's connection ended while it waited";
    origin.read();
    EXPECT_EQ(writeBody(client, held, kBodyBytes, kLimitMs / 1000.0), kBodyBytes);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return origin.ended(); }, 120));
    sampling = false;
    sampler.join();
    EXPECT_EQ(origin.arrived(), kBodyBytes);
    EXPECT_TRUE(origin.intact());
    EXPECT_NE(origin.head().find("Content-Length: " + std::to_string(kBodyBytes) + "\r\n"),
              std::string::npos)
        << origin.head();
    EXPECT_TRUE(readHead(client, kLimitMs).starts_with("HTTP/1.1 200"));
    EXPECT_LE(mostHeld, kMostHeldOfABody);
    if (testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(mostResident - residentBefore, std::int64_t(48) << 20)
            << "resident size grew from " << residentBefore << " to " << mostResident;
    }
    RecordProperty("residentGrowthKiB", std::to_string((mostResident - residentBefore) >> 10));
    close(client);
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
}

// A client that hangs up midway through its body ends the onward load, so
// that the origin never takes the body for whole. (While the proxy waits
// for the origin to take what it holds, the hang-up waits behind the bytes
// TCP still holds for it, and is heard once reading goes on.)
TEST_F(EngineProxyFlowService, AClientThatHangsUpMidBodyEndsItsLoad) {
    constexpr std::int64_t kBodyBytes = std::int64_t(1) << 30;
    CheckingOrigin origin(kBodyBytes);
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const int client =
        sendToProxy("PUT http://" + authority + "/upload HTTP/1.1\r\nHost: " + authority +
                    "\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n");
    ASSERT_LT(writeBody(client, 0, kBodyBytes, 1), kBodyBytes);
    close(client);
    origin.read();
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return origin.ended(); }, 20));
    EXPECT_LT(origin.arrived(), kBodyBytes);
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
}

// Many large bodies at once, to an origin that takes its connections and
// reads nothing: the proxy holds little of each (those that wait for one
// of libcurl's connections to the host too).
TEST_F(EngineProxyFlowService, LargeBodiesToASilentOriginHoldLittleEach) {
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
            post.headers = {"Content-Type: application/octet-stream"};
            post.timeoutMs = 120'000;
            replies[i] = fetch(*proxy,
                               "http://127.0.0.1:" + std::to_string(origin.port()) + "/upload/" +
                                   std::to_string(i),
                               post);
            ++answered;
        });
    }
    EXPECT_TRUE(core::RunLoop::main().runUntil(
        [&] { return connections >= size_t(core::NetworkThread::kMaximumHostConnections); }, 20));
    // Those still waiting for a connection hold their whole share; those
    // whose start went onward, at least a streamed body's.
    const auto connected = std::int64_t(core::NetworkThread::kMaximumHostConnections);
    EXPECT_TRUE(core::RunLoop::main().runUntil(
        [&] {
            return web::proxy::BodyBudget::used() >=
                   (std::int64_t(kPosts) - connected) * web::proxy::kMostHeldBodyBytes +
                       connected * web::proxy::kStreamedBodyShare;
        },
        20));
    // Each holds what its bound lets it, and no more.
    (void)core::RunLoop::main().runUntil([] { return false; }, 1);
    EXPECT_LE(web::proxy::BodyBudget::used(), std::int64_t(kPosts) * kMostHeldOfABody);
    EXPECT_EQ(answered, 0u);
    sampling = false;
    sampler.join();
    if (testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(most - before, std::int64_t(96) << 20)
            << "resident size grew from " << before << " to " << most << " bytes";
    }

    // The silent origin's loads fail at the idle limit, and give back
    // what they held.
    clock.advance(web::proxy::Exchange::kIdleSeconds + 1);
    for (auto& client : clients) client.join();
    // Each fails: no answer but the interim "100 Continue".
    for (const Reply& reply : replies)
        EXPECT_TRUE(reply.code != CURLE_OK && reply.status < 200) << reply.status;
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
    stop = true;
    server.join();
    for (const int fd : taken) close(fd);
}

// A body that stalls loses its connection once it has sent nothing for the
// limit, however long it took before, whether it is gathered whole or goes
// on as it comes; the origin never gets it as if whole.
TEST_F(EngineProxyFlowService, StalledBodiesEndAtTheirDeadline) {
    testsupport::ManualClockScope clock;
    const auto stillOpen = [](int fd) {
        pollfd waiting{fd, POLLIN, 0};
        return poll(&waiting, 1, 200) == 0;
    };
    const std::string target = "http://127.0.0.1:9/upload";
    // (Its 100 Continue says the proxy took the head and reads the body: on
    // a busy machine the proxy's thread may come to it late.)
    const int stalled = sendToProxy("POST " + target +
                                        " HTTP/1.1\r\nHost: 127.0.0.1:9\r\nContent-Length: "
                                        "10\r\nExpect: 100-continue\r\n",
                                    "a");
    ASSERT_EQ(readHead(stalled, kLimitMs), "HTTP/1.1 100 Continue\r\n\r\n");
    clock.advance(web::proxy::kBodyIdleSeconds - 1);
    EXPECT_TRUE(stillOpen(stalled));
    ASSERT_EQ(send(stalled, "b", 1, MSG_NOSIGNAL), 1);
    EXPECT_TRUE(stillOpen(stalled));
    clock.advance(web::proxy::kBodyIdleSeconds - 1);
    EXPECT_TRUE(stillOpen(stalled));
    clock.advance(2);
    pollfd closing{stalled, POLLIN, 0};
    ASSERT_EQ(poll(&closing, 1, kLimitMs), 1);
    char byte = 0;
    EXPECT_LE(recv(stalled, &byte, 1, 0), 0);
    close(stalled);

    // Past what the proxy gathers, on its way to an origin that reads it.
    constexpr std::int64_t kBodyBytes = std::int64_t(10) << 20;
    constexpr std::int64_t kSentBytes = std::int64_t(3) << 20;
    CheckingOrigin origin(kBodyBytes);
    origin.read();
    const std::string authority = "127.0.0.1:" + std::to_string(origin.port());
    const int midway =
        sendToProxy("POST http://" + authority + "/upload HTTP/1.1\r\nHost: " + authority +
                        "\r\nContent-Length: " + std::to_string(kBodyBytes) + "\r\n",
                    patternPiece(0, size_t(kSentBytes)));
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return origin.arrived() == kSentBytes; }, 20));
    // One byte more reaches the origin once the proxy reads again, that is
    // once it heard that the onward load took what it held; then the body
    // stalls.
    ASSERT_EQ(send(midway, patternPiece(kSentBytes, 1).data(), 1, MSG_NOSIGNAL), 1);
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return origin.arrived() == kSentBytes + 1; }, 20));
    clock.advance(web::proxy::kBodyIdleSeconds - 1);
    EXPECT_TRUE(stillOpen(midway));
    clock.advance(2);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return origin.ended(); }, 20));
    EXPECT_EQ(origin.arrived(), kSentBytes + 1);
    EXPECT_FALSE(stillOpen(midway));
    close(midway);
}

}  // namespace
