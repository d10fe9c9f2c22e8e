#include <gtest/gtest.h>

#include <string>

#include "web/WebProcessProtocol.h"

namespace {

using web::protocol::kMostProxyErrorBytes;
using web::protocol::parseProxyError;
using web::protocol::proxyErrorValue;

TEST(WebProcessProtocolTest, AProxyErrorIsOneBoundedLineThatReadsBack) {
    const std::string value = proxyErrorValue(-1004, "Cannot connect\r\nInjected: field\tnow");
    EXPECT_EQ(value, "-1004 Cannot connect  Injected: field now");
    const auto error = parseProxyError(value);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1004);
    EXPECT_EQ(error->message, "Cannot connect  Injected: field now");

    // Cut at the bound, never inside a character.
    std::string text;
    while (text.size() < 2 * kMostProxyErrorBytes) text += "\xC3\xA9";  // é
    const std::string cut = proxyErrorValue(-1, text);
    EXPECT_LE(cut.size(), kMostProxyErrorBytes);
    EXPECT_GE(cut.size(), kMostProxyErrorBytes - 2);
    const std::string message = parseProxyError(cut)->message;
    ASSERT_EQ(message.size() % 2, 0u);
    EXPECT_EQ(message.substr(message.size() - 2), "\xC3\xA9");

    EXPECT_EQ(parseProxyError("-1200")->code, -1200);
    EXPECT_EQ(parseProxyError("-1200")->message, "");
    EXPECT_EQ(parseProxyError("502 Bad")->code, 502);
    for (const char* malformed : {"", "-", "abc", "-12x message", " -1 leading", "1234567890 long"})
        EXPECT_FALSE(parseProxyError(malformed)) << malformed;
}

TEST(WebProcessProtocolTest, AMessageReferenceReadsBackAndNothingElseReadsAsOne) {
    using web::protocol::messageReference;
    using web::protocol::parseMessageReference;
    for (const std::uint64_t serial : {std::uint64_t(0), std::uint64_t(42), UINT64_MAX})
        EXPECT_EQ(parseMessageReference(messageReference(serial)), serial);
    for (const char* other :
         {"vantor-message:", "vantor-message:1x", "vantor-message:-1", "Vantor-message:1",
          "vantor-message:18446744073709551616", "vantor-messages:1", "dmsg://x/m", ""})
        EXPECT_FALSE(parseMessageReference(other)) << other;
    EXPECT_EQ(web::protocol::messageSocketPath("/run/vantor-web-1/decide"),
              "/run/vantor-web-1/messages");
}

}  // namespace
