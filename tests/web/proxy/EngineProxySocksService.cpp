// The engine's way into its proxy, SOCKS with the run's credentials, from a
// raw client of the tests' own: only the credentials open it, and only to a
// destination other than the proxy; strangers that never finish hold
// nothing for long, and never the place of the engine's own connections.

#include <gtest/gtest.h>
#include <poll.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineProxyTesting.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxySocks.h"

namespace {

using fixtures::LoopbackResponse;
using proxytesting::RawConnection;

// A CONNECT request for host (a name, or 127.0.0.1 as an address when
// empty) and port.
std::string connectTo(const std::string& host, int port) {
    std::string request = host.empty() ? std::string{5, 1, 0, 1, 127, 0, 0, 1}
                                       : std::string{5, 1, 0, 3, char(host.size())} + host;
    return request + char(port >> 8) + char(port & 0xFF);
}

class EngineProxySocksService : public proxytesting::ProxyTest {
protected:
    // A connection that showed credentials (user, password), and the
    // proxy's answer to them: "\x01\x00" when taken.
    std::unique_ptr<RawConnection> signIn(const std::string& user, const std::string& password,
                                          std::string* answer) {
        auto client = std::make_unique<RawConnection>(proxy->socksPort());
        client->send(std::string{5, 1, 2});
        EXPECT_EQ(client->readSome(), std::string({5, 2}));
        client->send(std::string{1, char(user.size())} + user + char(password.size()) + password);
        *answer = client->readSome();
        return client;
    }

    // The reply code to a request after the run's credentials; -1 for none.
    int replyTo(const std::string& request, std::unique_ptr<RawConnection>* kept = nullptr) {
        std::string answer;
        auto client = signIn(proxy->user(), proxy->password(), &answer);
        EXPECT_EQ(answer, std::string({1, 0}));
        client->send(request);
        const std::string reply = client->readSome();
        if (kept) *kept = std::move(client);
        return reply.size() == 10 && reply[0] == 5 ? static_cast<unsigned char>(reply[1]) : -1;
    }
};

TEST_F(EngineProxySocksService, OnlyTheRunsCredentialsOpenIt) {
    // No way to show credentials offered: none acceptable.
    RawConnection anonymous(proxy->socksPort());
    anonymous.send(std::string{5, 1, 0});
    EXPECT_EQ(anonymous.readSome(), std::string({5, char(0xFF)}));
    EXPECT_TRUE(anonymous.closedWithin(2000));

    // Only the whole of each: not a part of it, nor it with more after.
    const std::string runUser = proxy->user();
    const std::string runPassword = proxy->password();
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {runUser, "wrong"},
             {"someone", runPassword},
             {runUser, ""},
             {runUser, runPassword.substr(0, runPassword.size() - 1)},
             {runUser, runPassword + "0"},
             {runUser.substr(0, runUser.size() - 1), runPassword},
             {runUser + "s", runPassword}}) {
        std::string answer;
        auto client = signIn(user, password, &answer);
        EXPECT_EQ(answer, std::string({1, 1})) << user << ":" << password;
        EXPECT_TRUE(client->closedWithin(2000));
    }

    // What the proxy's HTTP side takes is not SOCKS.
    RawConnection http(proxy->socksPort());
    http.send("GET http://127.0.0.1/ HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(http.closedWithin(2000));
}

