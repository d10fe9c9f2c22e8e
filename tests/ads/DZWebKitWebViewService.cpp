// The WebKit kind's user scripts on pages of the local ad server: the MRAID
// swap (the delegate's script URL in place of the page's "mraid.js", also
// for scripts inserted later) and the viewport fix; and the engine's sandbox
// around the ad page's web process.

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "AdWebTesting.h"
#include "ads/web/view/DZWebKitWebView.h"
#include "core/FileManager.h"
#include "fixtures/AdServer.h"
#include "support/ProcessTree.h"

namespace {

using namespace adwebtesting;

constexpr const char* kRecord = "window.order = (window.order || []).concat";

class MRAIDAnswers : public ads::DZWebKitWebViewMRAIDDelegate {
public:
    std::vector<std::optional<std::string>> answers;
    size_t asked = 0;

    std::optional<std::string> MRAIDJavaScriptURLStringForWebView(ads::DZWebView&) override {
        if (answers.empty()) return std::nullopt;
        return answers[std::min(asked++, answers.size() - 1)];
    }
};

class DZWebKitWebViewService : public testing::Test {
protected:
    void SetUp() override {
        serveScript("/test/adview/mraid.js", "original");
        serveScript("/test/adview/sdk-mraid.js", "substitute");
        delegate->decide = nullptr;
    }

    void serveScript(const std::string& path, const std::string& name) {
        server.serve(path,
                     fixtures::LoopbackResponse::text(std::string(kRecord) + "(['" + name + "']);",
                                                      200, "text/javascript"));
    }
    void servePage(const std::string& path, const std::string& html) {
        server.serve(path, fixtures::LoopbackResponse::text(html, 200, "text/html; charset=utf-8"));
    }

    std::shared_ptr<ads::DZWebKitWebView> makeView(ads::DZWebViewConfiguration configuration = {}) {
        auto view = ads::DZWebKitWebView::create({0, 0, 320, 50}, configuration);
        EXPECT_TRUE(view);
        if (view) {
            view->setDelegate(delegate);
            view->setMRAIDDelegate(mraid);
        }
        return view;
    }
    [[nodiscard]] bool load(ads::DZWebView& view, const std::string& path) {
        const size_t before = delegate->events.size();
        view.loadRequest(core::URLRequest(server.url(path)));
        return waitFor(
            [&] { return delegate->events.size() > before && delegate->events.back() != "start"; });
    }
    // window.order once it holds count entries.
    core::Value orderOnceItHolds(ads::DZWebView& view, size_t count) {
        core::Value order;
        (void)waitFor([&] {
            order = evaluate(view, "window.order || []");
            return order.size() >= count;
        });
        return order;
    }

