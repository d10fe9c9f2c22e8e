// The engine proxy against a second round of attacks: origins that answer a
// WebSocket upgrade with something else to collect what the engine would
// send a proxy, clients without credentials that send large or trickling
// bodies, and one page's uploads against another's. Raw sockets of the
// tests' own on both sides, so that a test sees every byte.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "EngineProxyTesting.h"
#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "support/ManualClockScope.h"
#include "support/ResidentMemory.h"
#include "web/WebProcessProtocol.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyHead.h"

namespace {

using proxytesting::credentialsField;
using proxytesting::fetch;
using proxytesting::kRawLimitMs;
using proxytesting::kUpgrade;
using proxytesting::pageMark;
using proxytesting::RawConnection;
using proxytesting::RawListener;
using proxytesting::RecordingFactory;
using proxytesting::Registered;
using proxytesting::Reply;
using proxytesting::Request;
using proxytesting::statusOf;

// The chunk of a chunked body that carries bytes.
std::string chunkOf(const std::string& bytes) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return size + bytes + "\r\n";
}

// A thread that takes origin's next connection, reads its request (and a
// small body), and answers 200 "ok".
std::thread answerOnce(const RawListener& origin) {
    return std::thread([&origin] {
        const auto peer = origin.accept(kRawLimitMs);
        if (!peer) return;
        if (peer->readHead().find("Content-Length") != std::string::npos)
            (void)peer->readSome(2'000);
        peer->send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
}

class EngineProxyStrangerService : public proxytesting::ProxyTest {
protected:
    // A head for target through the proxy, with the run's credentials and a
    // page mark of page when it is not 0.
    std::string head(const std::string& method, const std::string& url,
                     const std::string& fields = {}, std::uint64_t page = 0) const {
        const std::string authority = url.substr(7, url.find('/', 7) - 7);
        std::string text = method + " " + url + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
                           fields + credentialsField(*proxy);
        if (page != 0)
            text += pageMark(proxy->pageKey(), page, "http://page.test/", method, url) + "\r\n";
        return text + "\r\n";
    }
};

// An origin that answers an upgrade with anything but 101 answers that
// request alone: its 407 reaches the client as 502 without a challenge, a
// keep-alive 404 as it is with "Connection: close", and nothing the client
// sends after it (a retry with credentials, another request in proxy form)
// reaches the origin. The origin never sees the credentials or the mark.
TEST_F(EngineProxyStrangerService, AnUpgradeAnsweredOtherwiseCarriesNothingMoreToTheOrigin) {
    struct Case {
        std::string answer;
        int status;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
         "realm=\"x\"\r\nContent-Length: 4\r\n\r\nauth",
         502},
        {"HTTP/1.1 404 Not Here\r\nContent-Length: 7\r\nConnection: keep-alive\r\n\r\nmissing",
         404},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", 200},
    };
    for (const Case& tried : cases) {
        SCOPED_TRACE(tried.answer.substr(0, 12));
        RawListener origin;
        const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/socket";
        RawConnection client(proxy->port());
        client.send(head("GET", url, kUpgrade, 7));
        const auto peer = origin.accept(kRawLimitMs);
        ASSERT_TRUE(peer);
        const std::string upgrade = peer->readHead();
        EXPECT_TRUE(upgrade.starts_with("GET /socket HTTP/1.1\r\n")) << upgrade;
        EXPECT_EQ(upgrade.find("Proxy-Authorization"), std::string::npos) << upgrade;
        EXPECT_EQ(upgrade.find(web::protocol::kPageHeader), std::string::npos) << upgrade;
        peer->send(tried.answer);

        const std::string answer = client.readHead();
        EXPECT_EQ(statusOf(answer), tried.status) << answer;
        EXPECT_EQ(answer.find("Proxy-Authenticate"), std::string::npos) << answer;
        EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
        // A retry with the credentials, and a request for the origin in the
        // proxy's form, on the same connection.
        client.send(head("GET", url, kUpgrade, 7));
        client.send(head("GET", url + "/next", {}, 7));
        EXPECT_TRUE(client.closedWithin(kRawLimitMs));
        EXPECT_EQ(peer->readSome(300), "");
        EXPECT_FALSE(origin.accept(200));
    }
}

// However an upgrade's other answer comes, in pieces, it is read as any
// head and shaped as an exchange's answer: only the fields that go onward
// (not what Connection names, nor Keep-Alive), 407 turned into 502, and the
// body as the origin framed it (by length, in chunks with trailers, to its
// close) and nothing after it (not a second answer's head); what the client
// sends meanwhile reaches no one. A coding the proxy cannot read fails it.
TEST_F(EngineProxyStrangerService, AnUpgradeAnsweredOtherwiseInPiecesIsShapedAsAnyAnswer) {
    struct Case {
        std::string head, start, rest;
        int status;
    };
    const std::string next = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nextra";
    const std::vector<Case> cases = {
        {"404 Not Here\r\nContent-Length: 7\r\nKeep-Alive: timeout=5", "abc", "defg" + next, 404},
        {"403 Forbidden\r\nConnection: X-Secret\r\nX-Secret: 1\r\nTransfer-Encoding: chunked",
         "3\r\nabc\r\n", "4\r\ndefg\r\n0\r\nX-Trailer: t\r\n\r\n" + next, 403},
        {"500 Broken", "abc", "defg", 500},
        {"407 Who\r\nProxy-Authenticate: Basic\r\nContent-Length: 7", "abc", "defg" + next, 502},
        {"200 OK\r\nTransfer-Encoding: gzip", "abc", "defg", 0},
        // No status the engine reads: not an interim answer before the next.
        {"042 Odd", "HTTP/1.1 404 Not Here\r\nContent-Length: 0\r\n\r\n", "", 0},
    };
    for (const Case& tried : cases) {
        SCOPED_TRACE(tried.head);
        RawListener origin;
        const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/socket";
        RawConnection client(proxy->port());
        client.send(head("GET", url, kUpgrade, 7));
        auto peer = origin.accept(kRawLimitMs);
        ASSERT_TRUE(peer);
        ASSERT_FALSE(peer->readHead().empty());
        peer->send("HTTP/1.1 " + tried.head + "\r\nX-Kept: yes\r\n\r\n" + tried.start);
        const std::string answer = client.readHead();
        EXPECT_EQ(statusOf(answer), tried.status) << answer;
        if (tried.status == 0) continue;
        for (const char* gone : {"X-Secret", "Keep-Alive", "Proxy-Authenticate"})
            EXPECT_EQ(answer.find(gone), std::string::npos) << answer;
        EXPECT_NE(answer.find("X-Kept: yes\r\n"), std::string::npos) << answer;
        EXPECT_NE(answer.find("Connection: close\r\n"), std::string::npos) << answer;
        std::string body;
        while (body.find("abc") == std::string::npos) {
            const std::string piece = client.readSome();
            if (piece.empty()) break;
            body += piece;
        }
        client.send(head("GET", url + "/next", {}, 7));
        EXPECT_EQ(peer->readSome(1'000), "");
        peer->send(tried.rest);
        if (tried.status == 500) peer.reset();  // the end of its body
        for (std::string piece; !(piece = client.readSome(5'000)).empty();) body += piece;
        if (answer.find("Transfer-Encoding: chunked") != std::string::npos) {
            web::proxy::ChunkedReader reader;
            std::string data;
            size_t consumed = 0;
            EXPECT_EQ(reader.feed(body, data, consumed), web::proxy::ChunkedReader::State::ended);
            EXPECT_EQ(consumed, body.size()) << body;
            body = data;
        }
        EXPECT_EQ(body, "abcdefg");
        EXPECT_TRUE(client.closedWithin(kRawLimitMs));
    }
}

// An upgrade's other answer whose origin breaks off in its body breaks off
// at the client too, with no byte the origin did not send: by its length,
// or inside a chunk.
TEST_F(EngineProxyStrangerService, AnUpgradeAnsweredOtherwiseThatBreaksOffBreaksOffAtTheClient) {
    for (const std::string framing : {"Content-Length: 10", "Transfer-Encoding: chunked"}) {
        SCOPED_TRACE(framing);
        const bool chunked = framing.starts_with("Transfer");
        RawListener origin;
        const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/socket";
        RawConnection client(proxy->port());
        client.send(head("GET", url, kUpgrade, 7));
        auto peer = origin.accept(kRawLimitMs);
        ASSERT_TRUE(peer);
        ASSERT_FALSE(peer->readHead().empty());
        peer->send("HTTP/1.1 404 Not Here\r\n" + framing + "\r\n\r\n" +
                   (chunked ? chunkOf("abc") : "abc"));
        ASSERT_EQ(statusOf(client.readHead()), 404);
        std::string body = client.readSome();
        peer.reset();
        for (std::string piece; !(piece = client.readSome(5'000)).empty();) body += piece;
        EXPECT_EQ(body, chunked ? chunkOf("abc") + "1\r\n" : "abc");
    }
}

// A request without credentials is answered at its head: its body, however
// large, is never held, and the client is told at once.
TEST_F(EngineProxyStrangerService, ABodyWithoutCredentialsIsNeverHeld) {
    RawListener origin;
    const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/upload";
    const std::int64_t before = testsupport::residentBytes();
    std::atomic<std::int64_t> most{before};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            most = std::max<std::int64_t>(most, testsupport::residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const std::string filler(1 << 20, 'x');
    struct Stranger {
        std::string head;
        std::int64_t bytes;
        bool chunked;
    };
    const std::vector<Stranger> strangers = {
        {"POST " + url + " HTTP/1.1\r\nContent-Length: 1073741824\r\n\r\n", 1 << 30, false},
        {"POST " + url + " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 1 << 30, true},
        {"POST " + url + " HTTP/1.1\r\nContent-Length: 536870912\r\n\r\n", 1 << 29, false},
        {"POST " + url + " HTTP/1.1\r\nContent-Length: 536870912\r\n\r\n", 1 << 29, false},
    };
    std::vector<int> statuses(strangers.size());
    std::vector<std::thread> senders;
    for (size_t i = 0; i < strangers.size(); ++i) {
        senders.emplace_back([&, i] {
            RawConnection client(proxy->port());
            client.send(strangers[i].head);
            statuses[i] = statusOf(client.readHead());
            // The rest goes until the proxy stops taking it.
            const std::string chunk = strangers[i].chunked ? chunkOf(filler) : filler;
            for (std::int64_t sent = 0; sent < strangers[i].bytes;
                 sent += std::int64_t(filler.size()))
                if (!client.send(chunk)) break;
        });
    }
    for (auto& sender : senders) sender.join();
    sampling = false;
    sampler.join();
    for (const int status : statuses) EXPECT_EQ(status, 407);
    EXPECT_EQ(web::proxy::BodyBudget::used(), 0);
    if (testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(most - before, std::int64_t(64) << 20)
            << "resident size grew from " << before << " to " << most;
    }
    EXPECT_FALSE(origin.accept(100));
}

// Strangers that announce large bodies and trickle them hold no part of the
// budget: uploads with credentials go through meanwhile.
TEST_F(EngineProxyStrangerService, TricklingStrangersLeaveTheBudgetToTheEngine) {
    testsupport::ManualClockScope clock;
    RawListener origin;
    const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/upload";
    std::vector<std::unique_ptr<RawConnection>> strangers;
    for (int i = 0; i < 2; ++i) {
        strangers.push_back(std::make_unique<RawConnection>(proxy->port()));
        strangers.back()->send("POST " + url + " HTTP/1.1\r\nContent-Length: " +
                               std::to_string(web::proxy::kMostRequestBodyBytes - 1) + "\r\n\r\nx");
    }
    for (int round = 0; round < 3; ++round) {
        for (auto& stranger : strangers) (void)stranger->send("x");
        // (What an upload of the round before held goes as its exchange ends.)
        EXPECT_TRUE(
            core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 5));
        std::thread server = answerOnce(origin);
        Request upload;
        upload.method = "POST";
        upload.body = std::string(1024, 'u');
        EXPECT_EQ(fetch(*proxy, url, upload).status, 200) << round;
        server.join();
        clock.advance(30);
    }
}

// A body in chunks takes its share of the budget as a body of declared
// length does: with the budget full, it is refused, and with room it goes on.
TEST_F(EngineProxyStrangerService, AChunkedBodyTakesItsShareOfTheBudget) {
    auto protocol = std::make_shared<RecordingFactory>(
        "/chunked", RecordingFactory::Behaviour::answer, "taken");
    Registered registered(protocol);
    RawListener origin;
    const std::string url = "http://127.0.0.1:" + std::to_string(origin.port()) + "/chunked";
    const std::string post = head("POST", url, "Transfer-Encoding: chunked\r\n") +
                             chunkOf(std::string(4096, 'c')) + "0\r\n\r\n";
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
    web::proxy::BodyBudget::Share full(0, nullptr);
    ASSERT_TRUE(full.grow(web::proxy::BodyBudget::kBytes));
    RawConnection refused(proxy->port());
    refused.send(post);
    EXPECT_EQ(statusOf(refused.readHead()), 503);
    EXPECT_EQ(protocol->starts, 0);

    full = {};
    RawConnection taken(proxy->port());
    taken.send(post);
    EXPECT_EQ(statusOf(taken.readHead()), 200);
    const auto requests = protocol->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body().size(), 4096u);
    EXPECT_TRUE(
        core::RunLoop::main().runUntil([] { return web::proxy::BodyBudget::used() == 0; }, 20));
}

// One page's uploads to a server that never answers cannot keep another
// page's out: with the budget full of the first page's bodies (each holding
// all it may, kMostHeldBodyBytes), the other page's body takes the place of
// the newest of them, which fails; the first page's next body does not fit.
TEST_F(EngineProxyStrangerService, OnePagesUploadsCannotStarveAnothers) {
    RawListener silent;
    std::vector<std::unique_ptr<RawConnection>> held;
    std::atomic<bool> stop{false};
    std::thread keeper([&] {
        while (!stop) {
            if (auto peer = silent.accept(100)) held.push_back(std::move(peer));
        }
    });
    // However the test ends.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        stop = true;
        keeper.join();
    });
    const std::string hog = "http://127.0.0.1:" + std::to_string(silent.port()) + "/hog";
    constexpr std::int64_t kBytes = web::proxy::kMostHeldBodyBytes;
    const std::string body(size_t(kBytes), 'h');
    const size_t fitting = size_t(web::proxy::BodyBudget::kBytes / kBytes);
    std::vector<std::unique_ptr<RawConnection>> hogs;
    for (size_t i = 0; i < fitting; ++i) {
        hogs.push_back(std::make_unique<RawConnection>(proxy->port()));
        hogs.back()->send(head("POST", hog + std::to_string(i),
                               "Content-Length: " + std::to_string(kBytes) + "\r\n", 1) +
                          body);
    }
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [] { return web::proxy::BodyBudget::used() == web::proxy::BodyBudget::kBytes; }, 20));

    // The same page's next body does not fit.
    RawConnection next(proxy->port());
    next.send(head("POST", hog + "next", "Content-Length: 1024\r\n", 1) + std::string(1024, 'h'));
    EXPECT_EQ(statusOf(next.readHead()), 503);

    RawListener origin;
    std::thread server = answerOnce(origin);
    const std::string other = "http://127.0.0.1:" + std::to_string(origin.port()) + "/post";
    RawConnection page(proxy->port());
    page.send(head("POST", other, "Content-Length: 1024\r\n", 2) + std::string(1024, 'p'));
    EXPECT_EQ(statusOf(page.readHead()), 200);
    server.join();
    // One of the first page's uploads gave its place and failed (its load
    // under way, with no answer a client could take for one); the others go
    // on.
    std::vector<pollfd> answered;
    for (const auto& upload : hogs) answered.push_back({upload->fd(), POLLIN, 0});
    ASSERT_EQ(poll(answered.data(), answered.size(), kRawLimitMs), 1);
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.5);
    std::vector<size_t> failed;
    for (size_t i = 0; i < hogs.size(); ++i) {
        if (poll(&answered[i], 1, 0) != 1) continue;
        EXPECT_EQ(statusOf(hogs[i]->readHead()), 0) << i;
        EXPECT_TRUE(hogs[i]->closedWithin(kRawLimitMs)) << i;
        failed.push_back(i);
    }
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_FALSE(hogs[failed.empty() || failed[0] != 0 ? 0 : 1]->closedWithin(200));
}

// A page's loads waiting for servers that never answer (each at an address
// of its own, as no host takes more than a few connections) hold a bounded
// number of onward connections; another page's loads go on meanwhile, and
// the waiting ones start as places come free.
TEST_F(EngineProxyStrangerService, APagesPendingLoadsAreBounded) {
    RawListener silent(true);
    constexpr size_t kLoads = web::proxy::LoadPlaces::kMostPerPage + 16;
    std::vector<std::unique_ptr<RawConnection>> accepted;
    std::atomic<bool> stop{false};
    std::atomic<size_t> count{0};
    std::thread keeper([&] {
        while (!stop) {
            if (auto peer = silent.accept(50)) {
                accepted.push_back(std::move(peer));
                ++count;
            }
        }
    });
    // However the test ends.
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        stop = true;
        keeper.join();
    });
    std::vector<std::unique_ptr<RawConnection>> clients;
    for (size_t i = 0; i < kLoads; ++i) {
        clients.push_back(std::make_unique<RawConnection>(proxy->port()));
        clients.back()->send(head("GET",
                                  "http://127.0." + std::to_string(i / 250) + "." +
                                      std::to_string(i % 250 + 2) + ":" +
                                      std::to_string(silent.port()) + "/",
                                  {}, 3));
    }
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] { return count == web::proxy::LoadPlaces::kMostPerPage; }, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(count, web::proxy::LoadPlaces::kMostPerPage);

    RawListener origin;
    std::thread server = answerOnce(origin);
    RawConnection other(proxy->port());
    other.send(head("GET", "http://127.0.0.1:" + std::to_string(origin.port()) + "/go", {}, 4));
    EXPECT_EQ(statusOf(other.readHead()), 200);
    server.join();

    // Clients that give up let the waiting ones go on.
    for (size_t i = 0; i < web::proxy::LoadPlaces::kMostPerPage; ++i) clients[i].reset();
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return count == kLoads; }, 20));
}

