#include "core/HTTPResponseHead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using core::HTTPHeaders;
using core::HTTPResponseHead;

TEST(HTTPResponseHead, StatusLinesReadWithAnyBlanksBetweenTheirParts) {
    const auto shown = [](std::string_view line) -> std::string {
        const auto parsed = HTTPResponseHead::parseStatusLine(line);
        if (!parsed) return "(none)";
        return std::to_string(parsed->status) + " " + parsed->reasonPhrase.value_or("(no reason)");
    };
    EXPECT_EQ(shown("HTTP/1.1  200 OK\r\n"), "200 OK");
    EXPECT_EQ(shown("HTTP/1.1\t200\tOK\n"), "200 OK");
    EXPECT_EQ(shown("HTTP/1.0 404  Not  Here \r\n"), "404 Not  Here");
    EXPECT_EQ(shown("HTTP/1.1 200OK"), "200 OK");
    EXPECT_EQ(shown("HTTP/1.1 202\r\n"), "202 ");
    EXPECT_EQ(shown("HTTP/2 200 \r\n"), "200 (no reason)");
    for (const char* none : {"HTTP/1.1 2000 OK", "HTTP/1.1 20 OK", "HTTP/1.1200 OK",
                             "HTTP/1. 200 OK", "ICY 200 OK", "\r\n"})
        EXPECT_EQ(shown(none), "(none)") << none;
}

TEST(HTTPResponseHead, FieldLinesFoldOrDropAsTheEngineReadsThem) {
    HTTPResponseHead head;
    (void)head.take("HTTP/1.1 100 Continue\r\n");
    (void)head.take("X-Interim: gone\r\n");
    EXPECT_EQ(head.take("\r\n"), HTTPResponseHead::Line::end);
    for (const char* line :
         {"HTTP/1.1  201  Made \r\n", " X-Lead: no field before it\r\n", "X-A: a\r\n", " b\r\n",
          "\t c \r\n", "X-Bad : blank in the name\r\n", " more of the bad one\r\n", "no colon\r\n",
          ": no name\r\n", "X-Empty:\r\n", "  filled later\r\n"})
        EXPECT_NE(head.take(line), HTTPResponseHead::Line::end) << line;
    EXPECT_EQ(head.status(), 201);
    EXPECT_EQ(head.reasonPhrase(), "Made");
    EXPECT_EQ(head.fields(), (HTTPHeaders{{"X-A", "a b c"}, {"X-Empty", "filled later"}}));
    EXPECT_EQ(head.take("\r\n"), HTTPResponseHead::Line::end);
}

TEST(HTTPResponseHead, FramingTheEngineRefuses) {
    const auto refused = [](HTTPHeaders fields) {
        return HTTPResponseHead::framingRefusal(fields).has_value();
    };
    EXPECT_FALSE(refused({{"transfer-encoding", "CHUNKED"}}));
    EXPECT_FALSE(refused({{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "chunked"}}));
    EXPECT_FALSE(refused({{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "identity"}}));
    EXPECT_FALSE(refused({{"Transfer-Encoding", "chunked"}, {"Content-Length", "five"}}));
    EXPECT_FALSE(refused({{"Transfer-Encoding", "gzip"}, {"Content-Length", "5"}}));
    EXPECT_FALSE(refused({{"Content-Length", "+5"}}));
    EXPECT_TRUE(refused({{"Transfer-Encoding", "chunked, deflate"}}));
    EXPECT_TRUE(refused({{"Transfer-Encoding", "chunkedchunked"}}));
    EXPECT_TRUE(refused({{"Transfer-Encoding", ""}}));
    EXPECT_TRUE(refused({{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "gzip"}}));
    EXPECT_TRUE(refused({{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "identity"}}));
    EXPECT_TRUE(refused({{"Content-Length", "5"}, {"Transfer-Encoding", "gzip"}}));
    EXPECT_TRUE(refused({{"Content-Length", "5x"}}));
}

}  // namespace