    fixtures::AdServer server;
    std::shared_ptr<RecordingWebViewDelegate> delegate =
        std::make_shared<RecordingWebViewDelegate>();
    std::shared_ptr<MRAIDAnswers> mraid = std::make_shared<MRAIDAnswers>();
};

core::Value strings(std::initializer_list<const char*> items) {
    core::Array array;
    for (const char* item : items) array.emplace_back(item);
    return core::Value(std::move(array));
}

TEST_F(DZWebKitWebViewService, ThePagesMRAIDScriptIsSwappedBeforeItsOwnScriptsRun) {
    mraid->answers = {server.urlString("/test/adview/sdk-mraid.js")};
    servePage("/test/adview/sync.html", "<html><head><script src='/test/adview/mraid.js'></script>"
                                        "<script>" +
                                            std::string(kRecord) +
                                            "(['page']);</script></head><body></body></html>");
    servePage("/test/adview/async.html",
              "<html><head><script async src='/test/adview/mraid.js'></script>"
              "<script>" +
                  std::string(kRecord) + "(['page']);</script></head><body></body></html>");
    const auto view = makeView();
    ASSERT_TRUE(view);

    ASSERT_TRUE(load(*view, "/test/adview/sync.html"));
    EXPECT_TRUE(view->isMRAIDLoaded());
    EXPECT_EQ(orderOnceItHolds(*view, 2), strings({"substitute", "page"}));

    // A script the page loads asynchronously is swapped too.
    ASSERT_TRUE(load(*view, "/test/adview/async.html"));
    const core::Value order = orderOnceItHolds(*view, 2);
    std::set<std::string> ran;
    for (const auto& entry : *order.array()) ran.insert(entry.stringValue());
    EXPECT_EQ(ran, (std::set<std::string>{"page", "substitute"})) << core::describe(order);
    EXPECT_EQ(mraid->asked, 1u);  // added once, kept for later loads
}

TEST_F(DZWebKitWebViewService, AScriptMetAfterTheFirstChangeIsReplacedByANewElement) {
    mraid->answers = {server.urlString("/test/adview/sdk-mraid.js")};
    // The inline script comes first: the swap sees the page change before
    // the MRAID script is there, and replaces that one when it comes.
    servePage("/test/adview/late.html",
              "<html><head><script>" + std::string(kRecord) +
                  "(['first']);</script><script src='/test/adview/mraid.js'></script>"
                  "</head><body></body></html>");
    servePage("/test/adview/plain.html", "<html><head></head><body>plain</body></html>");
    const auto view = makeView();
    ASSERT_TRUE(view);

    ASSERT_TRUE(load(*view, "/test/adview/late.html"));
    EXPECT_EQ(orderOnceItHolds(*view, 2), strings({"first", "substitute"}));
    EXPECT_EQ(evaluate(*view, "document.querySelectorAll('script[src$=\"sdk-mraid.js\"]').length"),
              core::Value(1));
    EXPECT_EQ(evaluate(*view, "document.querySelectorAll('script[src$=\"/mraid.js\"]').length"),
              core::Value(0));

    // A script inserted after the page has loaded.
    ASSERT_TRUE(load(*view, "/test/adview/plain.html"));
    (void)evaluate(*view,
                   "var s = document.createElement('script'); s.src = '/test/adview/mraid.js';"
                   "document.body.appendChild(s); 0");
    ASSERT_TRUE(waitFor([&] {
        const core::Value order = evaluate(*view, "window.order || []");
        for (const auto& entry : *order.array())
            if (entry.stringValue() == "substitute") return true;
        return false;
    }));
}

TEST_F(DZWebKitWebViewService, AnEmptyAnswerIsAskedAgainAtTheNextLoad) {
    mraid->answers = {"", server.urlString("/test/adview/sdk-mraid.js")};
    servePage("/test/adview/sync.html",
              "<html><head><script src='/test/adview/mraid.js'></script></head></html>");
    const auto view = makeView();
    ASSERT_TRUE(view);

    ASSERT_TRUE(load(*view, "/test/adview/sync.html"));
    EXPECT_FALSE(view->isMRAIDLoaded());
    EXPECT_EQ(orderOnceItHolds(*view, 1), strings({"original"}));

    ASSERT_TRUE(load(*view, "/test/adview/sync.html"));
    EXPECT_TRUE(view->isMRAIDLoaded());
    EXPECT_EQ(orderOnceItHolds(*view, 1), strings({"substitute"}));
    ASSERT_TRUE(load(*view, "/test/adview/sync.html"));
    EXPECT_EQ(mraid->asked, 2u);
}

TEST_F(DZWebKitWebViewService, TheViewportIsFixedAtScaleOne) {
    const std::string fixed = "initial-scale=1,minimum-scale=1,maximum-scale=1,user-scalable=no";
    servePage("/test/adview/meta.html",
              "<html><head><meta name=viewport content='width=device-width'></head></html>");
    servePage("/test/adview/bare.html", "<html><head></head><body>bare</body></html>");
    servePage("/test/adview/headless.html",
              "<html><body><script>document.documentElement.removeChild(document.head);"
              "</script></body></html>");
    const char* viewport = "document.querySelector('meta[name=viewport]') ? "
                           "document.querySelector('meta[name=viewport]').content : null";
    const char* inHead = "document.querySelector('head > meta[name=viewport]') !== null";
    const auto view = makeView();
    ASSERT_TRUE(view);

    ASSERT_TRUE(load(*view, "/test/adview/meta.html"));
    EXPECT_EQ(evaluate(*view, viewport), core::Value(fixed));
    EXPECT_EQ(evaluate(*view, "document.querySelectorAll('meta').length"), core::Value(1));
    ASSERT_TRUE(load(*view, "/test/adview/bare.html"));
    EXPECT_EQ(evaluate(*view, viewport), core::Value(fixed));
    EXPECT_EQ(evaluate(*view, inHead), core::Value(true));
    ASSERT_TRUE(load(*view, "/test/adview/headless.html"));
    EXPECT_EQ(evaluate(*view, viewport), core::Value(fixed));
    EXPECT_EQ(evaluate(*view, inHead), core::Value(true));
    EXPECT_TRUE(view->isViewportLoaded());

    // A page scaled to fit keeps its own viewport.
    ads::DZWebViewConfiguration scaled;
    scaled.setScalesPageToFit(true);
    const auto scaledView = makeView(scaled);
    ASSERT_TRUE(load(*scaledView, "/test/adview/bare.html"));
    EXPECT_TRUE(scaledView->isViewportLoaded());
    EXPECT_EQ(evaluate(*scaledView, viewport), core::Value());

    // The server's script, when it sends one.
    ConstantsScope constants;
    constants.set(ads::DZWebKitWebView::kViewportScriptKey, "window.serverViewport = 1;");
    const auto serverView = makeView();
    ASSERT_TRUE(load(*serverView, "/test/adview/bare.html"));
    EXPECT_EQ(evaluate(*serverView, "window.serverViewport"), core::Value(1));
    EXPECT_EQ(evaluate(*serverView, viewport), core::Value());
}

TEST_F(DZWebKitWebViewService, AnAdPageRunsInTheEnginesSandbox) {
    // The SDK's stored state, which an ad page must not read.
    const std::string defaults =
        core::FileManager::folderPath(core::Folder::Preferences) + "/sandbox-probe.json";
    ASSERT_TRUE(core::FileManager::createFolder(core::Folder::Preferences));
    ASSERT_TRUE(core::FileManager::writeAtomically(defaults, "{}"));
    servePage("/test/adview/ad.html", "<html><body><script>window.ran = 1;</script></body></html>");
    const auto view = makeView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(load(*view, "/test/adview/ad.html"));
    EXPECT_EQ(evaluate(*view, "window.ran"), core::Value(1));

    const auto processes = testsupport::webProcesses();
    ASSERT_FALSE(processes.empty());
    for (const pid_t pid : processes) {
        SCOPED_TRACE("web process " + std::to_string(pid));
        const std::string mounts = testsupport::namespaceOf(pid, "mnt");
        ASSERT_FALSE(mounts.empty());
        EXPECT_NE(mounts, testsupport::namespaceOf(getpid(), "mnt"));
        EXPECT_NE(testsupport::namespaceOf(pid, "net"), testsupport::namespaceOf(getpid(), "net"));
        EXPECT_EQ(testsupport::seccompMode(pid), 2);
        EXPECT_FALSE(testsupport::seesPath(pid, defaults));
        EXPECT_TRUE(testsupport::seesPath(pid, "/usr/lib"));
    }
}

}  // namespace
