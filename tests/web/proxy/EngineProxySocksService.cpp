// The engine's way into its proxy, SOCKS with the run's credentials, from a
// raw client of the tests' own: only the credentials open it, and only to a
// destination other than the proxy; strangers that never finish hold
// nothing for long.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineProxyTesting.h"
#include "fixtures/LoopbackServer.h"
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

    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {proxy->user(), "wrong"}, {"someone", proxy->password()}, {proxy->user(), ""}}) {
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
    // A name no URL could hold; a command other than CONNECT.
    EXPECT_EQ(replyTo(connectTo("a/b@c", origin.port())), 4);
    EXPECT_EQ(replyTo(std::string{5, 2, 0, 3, 1, 'a', 0, 80}), 7);
}

TEST_F(EngineProxySocksService, StrangersThatNeverFinishGiveWayToNewcomers) {
    std::vector<std::unique_ptr<RawConnection>> silent;
    for (size_t i = 0; i <= web::proxy::kMostSocksNegotiations; ++i)
        silent.push_back(std::make_unique<RawConnection>(proxy->socksPort()));
    // The oldest went for the newest; the newest is served.
    EXPECT_TRUE(silent.front()->closedWithin(5000));
    std::string answer;
    signIn(proxy->user(), proxy->password(), &answer);
    EXPECT_EQ(answer, std::string({1, 0}));
}

}  // namespace
