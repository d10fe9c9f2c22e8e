// The engine proxy's reader against clients that never finish what they
// send: a head or chunked framing that never ends, a second head left
// unfinished behind a first, refused uploads whose sockets linger. While
// each attack goes on, the engine's loads through the proxy are answered
// within a second, and the attacker's connection ends.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "EngineProxyTesting.h"
#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"
#include "support/ProcessTree.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyGuards.h"

namespace {

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using fixtures::LoopbackServer;
using proxytesting::credentialsField;
using proxytesting::EngineLoads;
using proxytesting::RawConnection;
using proxytesting::statusOf;

using proxytesting::kRawLimitMs;
// What the engine's loads may take while an attack goes on.
constexpr double kMostLoadSeconds = 1;

// Sends first, then more over and over, pauseMs apart, as an attacker
// would, until the proxy ends the connection or kRawLimitMs passed; midway,
// when given, runs once 20 of more went. How many of more went before the
// end; -1 without one.
int attack(int port, const std::string& first, const std::string& more, int pauseMs = 0,
           const std::function<void()>& midway = {}) {
    RawConnection attacker(port);
    // Sends wait a little at a time, so that the time limit is heard.
    const timeval wait{0, 200'000};
    setsockopt(attacker.fd(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRawLimitMs);
    std::string_view left = first;
    for (int sent = -1; std::chrono::steady_clock::now() < end;) {
        if (left.empty()) {
            if (++sent == 20 && midway) midway();
            if (sent > 0 && pauseMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            left = more;
        }
        const ssize_t count = ::send(attacker.fd(), left.data(), left.size(), MSG_NOSIGNAL);
        if (count > 0) left.remove_prefix(size_t(count));
        if ((count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) ||
            attacker.closedWithin(0))
            return std::max(sent, 0);
    }
    return -1;
}

class EngineProxyReaderService : public proxytesting::ProxyTest {
protected:
    void SetUp() override {
        ProxyTest::SetUp();
        if (HasFatalFailure()) return;
        origin.on("GET", "/engine", [](const auto&) { return LoopbackResponse::text("served"); });
        authority = "127.0.0.1:" + std::to_string(origin.port());
    }

    [[nodiscard]] std::string engineURL() const { return origin.url("/engine").absoluteString(); }
    static void expectAnsweredInTime(EngineLoads& loads) {
        const auto record = loads.stop();
        EXPECT_GT(record.loads, 0);
        EXPECT_EQ(record.failure, "");
        EXPECT_LT(record.slowestSeconds, kMostLoadSeconds);
    }

    LoopbackServer origin;
    std::string authority;
};

// A request line, then nearly 4 MiB of field lines without the blank line,
// then a byte every 50 ms: short lines meet the bound on fields at once,
// long ones (under both bounds) the head's deadline.
TEST_F(EngineProxyReaderService, AHeadThatNeverEndsFreezesNothing) {
    testsupport::ManualClockScope clock;
    const std::string line = "GET http://" + authority + "/ HTTP/1.1\r\n";
    std::string shortFields;
    while (shortFields.size() < web::proxy::kMostHeadBytes - (256 << 10)) shortFields += "a:b\n";
    const std::string longField = "X-Long: " + std::string(4000, 'l') + "\r\n";
    std::string longFields;
    for (size_t i = 0; i < web::proxy::kMostHeadFields - 10; ++i) longFields += longField;
    ASSERT_LT(longFields.size(), web::proxy::kMostHeadBytes);

    for (const std::string* fields : {&shortFields, &longFields}) {
        SCOPED_TRACE(fields == &shortFields ? "short fields" : "long fields");
        EngineLoads loads(*proxy, engineURL());
        if (fields == &shortFields) {
            EXPECT_GE(attack(proxy->port(), line + *fields, "a", 50), 0);
        } else {
            // Still read after a second of a byte every 50 ms, until its
            // head's time is up.
            EXPECT_GE(attack(proxy->port(), line + *fields, "a", 50,
                             [&] { clock.advance(web::proxy::kHeadSeconds); }),
                      20);
        }
        // The engine's loads went on meanwhile.
        (void)core::RunLoop::main().runUntil([] { return false; }, 1);
        expectAnsweredInTime(loads);
    }
}

// Chunked framing that never ends, at full speed, with credentials and
// without (the body dropped): a trailer line, a chunk extension, or chunks
// of a byte under long extensions, each line within its bound.
TEST_F(EngineProxyReaderService, FramingThatNeverEndsEndsItsConnection) {
    const std::string post = "POST http://" + authority + "/upload HTTP/1.1\r\nHost: " + authority +
                             "\r\nTransfer-Encoding: chunked\r\n";
    const std::string floods[][2] = {
        {"3\r\nabc\r\n0\r\nX-T: ", std::string(64 * 1024, 't')},
        {"5;ext=", std::string(64 * 1024, 'e')},
        {"", "1;e=" + std::string(web::proxy::kMostChunkLineBytes - 16, 'e') + "\r\nx\r\n"},
    };
    for (const bool credentials : {false, true}) {
        for (const auto& [start, more] : floods) {
            SCOPED_TRACE((credentials ? "with credentials, " : "without, ") + start);
            EngineLoads loads(*proxy, engineURL());
            EXPECT_GE(attack(proxy->port(),
                             post + (credentials ? credentialsField(*proxy) : "") + "\r\n" + start,
                             more),
                      0);
            expectAnsweredInTime(loads);
        }
    }
}

// Yet a body of the smallest chunks, one byte each, goes on whole.
TEST_F(EngineProxyReaderService, ABodyOfOneByteChunksGoesOnWhole) {
    origin.on("POST", "/bytes", [](const LoopbackRequest& request) {
        return LoopbackResponse::text("", request.body == std::string(100'000, 'x') ? 200 : 400);
    });
    std::string chunks;
    for (int i = 0; i < 100'000; ++i) chunks += "1\r\nx\r\n";
    RawConnection client(proxy->port());
    ASSERT_TRUE(client.send("POST http://" + authority + "/bytes HTTP/1.1\r\nHost: " + authority +
                            "\r\nTransfer-Encoding: chunked\r\n" + credentialsField(*proxy) +
                            "\r\n" + chunks + "0\r\n\r\n"));
    EXPECT_EQ(statusOf(client.readHead()), 200);
}

// A whole head and the start of a second in one write, then silence: the
// second head has its deadline as any other.
TEST_F(EngineProxyReaderService, ASecondHeadThatNeverEndsMeetsItsDeadline) {
    testsupport::ManualClockScope clock;
    const std::string head = "GET http://" + authority + "/ HTTP/1.1\r\nHost: " + authority;
    RawConnection client(proxy->port());
    ASSERT_TRUE(client.send(head + "\r\n\r\n" + head + "\r\nX-Next: "));
    EXPECT_EQ(statusOf(client.readHead()), 407);
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.2);
    clock.advance(web::proxy::kHeadSeconds - 1);
    EXPECT_FALSE(client.closedWithin(200));
    EngineLoads loads(*proxy, engineURL());
    clock.advance(2);
    EXPECT_TRUE(client.closedWithin(kRawLimitMs));
    expectAnsweredInTime(loads);
}

// Refused uploads whose clients keep their sockets open, 1,500 a second,
// against a proxy whose process may hold 1,024 descriptors: each socket the
// proxy keeps reading and dropping counts as a descriptor until it is
// closed, so the rest of the app keeps its reserve (the proxy's onward
// loads included), and the engine's loads are answered within a second.
TEST(EngineProxyReaderLimitService, LingeringSocketsLeaveTheEngineItsDescriptors) {
    // Room for the attacker's own sockets in this process.
    if (web::proxy::Descriptors::raiseLimit() < 4'096) GTEST_SKIP() << "too few descriptors";
    int handed[2];
    ASSERT_EQ(pipe2(handed, O_CLOEXEC), 0);
    const pid_t child = testsupport::startAlone(
        "EngineProxyReaderService.DISABLED_EngineLoadsUnderRefusedUploads", 1024, handed[1]);
    close(handed[1]);
    int port = 0;
    pollfd readable{handed[0], POLLIN, 0};
    if (poll(&readable, 1, 60'000) == 1) {
        ASSERT_EQ(read(handed[0], &port, sizeof port), ssize_t(sizeof port));
    }
    close(handed[0]);
    ASSERT_NE(port, 0);
    const std::string upload = "POST http://127.0.0.1:9/upload HTTP/1.1\r\nHost: 127.0.0.1:9\r\n"
                               "Content-Length: " +
                               std::to_string(web::proxy::kMostRequestBodyBytes * 2) + "\r\n\r\n";
    std::vector<std::unique_ptr<RawConnection>> uploads;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3'000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
         ++i) {
        uploads.push_back(std::make_unique<RawConnection>(port));
        (void)uploads.back()->send(upload);
        std::this_thread::sleep_until(start + std::chrono::microseconds(667 * (i + 1)));
    }
    EXPECT_TRUE(testsupport::passed(child));
}

TEST_F(EngineProxyReaderService, DISABLED_EngineLoadsUnderRefusedUploads) {
    const int port = proxy->port();
    ASSERT_EQ(write(testsupport::kHandedDescriptor, &port, sizeof port), ssize_t(sizeof port));
    close(testsupport::kHandedDescriptor);
    EngineLoads loads(*proxy, engineURL(), 50);
    (void)core::RunLoop::main().runUntil([] { return false; }, 5);
    expectAnsweredInTime(loads);
}

}  // namespace
