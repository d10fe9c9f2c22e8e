#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/RunLoop.h"
#include "store/URLOpener.h"
#include "ui/DeviceProfile.h"

using store::URLOpener;

namespace {

class URLOpenerTest : public testing::Test {
protected:
    void SetUp() override {
        URLOpener::shared().clearForTesting();
        ui::DeviceProfile profile = saved_;
        profile.openableSchemes = {"http", "https", "tel", "mailto"};
        ui::DeviceProfile::overrideForTesting(profile);
    }
    void TearDown() override {
        URLOpener::shared().clearForTesting();
        URLOpener::shared().setLauncherForTesting(nullptr);
        URLOpener::shared().setLaunchesSystemOpener(false);
        URLOpener::shared().setDesktopHandlersForTesting(std::nullopt);
        ui::DeviceProfile::overrideForTesting(saved_);
    }

    static core::URL url(const std::string& text) {
        auto parsed = core::URL::create(text);
        EXPECT_TRUE(parsed) << text;
        return parsed.value_or(core::URL::fileURL("/"));
    }
    static std::vector<std::string> texts(const std::vector<core::URL>& urls) {
        std::vector<std::string> out;
        for (const auto& u : urls) out.push_back(u.absoluteString());
        return out;
    }
    // Opens with a completion and waits for its answer.
    static bool openAndWait(const std::string& text, bool universalLinksOnly) {
        std::optional<bool> answer;
        URLOpener::shared().open(url(text), universalLinksOnly,
                                 [&](bool opened) { answer = opened; });
        // Never answered before the call returns.
        EXPECT_FALSE(answer.has_value());
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return answer.has_value(); }, 10));
        return answer.value_or(false);
    }

    const ui::DeviceProfile saved_ = ui::DeviceProfile::current();
};

TEST_F(URLOpenerTest, TheDeviceProfileSaysWhichSchemesOpen) {
    const core::Console::Capture console;
    const struct {
        const char* text;
        bool opens;
    } cases[] = {
        {"https://example.com/@someone", true},
        {"HTTP://example.org/a?b=1", true},
        {"tel:+15551234", true},
        {"MAILTO:a@b.c", true},
        {"sms:+15551234", false},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"about:blank", false},
        {"data:text/html,hi", false},
        {"itms-apps://app/1", false},
    };
    std::vector<URLOpener::Request> expected;
    for (const auto& c : cases) {
        EXPECT_EQ(URLOpener::shared().open(url(c.text)), c.opens) << c.text;
        EXPECT_EQ(URLOpener::shared().canOpenURL(url(c.text)), c.opens) << c.text;
        expected.push_back({url(c.text), false, c.opens});
    }
    EXPECT_EQ(URLOpener::shared().requests(), expected);
    ASSERT_FALSE(URLOpener::shared().refusedURLs().empty());
    EXPECT_EQ(texts(URLOpener::shared().refusedURLs()).front(), "sms:+15551234");
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 4u);
    EXPECT_TRUE(console.contains("javascript:alert(1)"));
    EXPECT_FALSE(console.contains("tel:+15551234"));

    // Another profile, another answer.
    ui::DeviceProfile pad = ui::DeviceProfile::current();
    pad.openableSchemes = {"https"};
    ui::DeviceProfile::overrideForTesting(pad);
    EXPECT_FALSE(URLOpener::shared().open(url("tel:+15551234")));
    EXPECT_FALSE(URLOpener::shared().open(url("http://example.org/")));

    URLOpener::shared().clearForTesting();
    EXPECT_TRUE(URLOpener::shared().requests().empty());
}

