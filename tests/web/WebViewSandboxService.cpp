// Pages are untrusted code: the web process of either kind of view runs in
// the engine's sandbox. It is in namespaces of its own (mounts, network,
// process ids) under a system call filter, and its file system holds none of
// the app's files, only what it needs: the navigation socket and the web
// process extension.

#include <unistd.h>

#include "WebViewTesting.h"
#include "core/FileManager.h"
#include "support/ProcessTree.h"
#include "support/TestEnvironment.h"
#include "web/DecisionServer.h"
#include "web/WebContext.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;

class WebViewSandboxService : public testing::TestWithParam<WebViewConfiguration::Kind> {
protected:
    fixtures::LoopbackServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_P(WebViewSandboxService, ThePagesWebProcessIsConfinedAndSeesOnlyWhatItNeeds) {
    // What the app keeps in its home, which no page may read.
    const std::string secret = testsupport::testHome() + "/Library/Preferences/secret.json";
    ASSERT_TRUE(
        core::FileManager::createDirectory(testsupport::testHome() + "/Library/Preferences", true));
    ASSERT_TRUE(core::FileManager::writeAtomically(secret, "{}"));
    serveHTML(server, "/ad", "<p>ad</p><script>document.title = 'ran'</script>");
    const auto view = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(view);
    ASSERT_TRUE(loadAndWait(*view, *delegate, server.url("/ad")));
    ASSERT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(evaluate(*view, "document.title"), core::Value("ran"));

    const auto processes = testsupport::webProcesses();
    ASSERT_FALSE(processes.empty());
    const web::DecisionServer* decisions = web::DecisionServer::shared(nullptr);
    ASSERT_TRUE(decisions);
    const std::string extension = web::WebContext::extensionFolder() + "/libvantor_webextension.so";
    const pid_t self = getpid();
    for (const pid_t pid : processes) {
        SCOPED_TRACE("web process " + std::to_string(pid));
        for (const char* kind : {"mnt", "net", "pid"}) {
            const std::string theirs = testsupport::namespaceOf(pid, kind);
            ASSERT_FALSE(theirs.empty()) << kind;
            EXPECT_NE(theirs, testsupport::namespaceOf(self, kind)) << kind;
        }
        EXPECT_EQ(testsupport::seccompMode(pid), 2);
        EXPECT_FALSE(testsupport::seesPath(pid, secret));
        EXPECT_TRUE(testsupport::seesPath(pid, decisions->socketPath()));
        EXPECT_TRUE(testsupport::seesPath(pid, extension));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewSandboxService, testing::ValuesIn(kKinds), kindName);

// A web process the engine starts outside its sandbox loads no page: it
// ends as it starts. Web views refuse to start where the environment
// switches the sandbox off, so here it is switched off once they have
// started, for a context made after (in a process of its own, as the
// engine keeps the processes it started).
TEST(WebViewSandboxDeathTest, AWebProcessOutsideTheSandboxEndsBeforeAnyPageRuns) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fixtures::LoopbackServer server;
            serveHTML(server, "/ad", "<img src='/ran'>");
            const auto first = makeView(std::make_shared<RecordingDelegate>(),
                                        configurationOf(WebViewConfiguration::Kind::WK));
            setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
            WebViewConfiguration own = configurationOf(WebViewConfiguration::Kind::WK);
            own.ownDataStore = true;
            const auto delegate = std::make_shared<RecordingDelegate>();
            const auto view = makeView(delegate, own);
            if (!first || !view) std::exit(2);
            view->loadRequest(core::URLRequest(server.url("/ad")));
            const bool ended = waitFor([&] { return !delegate->terminations.empty(); });
            (void)waitFor([&] { return !server.requestsTo("/ran").empty(); }, 2);
            std::exit(ended && server.requestsTo("/ran").empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "this web process runs outside the engine's sandbox");
}

}  // namespace
