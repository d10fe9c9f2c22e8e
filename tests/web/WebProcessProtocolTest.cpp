#include <gtest/gtest.h>

#include <string>

#include "web/PageMark.h"
#include "web/WebProcessProtocol.h"

namespace {

using web::protocol::pageMarkBinding;
using web::protocol::PageMarkSeal;

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

// A mark opens for the request it was sealed for, however its URL names the
// same target, and for no other; it says nothing to whoever reads it.
// (Other keys, URLs and methods: EngineProxyService.)
TEST(WebProcessProtocolTest, APageMarkOpensForItsOwnRequestOnly) {
    PageMarkSeal seal("00112233445566778899aabbccddeeff");
    const std::string document = "https://page.test/doc?x=1";
    const std::string value = seal.seal(987654321, document, "GET", "https://a.test/r?q=1#part");
    EXPECT_EQ(value.find("page.test"), std::string::npos) << value;
    EXPECT_EQ(value.find("987654321"), std::string::npos) << value;
    for (const char* same : {"https://a.test/r?q=1", "HTTPS://A.TEST:443/r?q=1#other",
                             "https://user@a.test/r?q=1", "https://a.test/%72?%71=%31"}) {
        const auto mark = seal.open(value, "GET", same);
        ASSERT_TRUE(mark) << same;
        EXPECT_EQ(mark->pageId, 987654321u);
        EXPECT_EQ(mark->mainDocumentURL, document);
    }
    for (const char* other :
         {"https://a.test/r?q=2", "https://a.test/R?q=1", "http://a.test/r?q=1"})
        EXPECT_FALSE(seal.open(value, "GET", other)) << other;
    std::string altered = value;
    altered[20] = altered[20] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(seal.open(altered, "GET", "https://a.test/r?q=1"));
    EXPECT_FALSE(seal.open("a 1 https://page.test/", "GET", "https://a.test/r?q=1"));
    EXPECT_EQ(pageMarkBinding("GET", "http://[::1]:8080/p"), "GET\nhttp://[::1]:8080/p");
    // The engine's network stack sends escapes of what needs none as the
    // characters, and the others' digits in upper case: a mark made for the
    // URL the page wrote opens for the one the proxy receives.
    EXPECT_EQ(pageMarkBinding("GET", "http://h/odd/%7e%2f%zz%4?%41=%e2%82%"),
              "GET\nhttp://h:80/odd/~%2F%zz%4?A=%E2%82%");
    const std::string written = seal.seal(1, document, "GET", "http://h/odd/%7e.png");
    EXPECT_TRUE(seal.open(written, "GET", "http://h/odd/~.png"));
    EXPECT_FALSE(seal.open(written, "GET", "http://h/odd/%257e.png"));
    EXPECT_FALSE(PageMarkSeal("short").valid());
}

}  // namespace
