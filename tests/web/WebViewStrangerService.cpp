// "UI"-kind pages against what would turn the app's proxy on them: an origin
// that answers a page's WebSocket with something else to collect what the
// engine sends a proxy, idle clients of the machine's own crowding the
// proxy, a page that starts hundreds of loads that never end under a
// desktop's descriptor limit, and a page whose uploads hang. Origins of the
// tests' own on raw sockets, so that every byte they receive is seen.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include "ScriptedOrigin.h"
#include "WebViewTesting.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "support/ProcessTree.h"
#include "web/WebProcessProtocol.h"
#include "web/proxy/EngineProxy.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

class WebViewStrangerService : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
    }

    // A page of the kind that runs script, and what it left in window.done
    // once that is set; null when it never was.
    core::Value run(Kind kind, const std::string& script, double limit = kLoadLimit) {
        const auto delegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(delegate, configurationOf(kind));
        if (!view) return {};
        serveHTML(server, "/page", "<script>window.done = null;" + script + "</script>");
        if (!loadAndWait(*view, *delegate, server.url("/page"))) return {};
        if (!waitFor([&] { return !evaluate(*view, "window.done === null").boolValue(); }, limit))
            return {};
        return evaluate(*view, "window.done");
    }

    testsupport::ScopedEnvironment environment;
    fixtures::LoopbackServer server;
};

// A page's WebSocket whose origin answers with 407 (asking for proxy
// credentials) or with a 404 that keeps its connection: the origin receives
// no proxy credentials and no page mark, then or with the page's next
// request to it, which arrives as a request to the origin; the page sees the
// socket fail as it does in the other kind.
TEST_F(WebViewStrangerService, AnOriginThatAnswersAnUpgradeOtherwiseLearnsNothingOfTheProxy) {
    for (const std::string& answer :
         {std::string("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
                      "realm=\"origin\"\r\nContent-Length: 0\r\n\r\n"),
          std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                      "Connection: keep-alive\r\n\r\n")}) {
        for (const Kind kind : {Kind::WK, Kind::UI}) {
            SCOPED_TRACE(answer.substr(0, 12) + (kind == Kind::UI ? " UI" : " WK"));
            ScriptedOrigin origin([&](const std::string& head) {
                return head.find("Upgrade:") != std::string::npos ? answer : kPlainAnswer;
            });
            const std::string base = "127.0.0.1:" + std::to_string(origin.port());
            const core::Value done = run(kind, R"(
                const socket = new WebSocket('ws://)" + base + R"(/socket');
                socket.onerror = socket.onclose = () => {
                  fetch('http://)" + base + R"(/after', {mode: 'cors'})
                    .then(r => r.text()).then(t => { window.done = 'closed ' + t; },
                                               e => { window.done = 'closed, fetch ' + e; });
                };
                socket.onopen = () => { window.done = 'opened'; };)");
            EXPECT_EQ(done.stringValue(), "closed ok");
            const auto heads = origin.heads();
            ASSERT_GE(heads.size(), 2u);
            for (const std::string& head : heads) {
                EXPECT_EQ(head.find("Proxy-Authorization"), std::string::npos) << head;
                EXPECT_EQ(head.find(web::protocol::kPageHeader), std::string::npos) << head;
                EXPECT_TRUE(head.starts_with("GET /")) << head;
            }
            EXPECT_TRUE(heads.back().starts_with("GET /after HTTP/1.1\r\n")) << heads.back();
        }
    }
}

