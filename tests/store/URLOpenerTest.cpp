#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Console.h"
#include "store/URLOpener.h"

using store::URLOpener;

namespace {

class URLOpenerTest : public testing::Test {
protected:
    void SetUp() override { URLOpener::shared().clearForTesting(); }
    void TearDown() override { URLOpener::shared().clearForTesting(); }

    static core::URL url(const std::string& text) {
        auto parsed = core::URL::create(text);
        EXPECT_TRUE(parsed) << text;
        return parsed.value_or(core::URL::fileURL("/"));
    }
    static std::vector<std::string> opened() {
        std::vector<std::string> texts;
        for (const auto& u : URLOpener::shared().openedURLs()) texts.push_back(u.absoluteString());
        return texts;
    }
};

TEST_F(URLOpenerTest, RefusesEverythingButHttpAndHttps) {
    const core::Console::Capture console;
    for (const char* text : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b.c",
                             "ftp://example.com/x", "itms-apps://app/1"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(URLOpener::shared().open(url(text)));
    }
    EXPECT_TRUE(opened().empty());
    // Each refused attempt is kept apart, store links included.
    const auto refused = URLOpener::shared().refusedURLs();
    ASSERT_EQ(refused.size(), 5u);
    EXPECT_EQ(refused[4].absoluteString(), "itms-apps://app/1");
    EXPECT_TRUE(console.contains("javascript:alert(1)"));
    EXPECT_TRUE(console.contains("file:///etc/passwd"));
}

TEST_F(URLOpenerTest, RecordsAcceptedURLsInOrder) {
    EXPECT_TRUE(URLOpener::shared().open(url("https://example.com/@someone")));
    EXPECT_TRUE(URLOpener::shared().open(url("HTTP://example.org/a?b=1")));
    EXPECT_TRUE(URLOpener::shared().open(url("https://example.com/@someone")));
    EXPECT_EQ(opened(),
              (std::vector<std::string>{"https://example.com/@someone", "HTTP://example.org/a?b=1",
                                        "https://example.com/@someone"}));
    EXPECT_TRUE(URLOpener::shared().refusedURLs().empty());
    EXPECT_FALSE(URLOpener::shared().open(url("itms-apps://app/1")));
    URLOpener::shared().clearForTesting();
    EXPECT_TRUE(opened().empty());
    EXPECT_TRUE(URLOpener::shared().refusedURLs().empty());
}

TEST_F(URLOpenerTest, SystemOpenerIsOffByDefaultAndBlockedByTheEnvironment) {
    EXPECT_FALSE(URLOpener::shared().launchesSystemOpener());
    // Enabled, but the environment forbids launching: still recorded, nothing started.
    ASSERT_EQ(setenv("VANTOR_NO_OPENER", "1", 1), 0);
    URLOpener::shared().setLaunchesSystemOpener(true);
    EXPECT_TRUE(URLOpener::shared().open(url("https://example.com/")));
    URLOpener::shared().setLaunchesSystemOpener(false);
    unsetenv("VANTOR_NO_OPENER");
    EXPECT_EQ(opened(), std::vector<std::string>{"https://example.com/"});
}

}  // namespace