// A request goes on as the client wrote it, and its answer comes back as
// the origin wrote it: the target byte for byte (escapes good and bad,
// brackets, pipes, "%2F", a trailing-dot host, a long query), field bytes
// that are not UTF-8 both ways, the origin's reason phrase, and no field of
// the proxy's or libcurl's own.
TEST_F(EngineProxyStrangerService, RequestsAndAnswersPassAsBytes) {
    RawListener origin;
    const std::string port = std::to_string(origin.port());
    const std::vector<std::string> targets = {"/img/sp%20ace.png",
                                              "/%C3%A9t%C3%A9",
                                              "/a|b/br[ack]/{b}",
                                              "/a%25b/a%zzb/%",
                                              "/a%2Fb/../c/./d",
                                              "/q?cb=[timestamp]&x=a|b&a=%zz&u=%E6%97%A5",
                                              "/long?" + std::string(70'000, 'q'),
                                              "/"};
    for (const std::string& host : {std::string("127.0.0.1"), std::string("localhost.")}) {
        for (const std::string& target : targets) {
            SCOPED_TRACE(host + target.substr(0, 40));
            const std::string url = "http://" + host + ":" + port + target;
            RawConnection client(proxy->port());
            client.send("POST " + url + " HTTP/1.1\r\nHost: " + host + ":" + port +
                        "\r\nX-Name: caf\xe9\r\nContent-Length: 3\r\n" + credentialsField(*proxy) +
                        "\r\nabc");
            const auto peer = origin.accept(5'000);
            ASSERT_TRUE(peer) << host << target.substr(0, 40) << " " << client.readSome(5000);
            std::string received = peer->readHead();
            while (received.size() < 3 || received.substr(received.size() - 3) != "abc")
                if (std::string more = peer->readSome(); !more.empty())
                    received += more;
                else
                    break;
            EXPECT_TRUE(received.starts_with("POST " + target + " HTTP/1.1\r\n"))
                << received.substr(0, 200);
            EXPECT_NE(received.find("\r\nHost: " + host + ":" + port + "\r\n"), std::string::npos);
            EXPECT_NE(received.find("\r\nX-Name: caf\xe9\r\n"), std::string::npos);
            for (const char* added : {"Via:", "Accept:", "Content-Type:", "User-Agent:", "Expect:",
                                      "Proxy-Authorization:"})
                EXPECT_EQ(received.find(std::string("\r\n") + added), std::string::npos) << added;
            peer->send("HTTP/1.1 418 Teapot \xe9t\xe9\r\nX-Back: \xe9\xff\r\n"
                       "Content-Length: 2\r\n\r\nok");
            const std::string answer = client.readHead();
            EXPECT_TRUE(answer.starts_with("HTTP/1.1 418 Teapot \xe9t\xe9\r\n")) << answer;
            EXPECT_NE(answer.find("\r\nX-Back: \xe9\xff\r\n"), std::string::npos) << answer;
            EXPECT_EQ(answer.find("Date:"), std::string::npos) << answer;
        }
    }
}

// What goes on without credentials (a preflight) cannot come round without
// end: through a server that sends every preflight it gets back to the
// proxy (for another of its addresses each time, as no host takes more than
// a few connections), the loop holds at most kMostPreflights of them, then
// unwinds.
TEST_F(EngineProxyStrangerService, PreflightsThatComeRoundAreBounded) {
    RawListener relay(true);
    const auto preflight = [&](size_t hop) {
        const std::string authority =
            "127.0.0." + std::to_string(2 + hop) + ":" + std::to_string(relay.port());
        return "OPTIONS http://" + authority + "/round HTTP/1.1\r\nHost: " + authority + "\r\n" +
               proxytesting::kPreflight + "\r\n";
    };
    std::atomic<size_t> hops{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> forwarding;
    std::thread acceptor([&] {
        while (!stop) {
            auto peer = relay.accept(50);
            if (!peer) continue;
            const size_t hop = ++hops;
            forwarding.emplace_back(
                [&, hop, peer = std::shared_ptr<RawConnection>(std::move(peer))] {
                    if (peer->readHead().empty()) return;
                    RawConnection onward(proxy->port());
                    onward.send(preflight(hop));
                    const int status = statusOf(onward.readHead());
                    peer->send("HTTP/1.1 " + std::to_string(status == 0 ? 504 : status) +
                               " Relayed\r\nContent-Length: 0\r\n\r\n");
                });
        }
    });
    RawConnection client(proxy->port());
    client.send(preflight(0));
    const std::string answer = client.readHead(60'000);
    stop = true;
    acceptor.join();
    for (auto& thread : forwarding) thread.join();
    EXPECT_FALSE(answer.empty());
    EXPECT_EQ(hops.load(), web::proxy::kMostPreflights);
}

}  // namespace
