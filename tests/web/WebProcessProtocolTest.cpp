#include <gtest/gtest.h>

#include <string>

#include "web/PageMark.h"
#include "web/WebProcessProtocol.h"

namespace {

using web::protocol::pageMarkBinding;
using web::protocol::PageMarkSeal;

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

// A mark opens, under its key, for the request it was sealed for, however
// the URL names the same target; it says nothing to whoever reads it.
TEST(WebProcessProtocolTest, APageMarkOpensForItsOwnRequestOnly) {
    const std::string key = "00112233445566778899aabbccddeeff";
    PageMarkSeal seal(key);
    ASSERT_TRUE(seal.valid());
    const std::string document = "https://page.test/doc?x=1";
    const std::string value = seal.seal(987654321, document, "GET", "https://a.test/r?q=1#part");
    EXPECT_EQ(value.find("page.test"), std::string::npos) << value;
    EXPECT_EQ(value.find("987654321"), std::string::npos) << value;
    EXPECT_NE(seal.seal(987654321, document, "GET", "https://a.test/r?q=1"), value);

    for (const char* same : {"https://a.test/r?q=1", "HTTPS://A.TEST:443/r?q=1#other",
                             "https://user@a.test/r?q=1"}) {
        const auto mark = PageMarkSeal(key).open(value, "GET", same);
        ASSERT_TRUE(mark) << same;
        EXPECT_EQ(mark->pageId, 987654321u);
        EXPECT_EQ(mark->mainDocumentURL, document);
    }
    for (const char* other : {"https://a.test/r?q=2", "https://a.test/r", "https://a.test/R?q=1",
                              "http://a.test/r?q=1", "https://a.test:444/r?q=1",
                              "https://b.test/r?q=1"})
        EXPECT_FALSE(seal.open(value, "GET", other)) << other;
    EXPECT_FALSE(seal.open(value, "POST", "https://a.test/r?q=1"));
    EXPECT_FALSE(PageMarkSeal("ffeeddccbbaa99887766554433221100").open(value, "GET",
                                                                      "https://a.test/r?q=1"));
    std::string altered = value;
    altered[20] = altered[20] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(seal.open(altered, "GET", "https://a.test/r?q=1"));
    for (const char* malformed : {"", "x", "a 1 https://page.test/"})
        EXPECT_FALSE(seal.open(malformed, "GET", "https://a.test/r?q=1")) << malformed;

    // A document URL past the bound is left out; the page still opens.
    const std::string longURL = "https://page.test/" + std::string(10000, 'a');
    const auto bare = seal.open(seal.seal(5, longURL, "GET", "http://a.test/"), "GET",
                                "http://a.test:80/");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->pageId, 5u);
    EXPECT_TRUE(bare->mainDocumentURL.empty());

    EXPECT_FALSE(PageMarkSeal("short").valid());
    EXPECT_TRUE(PageMarkSeal("short").seal(1, document, "GET", "https://a.test/").empty());
    EXPECT_FALSE(pageMarkBinding("GET", "ftp://a.test/"));
    EXPECT_FALSE(pageMarkBinding("GET", "not a URL"));
    EXPECT_EQ(pageMarkBinding("GET", "http://[::1]:8080/p"), "GET\nhttp://[::1]:8080/p");
}

}  // namespace
