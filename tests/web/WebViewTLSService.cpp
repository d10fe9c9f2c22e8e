// Web views over https to a server whose certificate an authority of the
// app's own signed: untrusted until the app names that authority (in code
// or through VANTOR_CA_FILE), and then loaded with verification on.

#include "WebViewTesting.h"
#include "core/ScopedEnvironment.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/TestCertificates.h"
#include "web/TrustedAuthorities.h"

namespace {

using namespace webtesting;

class WebViewTLSService : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
        server.serve("/tls/page", fixtures::LoopbackResponse::text(
                                      "<body><p id=t>over tls</p><script src='/tls/script.js'>"
                                      "</script></body>",
                                      200, "text/html; charset=utf-8"));
        server.serve("/tls/script.js", fixtures::LoopbackResponse::text("window.scriptRan = true;",
                                                                        200, "text/javascript"));
    }
    void TearDown() override { web::TrustedAuthorities::setPEM({}); }

    // The app trusts the test authority, and tls serves, with identity, a
    // page at /tls/page whose paragraph "t" holds text.
    static void serveTrustedPage(fixtures::LoopbackServer& tls,
                                 fixtures::LoopbackServer::Identity identity,
                                 const std::string& text) {
        web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
        tls.startTLS(fixtures::LoopbackServer::kDefaultTLSWorkerThreads, identity);
        tls.on("GET", "/tls/page", [text](const auto&) {
            return fixtures::LoopbackResponse::text("<p id=t>" + text + "</p>", 200,
                                                    "text/html; charset=utf-8");
        });
    }

    testsupport::ScopedEnvironment environment;
    fixtures::AdServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(WebViewTLSService, AWKPageLoadsOverHTTPSOnceItsAuthorityIsTrusted) {
    const auto& certificates = fixtures::TestCertificates::shared();
    const auto view = makeView(delegate, configurationOf(web::WebViewConfiguration::Kind::WK));
    ASSERT_TRUE(view);
    // The engine accepts a certificate for a host for the rest of the
    // process, in every view of both kinds (they share its context): the
    // other tests reach the server as 127.0.0.1, this one by name.
    const core::URL page = *core::URL::create(
        "https://localhost:" + std::to_string(server.server().securePort()) + "/tls/page");

    // The engine knows only the system's authorities: the load fails.
    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(delegate->errors[0].code, -1200);
    EXPECT_EQ(delegate->count("finish"), 0u);

    // An authority named in the environment: the page and its script load.
    environment.set(core::kTrustedCertificatesFileVariable, certificates.authorityFile());
    ASSERT_TRUE(loadAndWait(*view, *delegate, page));
    EXPECT_EQ(delegate->count("finish"), 1u) << testing::PrintToString(delegate->events);
    EXPECT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(evaluate(*view, "document.getElementById('t').textContent"), core::Value("over tls"));
    EXPECT_EQ(evaluate(*view, "window.scriptRan === true"), core::Value(true));
    EXPECT_EQ(view->mainFrameStatusCode(), 200);
    EXPECT_EQ(delegate->count("start"), 2u);  // one start for the load that went on
}

TEST_F(WebViewTLSService, AuthoritiesSetInCodeServeBothKinds) {
    web::TrustedAuthorities::setPEM(fixtures::TestCertificates::shared().authorityPEM());
    for (const auto kind : kKinds) {
        SCOPED_TRACE(kindLabel(kind));
        const auto kindDelegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(kindDelegate, configurationOf(kind));
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *kindDelegate, server.secureURL("/tls/page")));
        EXPECT_EQ(kindDelegate->events.back(), "finish");
        EXPECT_EQ(evaluate(*view, "window.scriptRan === true"), core::Value(true));
    }
}

// A certificate the app's authority signed, but for another host than the
// page's, is refused in both kinds: by the "WK" kind's own check, and by
// the proxy's onward load.
TEST_F(WebViewTLSService, ACertificateForAnotherHostFailsInBothKinds) {
    fixtures::LoopbackServer elsewhere;
    serveTrustedPage(elsewhere, fixtures::LoopbackServer::Identity::elsewhere, "elsewhere");
    for (const auto kind : kKinds) {
        SCOPED_TRACE(kindLabel(kind));
        const auto kindDelegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(kindDelegate, configurationOf(kind));
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *kindDelegate, elsewhere.secureURL("/tls/page")));
        ASSERT_EQ(kindDelegate->errors.size(), 1u);
        EXPECT_EQ(kindDelegate->errors[0].code, -1200);
        EXPECT_EQ(kindDelegate->count("finish"), 0u);
    }
    EXPECT_TRUE(elsewhere.requests().empty());
}

// A server that answers with another certificate on each connection, as
// servers behind a balancer may while one of them is renewed: each is
// trusted, and the "WK" kind, refused again for the next one after it
// accepted the first, goes on until the page loads (in a fresh process the
// engine accepts neither beforehand).
TEST_F(WebViewTLSService, AServerThatChangesItsCertificateBetweenConnectionsLoadsInBothKinds) {
    fixtures::LoopbackServer renewing;
    serveTrustedPage(renewing, fixtures::LoopbackServer::Identity::alternating, "renewed");
    for (const auto kind : kKinds) {
        SCOPED_TRACE(kindLabel(kind));
        const auto kindDelegate = std::make_shared<RecordingDelegate>();
        const auto view = makeView(kindDelegate, configurationOf(kind));
        ASSERT_TRUE(view);
        ASSERT_TRUE(loadAndWait(*view, *kindDelegate, renewing.secureURL("/tls/page")));
        EXPECT_EQ(kindDelegate->events, (std::vector<std::string>{"start", "commit", "finish"}))
            << testing::PrintToString(kindDelegate->events);
        EXPECT_EQ(evaluate(*view, "document.getElementById('t').textContent"),
                  core::Value("renewed"));
    }
}

}  // namespace
