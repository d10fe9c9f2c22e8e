// A page that starts many loads at once, to many hosts, of an origin that
// answers at once: every load goes through in both kinds of view, as the
// engine opens a connection of its own for each host and several per host,
// far more than a few at a time.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "WebViewTesting.h"
#include "web/proxy/ProxySocks.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

// An origin on every loopback address (127.0.0.2 and on are hosts of their
// own to the engine) that answers each request head with "ok" and keeps
// the connection; one thread polls them all.
class QuickOrigin {
public:
    QuickOrigin() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(listen(fd_, 1024), 0);
        EXPECT_EQ(getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~QuickOrigin() {
        stop_ = true;
        thread_.join();
        close(fd_);
        for (const pollfd& peer : peers_) close(peer.fd);
    }
    QuickOrigin(const QuickOrigin&) = delete;
    QuickOrigin& operator=(const QuickOrigin&) = delete;

    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] size_t connections() const { return accepted_; }

private:
    void serve() {
        static const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
            "Access-Control-Allow-Origin: *\r\n\r\nok";
        std::vector<std::string> pending;
        while (!stop_) {
            std::vector<pollfd> waiting{{fd_, POLLIN, 0}};
            waiting.insert(waiting.end(), peers_.begin(), peers_.end());
            if (poll(waiting.data(), waiting.size(), 50) <= 0) continue;
            for (size_t i = 0; i + 1 < waiting.size(); ++i) {
                if (!(waiting[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buffer[16384];
                const ssize_t count = recv(peers_[i].fd, buffer, sizeof buffer, 0);
                if (count <= 0) {
                    peers_[i].events = 0;
                    continue;
                }
                pending[i].append(buffer, size_t(count));
                for (size_t end; (end = pending[i].find("\r\n\r\n")) != std::string::npos;) {
                    pending[i].erase(0, end + 4);
                    (void)send(peers_[i].fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                }
            }
            if (waiting[0].revents & POLLIN) {
                while (true) {
                    const int peer = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (peer < 0) break;
                    peers_.push_back({peer, POLLIN, 0});
                    pending.emplace_back();
                    ++accepted_;
                }
            }
        }
    }

    int port_ = 0;
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> accepted_{0};
    std::vector<pollfd> peers_;
    std::thread thread_;
};

class WebViewBurstService : public testing::TestWithParam<Kind> {
protected:
    fixtures::LoopbackServer server;
};

// 240 fetches over 60 hosts (names under localhost, which both kinds take
// for this machine), all started at once: every one loads. And 480 over 480
// hosts, for which the engine opens more connections at once than the
// proxy lets negotiate: in the "UI" kind none of the engine's gives its
// place at the proxy's door to another (the engine opens one again when
// that happens, but a load fails when it had sent its request).
TEST_P(WebViewBurstService, ABurstOfLoadsOverManyHostsAllLoad) {
    QuickOrigin origin;
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(view);
    for (const auto& [loads, hosts] : {std::pair(240, 60), std::pair(480, 480)}) {
        SCOPED_TRACE(std::to_string(loads) + " loads over " + std::to_string(hosts) + " hosts");
        serveHTML(server, "/burst",
                  R"(<script>
            window.loaded = 0;
            window.failed = [];
            for (let i = 0; i < )" +
                      std::to_string(loads) + R"(; ++i)
              fetch('http://h' + (i % )" +
                      std::to_string(hosts) + R"() + '.localhost:)" +
                      std::to_string(origin.port()) +
                      R"(/' + i, {cache: 'no-store'})
                .then(r => r.text())
                .then(t => { if (t === 'ok') ++window.loaded; else window.failed.push(i + t); },
                      e => { window.failed.push(i + ' ' + e); });
            </script>)");
        const std::uint64_t replaced = web::proxy::SocksGate::replaced();
        ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/burst")));
        EXPECT_TRUE(waitFor(
            [&] {
                return evaluate(*view, "window.loaded + window.failed.length").intValue() == loads;
            },
            60));
        EXPECT_EQ(evaluate(*view, "window.loaded").intValue(), loads)
            << evaluate(*view, "window.failed.length + ' failed: ' + window.failed.slice(0, 5)")
                   .stringValue();
        EXPECT_EQ(web::proxy::SocksGate::replaced() - replaced, 0u);
    }
    EXPECT_GE(origin.connections(), 480u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewBurstService, testing::ValuesIn(kKinds), kindName);

}  // namespace