// Idle clients of the machine's own, more than the proxy holds of them,
// keep no page from loading: every load of a page that opens new
// connections goes through while they stay.
TEST_F(WebViewStrangerService, APageLoadsWhileIdleStrangersCrowdTheProxy) {
    std::string error;
    const auto* proxy = web::EngineProxy::shared(&error);
    ASSERT_TRUE(proxy) << error;
    std::vector<int> strangers;
    for (int i = 0; i < 200; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(proxy->port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        strangers.push_back(fd);
    }
    ScriptedOrigin origin([](const std::string&) { return kPlainAnswer; });
    // Loads of many hosts at once: each needs connections of its own.
    const core::Value done = run(Kind::UI, R"(
        const loads = [];
        for (let i = 0; i < 40; ++i)
          loads.push(fetch('http://127.0.0.' + (2 + i) + ':)" +
                                               std::to_string(origin.port()) + R"(/x' + i)
                       .then(r => r.text()));
        Promise.all(loads).then(texts => { window.done = texts.join('').length; },
                                e => { window.done = String(e); });)");
    EXPECT_EQ(done.intValue(), 80);
    for (const int fd : strangers) close(fd);
}

// One page's large uploads to a server that never answers keep no other
// view's uploads out; they stay the first page's to wait for.
TEST_F(WebViewStrangerService, APagesHangingUploadsLeaveOtherViewsTheirOwn) {
    ScriptedOrigin silent([](const std::string&) { return std::string(); });
    ScriptedOrigin origin([](const std::string&) { return kPlainAnswer; });
    const auto hogDelegate = std::make_shared<RecordingDelegate>();
    auto hogConfiguration = configurationOf(Kind::UI);
    hogConfiguration.ownWebProcess = true;
    const auto hog = makeView(hogDelegate, hogConfiguration);
    ASSERT_TRUE(hog);
    serveHTML(server, "/hog", R"(<script>
        window.sent = 0;
        for (let i = 0; i < 2; ++i)
          fetch('http://127.0.0.1:)" + std::to_string(silent.port()) + R"(/hog' + i,
                {method: 'POST', mode: 'no-cors', body: new Uint8Array(64 << 20)})
            .then(() => { window.sent += 1; }, e => { window.sent = String(e); });
        </script>)");
    ASSERT_TRUE(loadAndWait(*hog, *hogDelegate, server.url("/hog")));
    ASSERT_TRUE(waitFor([&] { return silent.connections() >= 2; }))
        << silent.connections() << " " << evaluate(*hog, "String(window.sent)").stringValue();
    for (int round = 0; round < 3; ++round) {
        const core::Value done = run(Kind::UI, R"(
            fetch('http://127.0.0.1:)" + std::to_string(origin.port()) + R"(/post',
                  {method: 'POST', body: 'x'.repeat(1024)})
              .then(r => r.text()).then(t => { window.done = t; },
                                        e => { window.done = String(e); });)");
        EXPECT_EQ(done.stringValue(), "ok") << round;
    }
}

// Under a desktop's usual limit of 1024 descriptors, a page that starts 700
// https loads to servers that accept and never answer, at many addresses,
// leaves the app's own open() and socket() working, and every load ends
// (the servers close after a while).
TEST_F(WebViewStrangerService, APagesPendingLoadsLeaveTheAppItsDescriptors) {
    EXPECT_TRUE(testsupport::passesAlone(
        "WebViewStrangerService.DISABLED_PendingLoadsUnderADescriptorLimit", 1024));
}

TEST_F(WebViewStrangerService, DISABLED_PendingLoadsUnderADescriptorLimit) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    ASSERT_LE(limit.rlim_cur, 1024u);
    // Accepts, says nothing, and closes each connection a second later.
    std::atomic<bool> stop{false};
    int port = 0;
    const int listener = listenEverywhere(port);
    std::thread closer([&] {
        std::vector<std::pair<int, std::chrono::steady_clock::time_point>> held;
        while (!stop) {
            pollfd waiting{listener, POLLIN, 0};
            if (poll(&waiting, 1, 20) == 1) {
                const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (peer >= 0) held.emplace_back(peer, std::chrono::steady_clock::now());
            }
            const auto now = std::chrono::steady_clock::now();
            std::erase_if(held, [&](const auto& entry) {
                if (now - entry.second < std::chrono::seconds(1)) return false;
                close(entry.first);
                return true;
            });
        }
        for (const auto& entry : held) close(entry.first);
    });
    const std::shared_ptr<void> joined(nullptr, [&](void*) {
        stop = true;
        if (closer.joinable()) closer.join();
    });

    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(Kind::UI));
    ASSERT_TRUE(view);
    serveHTML(server, "/many", R"(<script>
        window.settled = 0;
        for (let i = 0; i < 700; ++i)
          fetch('https://127.0.0.' + (2 + i % 200) + ':)" + std::to_string(port) + R"(/' + i,
                {mode: 'no-cors'})
            .then(() => { ++window.settled; }, () => { ++window.settled; });
        </script>)");
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/many")));
    size_t refused = 0;
    int lastError = 0;
    const bool ended = waitFor(
        [&] {
            const int file = open("/dev/null", O_RDONLY | O_CLOEXEC);
            const int endpoint = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (file < 0 || endpoint < 0) {
                ++refused;
                lastError = errno;
            }
            if (file >= 0) close(file);
            if (endpoint >= 0) close(endpoint);
            return evaluate(*view, "window.settled").intValue() == 700;
        },
        180);
    stop = true;
    closer.join();
    close(listener);
    EXPECT_TRUE(ended) << evaluate(*view, "window.settled").intValue() << " of 700 ended";
    EXPECT_EQ(refused, 0u) << "the app's own open() or socket() failed: " << strerror(lastError);
}

}  // namespace