TEST_F(URLOpenerTest, HandlerEntriesAnswerInsteadOfTheProfile) {
    URLOpener& opener = URLOpener::shared();
    std::vector<std::string> handled;
    opener.setHandler("ITMS-APPS", [&](const core::URL& u) {
        handled.push_back(u.absoluteString());
        return u.path() != "/refused";
    });
    opener.setHandler("tel", nullptr);
    EXPECT_TRUE(opener.open(url("itms-apps://app/1")));
    EXPECT_FALSE(opener.open(url("itms-apps://app/refused")));
    EXPECT_TRUE(opener.canOpenURL(url("itms-apps://app/refused")));
    EXPECT_FALSE(opener.open(url("tel:+15551234")));
    EXPECT_FALSE(opener.canOpenURL(url("tel:+15551234")));
    EXPECT_EQ(handled, (std::vector<std::string>{"itms-apps://app/1", "itms-apps://app/refused"}));

    opener.removeHandler("TEL");
    EXPECT_TRUE(opener.open(url("tel:+15551234")));
    opener.clearForTesting();
    EXPECT_FALSE(opener.open(url("itms-apps://app/1")));
    EXPECT_EQ(handled.size(), 2u);
}

TEST_F(URLOpenerTest, UniversalLinksOpenOnlyForRegisteredHosts) {
    URLOpener& opener = URLOpener::shared();
    int handlerCalls = 0;
    opener.setHandler("https", [&](const core::URL&) { return ++handlerCalls > 0; });
    opener.registerAppLinkHost("Shop.Example");

    EXPECT_TRUE(openAndWait("https://shop.example/item/1", true));
    EXPECT_TRUE(openAndWait("HTTP://SHOP.EXAMPLE/", true));
    EXPECT_FALSE(openAndWait("https://other.example/item/1", true));
    EXPECT_FALSE(openAndWait("https://sub.shop.example/", true));
    EXPECT_FALSE(openAndWait("shop://shop.example/", true));
    EXPECT_EQ(handlerCalls, 0);
    // Without the restriction the table answers.
    EXPECT_TRUE(openAndWait("https://other.example/item/1", false));
    EXPECT_EQ(handlerCalls, 1);

    // The options form reads the restriction from the dictionary.
    core::Dictionary strict;
    strict.set(URLOpener::kUniversalLinksOnlyOption, true);
    std::vector<bool> answers;
    opener.open(url("https://other.example/"), strict, [&](bool o) { answers.push_back(o); });
    opener.open(url("https://other.example/"), core::Dictionary(),
                [&](bool o) { answers.push_back(o); });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return answers.size() == 2; }, 10));
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));

    const auto requests = opener.requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_TRUE(requests[0].universalLinksOnly);
    EXPECT_TRUE(requests[6].universalLinksOnly);
    EXPECT_FALSE(requests[7].universalLinksOnly);
}

TEST_F(URLOpenerTest, OnlyOpenedWebURLsLaunchTheDesktopOpener) {
    URLOpener& opener = URLOpener::shared();
    EXPECT_FALSE(opener.launchesSystemOpener());
    std::vector<std::string> launched;
    opener.setLauncherForTesting([&](const std::string& u) { launched.push_back(u); });
    opener.setDesktopHandlersForTesting(URLOpener::DesktopHandlers{
        [](const std::string&) { return true; }, [](const core::URL&) { return true; }});
    opener.registerAppLinkHost("shop.example");

    // Off by default: nothing launches.
    EXPECT_TRUE(opener.open(url("https://example.com/off")));
    opener.setLaunchesSystemOpener(true);
    EXPECT_TRUE(opener.open(url("https://example.com/on")));
    EXPECT_TRUE(opener.open(url("tel:+15551234")));
    EXPECT_TRUE(opener.open(url("mailto:a@b.c")));
    EXPECT_FALSE(opener.open(url("file:///etc/passwd")));
    opener.open(url("https://shop.example/item"), true, nullptr);
    opener.setHandler("http", nullptr);
    EXPECT_FALSE(opener.open(url("http://example.com/refused")));
    EXPECT_EQ(launched,
              (std::vector<std::string>{"https://example.com/on", "https://shop.example/item"}));

    // The environment forbids launching: still recorded, nothing started.
    ASSERT_EQ(setenv("VANTOR_NO_OPENER", "1", 1), 0);
    EXPECT_TRUE(opener.open(url("https://example.com/blocked")));
    unsetenv("VANTOR_NO_OPENER");
    EXPECT_EQ(launched.size(), 2u);
    ASSERT_FALSE(opener.openedURLs().empty());
    EXPECT_EQ(texts(opener.openedURLs()).back(), "https://example.com/blocked");
}

