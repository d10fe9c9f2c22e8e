// A page that starts many loads at once, to many hosts, of an origin that
// answers at once: every load goes through in both kinds of view, as the
// engine opens a connection of its own for each host and several per host,
// far more than a few at a time.

#include "ScriptedOrigin.h"
#include "WebViewTesting.h"
#include "web/proxy/ProxySocks.h"

namespace {

using namespace webtesting;
using Kind = web::WebViewConfiguration::Kind;

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
    ScriptedOrigin origin([](const std::string&) { return kPlainAnswer; });
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(view);
    for (const auto& burst : {std::pair(240, 60), std::pair(480, 480)}) {
        const int loads = burst.first;
        const int hosts = burst.second;
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