TEST_F(EngineProxySocksService, ItOpensToADestinationButNeverToTheProxy) {
    fixtures::LoopbackServer origin;
    origin.on("GET", "/page", [](const auto&) { return LoopbackResponse::text("page"); });
    std::unique_ptr<RawConnection> client;
    ASSERT_EQ(replyTo(connectTo("127.0.0.1", origin.port()), &client), 0);
    // Plain HTTP in origin form, carried by the proxy to the destination.
    client->send("GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(proxytesting::statusOf(client->readHead()), 200);
    EXPECT_EQ(client->readSome(), "page");
    // An address (IPv4) names a destination too.
    EXPECT_EQ(replyTo(connectTo("", origin.port())), 0);

    for (const int port : {proxy->port(), proxy->socksPort()})
        for (const std::string host : {"127.0.0.1", "localhost", "LOCALHOST.", ""})
            EXPECT_EQ(replyTo(connectTo(host, port)), 2) << host << ":" << port;
    // Names no URL could hold as a host; a command other than CONNECT.
    EXPECT_EQ(replyTo(connectTo("a/b@c", origin.port())), 4);
    EXPECT_EQ(replyTo(connectTo("127.0.0.1:" + std::to_string(origin.port()), origin.port())), 4);
    EXPECT_EQ(replyTo(std::string{5, 2, 0, 3, 1, 'a', 0, 80}), 7);
}

// At the cap, a newcomer waits, and the negotiations under way go on: the
// engine's that showed its credentials but named no destination yet is no
// stranger, and a stranger keeps its place until it has held it
// kSocksSignInSeconds; then the oldest stranger gives it to the newcomer.
TEST_F(EngineProxySocksService, StrangersThatNeverFinishGiveWayToNewcomers) {
    testsupport::ManualClockScope clock;
    std::string answer;
    auto engine = signIn(proxy->user(), proxy->password(), &answer);
    ASSERT_EQ(answer, std::string({1, 0}));
    std::vector<std::unique_ptr<RawConnection>> silent;
    for (size_t i = 0; i < web::proxy::kMostSocksNegotiations; ++i)
        silent.push_back(std::make_unique<RawConnection>(proxy->socksPort()));
    RawConnection newcomer(proxy->socksPort());
    newcomer.send(std::string{5, 1, 2});
    EXPECT_EQ(newcomer.readSome(300), "");
    clock.advance(web::proxy::kSocksSignInSeconds - 0.5);
    EXPECT_EQ(newcomer.readSome(300), "");
    EXPECT_FALSE(silent.front()->closedWithin(0));

    clock.advance(1);
    EXPECT_EQ(newcomer.readSome(), std::string({5, 2}));
    EXPECT_TRUE(silent.front()->closedWithin(5000));
    EXPECT_FALSE(silent[1]->closedWithin(0));
    fixtures::LoopbackServer origin;
    origin.on("GET", "/kept", [](const auto&) { return LoopbackResponse::text("kept"); });
    engine->send(connectTo("127.0.0.1", origin.port()));
    ASSERT_EQ(engine->readSome(), std::string({5, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    engine->send("GET /kept HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(proxytesting::statusOf(engine->readHead()), 200);
}

// The engine opens connections in bursts, each showing its credentials a
// round trip after its greeting is answered: a burst past the cap waits in
// part, and no connection of it is cut.
TEST_F(EngineProxySocksService, ABurstOfTheEnginesConnectionsIsNeverCut) {
    fixtures::LoopbackServer origin;
    constexpr size_t kBurst = web::proxy::kMostSocksNegotiations + 72;
    std::vector<std::unique_ptr<RawConnection>> clients;
    std::vector<int> stage(kBurst, 0);
    for (size_t i = 0; i < kBurst; ++i) {
        clients.push_back(std::make_unique<RawConnection>(proxy->socksPort()));
        clients.back()->send(std::string{5, 1, 2});
    }
    const std::string credentials = std::string{1, char(proxy->user().size())} + proxy->user() +
                                    char(proxy->password().size()) + proxy->password();
    // Each answer read whole: the proxy writes each in one piece.
    const std::vector<std::string> answers = {std::string{5, 2}, std::string{1, 0},
                                              std::string{5, 0, 0, 1, 0, 0, 0, 0, 0, 0}};
    const std::vector<std::string> next = {credentials, connectTo("127.0.0.1", origin.port())};
    size_t done = 0;
    while (done < kBurst) {
        std::vector<pollfd> waiting;
        for (const auto& client : clients) waiting.push_back({client->fd(), POLLIN, 0});
        ASSERT_GT(poll(waiting.data(), waiting.size(), proxytesting::kRawLimitMs), 0)
            << done << " of " << kBurst << " through";
        for (size_t i = 0; i < kBurst; ++i) {
            if (!(waiting[i].revents & (POLLIN | POLLHUP | POLLERR)) || stage[i] == 3) continue;
            const std::string got = clients[i]->readSome(0);
            ASSERT_EQ(got, answers[size_t(stage[i])]) << "connection " << i;
            if (++stage[i] == 3) {
                ++done;
                continue;
            }
            clients[i]->send(next[size_t(stage[i]) - 1]);
        }
    }
}

// A client that never signs in, or signs in and names no destination, is
// cut kHeadSeconds after it connected; one that named its destination
// waits for its first byte as an idle connection of the engine's does.
TEST_F(EngineProxySocksService, EachStageHasItsDeadline) {
    testsupport::ManualClockScope clock;
    fixtures::LoopbackServer origin;
    origin.on("GET", "/late", [](const auto&) { return LoopbackResponse::text("late"); });
    RawConnection stranger(proxy->socksPort());
    std::string answer;
    auto unnamed = signIn(proxy->user(), proxy->password(), &answer);
    std::unique_ptr<RawConnection> opened;
    ASSERT_EQ(replyTo(connectTo("127.0.0.1", origin.port()), &opened), 0);
    const auto settle = [] { (void)core::RunLoop::main().runUntil([] { return false; }, 0.2); };
    settle();
    clock.advance(web::proxy::kHeadSeconds - 1);
    EXPECT_FALSE(unnamed->closedWithin(200));
    clock.advance(2);
    EXPECT_TRUE(stranger.closedWithin(5000));
    EXPECT_TRUE(unnamed->closedWithin(5000));
    EXPECT_FALSE(opened->closedWithin(200));
    clock.advance(web::proxy::clientIdleSeconds() - web::proxy::kHeadSeconds - 2);
    opened->send("GET /late HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(proxytesting::statusOf(opened->readHead()), 200);

    std::unique_ptr<RawConnection> idle;
    ASSERT_EQ(replyTo(connectTo("127.0.0.1", origin.port()), &idle), 0);
    settle();
    clock.advance(web::proxy::clientIdleSeconds() + 1);
    EXPECT_TRUE(idle->closedWithin(5000));
}

}  // namespace