// Other schemes go to the handler the desktop registered, only where the
// opener launches (the desktop window), only for schemes the profile lists,
// and a scheme the desktop has no handler for cannot be opened there.
TEST_F(URLOpenerTest, OtherSchemesGoToTheDesktopsHandlersOnlyFromTheWindow) {
    URLOpener& opener = URLOpener::shared();
    std::vector<std::string> asked;
    std::vector<std::string> handed;
    bool launchWorks = true;
    opener.setDesktopHandlersForTesting(URLOpener::DesktopHandlers{
        [&](const std::string& scheme) {
            asked.push_back(scheme);
            return scheme == "tel" || scheme == "sms";
        },
        [&](const core::URL& u) {
            handed.push_back(u.absoluteString());
            return launchWorks;
        }});
    ui::DeviceProfile profile = ui::DeviceProfile::current();
    profile.openableSchemes = {"http", "https", "tel", "mailto", "sms"};
    ui::DeviceProfile::overrideForTesting(profile);

    // Headless: the profile answers and nothing reaches the desktop.
    EXPECT_TRUE(opener.canOpenURL(url("mailto:a@b.c")));
    EXPECT_TRUE(opener.open(url("mailto:a@b.c")));
    EXPECT_TRUE(handed.empty());
    EXPECT_TRUE(asked.empty());

    opener.setLaunchesSystemOpener(true);
    EXPECT_TRUE(opener.canOpenURL(url("TEL:+15551234")));
    EXPECT_TRUE(opener.open(url("TEL:+15551234")));
    EXPECT_EQ(handed, std::vector<std::string>{"TEL:+15551234"});
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), "tel") << "handlers are registered by lower-case scheme";

    // No handler on the desktop: cannot open, and not recorded as opened.
    const core::Console::Capture console;
    EXPECT_FALSE(opener.canOpenURL(url("mailto:a@b.c")));
    EXPECT_FALSE(opener.open(url("mailto:a@b.c?subject=x")));
    EXPECT_EQ(handed.size(), 1u);
    ASSERT_FALSE(opener.requests().empty());
    EXPECT_EQ(opener.requests().back(),
              (URLOpener::Request{url("mailto:a@b.c?subject=x"), false, false}));
    EXPECT_TRUE(console.contains("nothing opens 'mailto:a@b.c?subject=x'"));

    // A handler that does not start has not opened the URL either.
    launchWorks = false;
    EXPECT_FALSE(opener.open(url("sms:+15550000")));
    ASSERT_FALSE(handed.empty());
    EXPECT_EQ(handed.back(), "sms:+15550000");
    EXPECT_EQ(texts(opener.openedURLs()),
              (std::vector<std::string>{"mailto:a@b.c", "TEL:+15551234"}));

    // A scheme the profile does not list is refused before the desktop is asked.
    asked.clear();
    EXPECT_FALSE(opener.canOpenURL(url("facetime:x")));
    EXPECT_FALSE(opener.open(url("facetime:x")));
    EXPECT_TRUE(asked.empty());

    // A test's handler entry answers instead of the desktop.
    launchWorks = true;
    opener.setHandler("mailto", [](const core::URL&) { return true; });
    EXPECT_TRUE(opener.open(url("mailto:c@d.e")));
    EXPECT_EQ(handed.size(), 2u);
}

// Without a stand-in, GIO is asked: a scheme no desktop registers a handler
// for cannot be opened from the window.
TEST_F(URLOpenerTest, ASchemeWithoutADesktopHandlerCannotOpenFromTheWindow) {
    URLOpener& opener = URLOpener::shared();
    ui::DeviceProfile profile = ui::DeviceProfile::current();
    profile.openableSchemes = {"http", "https", "x-vantor-unclaimed"};
    ui::DeviceProfile::overrideForTesting(profile);
    const core::URL unclaimed = url("x-vantor-unclaimed:hello");
    EXPECT_TRUE(opener.open(unclaimed)) << "headless, the profile answers";
    opener.setLaunchesSystemOpener(true);
    EXPECT_FALSE(opener.canOpenURL(unclaimed));
    EXPECT_FALSE(opener.open(unclaimed));
    EXPECT_EQ(opener.openedURLs().size(), 1u);
}

}  // namespace
