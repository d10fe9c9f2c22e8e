// Dmsg messages from URLs, and the script call that notifies a page.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ads/web/view/DZJavaScriptMessageCall.h"
#include "ads/web/view/DZNotification.h"
#include "support/ValuePrinting.h"

namespace {

using ads::DZNotification;

std::shared_ptr<const DZNotification> fromURL(const std::string& text) {
    return DZNotification::create(core::URL::create(text));
}

TEST(DZNotificationTest, NamesAndParametersFromURLs) {
    struct Case {
        std::string url;
        std::optional<std::string> name;  // nullopt: no message
        core::Dictionary parameters;
    };
    const Case cases[] = {
        {"DMSG://host/loadAd", "loadAd", {}},
        {"dmsg://host/LoadAd", "LoadAd", {}},
        {"dmsg:///adResized", "adResized", {}},
        {"dmsg://adResized", std::nullopt, {}},  // the name in the host is no name
        // A path without its leading "/" names nothing (no character of
        // the name is dropped), nor does a name holding "/" or a control.
        {"dmsg:adResized", std::nullopt, {}},
        {"dmsg:xsaveState", std::nullopt, {}},
        {"dmsg:/saveState", "saveState", {}},
        {"dmsg://h/a/b", std::nullopt, {}},
        {"dmsg://h/a%2Fb", std::nullopt, {}},
        {"dmsg://h/save%0AState", std::nullopt, {}},
        {"dmsg://h/save%7FState", std::nullopt, {}},
        {"dmsg://h/save%00State", std::nullopt, {}},
        {"dmsg://h/", std::nullopt, {}},
        {"dmsg://h/n%20x", "n x", {}},
        {"dmsg://h/n?a=1&b=2;c=%20x", "n", {{"a", "1"}, {"b", "2"}, {"c", " x"}}},
        {"dmsg://h/n?a=1&a=2", "n", {{"a", "2"}}},
        {"dmsg://h/n?b&a=1=2&c=3&d=%FF", "n", {{"c", "3"}}},  // malformed pieces dropped
        {"dmsg://h/n?Key=V", "n", {{"Key", "V"}}},            // keys keep their case
        {"http://h/loadAd", std::nullopt, {}},
        {"dmsgx://h/loadAd", std::nullopt, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.url);
        const auto message = fromURL(test.url);
        ASSERT_EQ(message != nullptr, test.name.has_value());
        if (!message) continue;
        EXPECT_EQ(message->name(), *test.name);
        EXPECT_EQ(message->parameters(), test.parameters);
    }
    EXPECT_TRUE(DZNotification::isNotificationURL(core::URL::create("DmSg://x")));
    EXPECT_FALSE(DZNotification::isNotificationURL(std::nullopt));
    EXPECT_EQ(DZNotification::create(std::nullopt), nullptr);
}

TEST(DZNotificationTest, MadeFromANameAndParameters) {
    EXPECT_EQ(DZNotification::create("", {{"a", "1"}}), nullptr);
    const auto message = DZNotification::create("open", {{"u", "x"}});
    ASSERT_TRUE(message);
    EXPECT_EQ(message->parameters(), (core::Dictionary{{"u", "x"}}));
    const std::string description = message->description();
    EXPECT_EQ(description.rfind("<DZNotification: 0x", 0), 0u) << description;
    EXPECT_NE(description.find("> name:open parameters:"), std::string::npos) << description;
    EXPECT_NE(description.find("u = x"), std::string::npos) << description;
}

TEST(DZNotificationTest, ScriptCallText) {
    using ads::DZJavaScriptMessageCall;
    EXPECT_EQ(DZJavaScriptMessageCall("n", std::nullopt), "DUZO_ReceiveMessage('n');");
    EXPECT_EQ(DZJavaScriptMessageCall("n", core::Value(core::Dictionary())),
              "DUZO_ReceiveMessage('n', {});");
    EXPECT_EQ(DZJavaScriptMessageCall("onSizeChanged",
                                      core::Value(core::Dictionary{{"width", 320}, {"s", "a/b"}})),
              "DUZO_ReceiveMessage('onSizeChanged', {\"width\":320,\"s\":\"a\\/b\"});");
    EXPECT_EQ(DZJavaScriptMessageCall("n", core::Value(core::Array{1, "x"})),
              "DUZO_ReceiveMessage('n', [1,\"x\"]);");
    // What JSON cannot hold, or a value that is no collection, gives the
    // call without an argument.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(DZJavaScriptMessageCall("n", core::Value(core::Dictionary{{"x", nan}})),
              "DUZO_ReceiveMessage('n');");
    EXPECT_EQ(DZJavaScriptMessageCall("n", core::Value("text")), "DUZO_ReceiveMessage('n');");
}

TEST(DZNotificationTest, ANameCannotBreakOutOfTheCall) {
    using ads::DZJavaScriptMessageCall;
    EXPECT_EQ(DZJavaScriptMessageCall("a');alert(1);('", std::nullopt),
              "DUZO_ReceiveMessage('a\\');alert(1);(\\'');");
    EXPECT_EQ(DZJavaScriptMessageCall("a\\", std::nullopt), "DUZO_ReceiveMessage('a\\\\');");
    EXPECT_EQ(DZJavaScriptMessageCall("a\nb\rc\x01", std::nullopt),
              "DUZO_ReceiveMessage('a\\nb\\rc\\x01');");
    EXPECT_EQ(DZJavaScriptMessageCall("a\u2028b\u2029", std::nullopt),
              "DUZO_ReceiveMessage('a\\u2028b\\u2029');");
    EXPECT_EQ(DZJavaScriptMessageCall("caf\u00e9", std::nullopt),
              "DUZO_ReceiveMessage('caf\u00e9');");
}

}  // namespace
