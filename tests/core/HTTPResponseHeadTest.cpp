#include "core/HTTPResponseHead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "URLConnectionTesting.h"
#include "support/RawOrigin.h"

namespace {

using core::HTTPHeaders;
using core::HTTPResponseHead;
using testsupport::RawAnswer;
using testsupport::RawOrigin;

std::string shown(const std::optional<HTTPResponseHead::StatusLine>& line) {
    if (!line) return "(none)";
    return std::to_string(line->status) + " " +
           (line->reasonPhrase ? "\"" + *line->reasonPhrase + "\"" : "(no reason)");
}

TEST(HTTPResponseHead, StatusLinesReadWithAnyBlanksBetweenTheirParts) {
    const std::vector<std::pair<std::string, std::string>> read = {
        {"HTTP/1.1 200 OK\r\n", "200 \"OK\""},
        {"HTTP/1.1  200 OK\r\n", "200 \"OK\""},
        {"HTTP/1.1\t200\tOK\n", "200 \"OK\""},
        {"HTTP/1.0 404  Not  Here \r\n", "404 \"Not  Here\""},
        {"HTTP/1.1 202\r\n", "202 \"\""},
        {"HTTP/1.1 200OK\r\n", "200 \"OK\""},
        {"HTTP/1.1 999 DOES IT MATTER", "999 \"DOES IT MATTER\""},
        {"HTTP/2 200 \r\n", "200 (no reason)"},
        {"HTTP/1.1 2000 OK", "(none)"},
        {"HTTP/1.1 20 OK", "(none)"},
        {"HTTP/1.1200 OK", "(none)"},
        {"HTTP/1. 200 OK", "(none)"},
        {"HTTP/ 200 OK", "(none)"},
        {"ICY 200 OK", "(none)"},
        {"\r\n", "(none)"},
    };
    for (const auto& [line, expected] : read)
        EXPECT_EQ(shown(HTTPResponseHead::parseStatusLine(line)), expected)
            << RawOrigin::printable(line);
}

TEST(HTTPResponseHead, FieldLinesFoldOrDropAsTheEngineReadsThem) {
    HTTPResponseHead head;
    EXPECT_EQ(head.take("HTTP/1.1 100 Continue\r\n"), HTTPResponseHead::Line::status);
    EXPECT_EQ(head.take("X-Interim: gone\r\n"), HTTPResponseHead::Line::field);
    EXPECT_EQ(head.take("\r\n"), HTTPResponseHead::Line::end);
    EXPECT_EQ(head.status(), 100);
    EXPECT_FALSE(head.started());
    const std::vector<std::string> lines = {
        "HTTP/1.1  201  Made \r\n",
        " X-Lead: no field before it\r\n",
        "\tnor before this\r\n",
        "X-A: a\r\n",
        " b\r\n",
        "\t c \r\n",
        "X-Bad : blank in the name\r\n",
        " more of the bad one\r\n",
        "no colon at all\r\n",
        ": no name\r\n",
        "X-Empty:\r\n",
        "  filled later\r\n",
        "X-Plain:  kept  as is \n",
    };
    for (const auto& line : lines) EXPECT_NE(head.take(line), HTTPResponseHead::Line::end);
    EXPECT_TRUE(head.started());
    EXPECT_EQ(head.status(), 201);
    EXPECT_EQ(head.reasonPhrase(), "Made");
    EXPECT_EQ(
        head.fields(),
        (HTTPHeaders{{"X-A", "a b c"}, {"X-Empty", "filled later"}, {"X-Plain", "kept  as is"}}));
    EXPECT_EQ(head.take("\r\n"), HTTPResponseHead::Line::end);
}

TEST(HTTPResponseHead, FramingTheEngineRefuses) {
    const std::vector<HTTPHeaders> read = {
        {},
        {{"Transfer-Encoding", "chunked"}},
        {{"transfer-encoding", "CHUNKED"}},
        {{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "chunked"}},
        {{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "chunked"}},
        {{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "identity"}},
        {{"Transfer-Encoding", "chunked"}, {"Content-Length", "five"}},
        {{"Transfer-Encoding", "identity"}, {"Content-Length", "5"}},
        {{"Transfer-Encoding", "gzip"}, {"Content-Length", "5"}},
        {{"Content-Length", "+5"}},
        {{"Content-Length", ""}},
    };
    for (const auto& fields : read)
        EXPECT_EQ(HTTPResponseHead::framingRefusal(fields), std::nullopt)
            << testing::PrintToString(fields.fields());
    const std::vector<HTTPHeaders> refused = {
        {{"Transfer-Encoding", "chunked, deflate"}},
        {{"Transfer-Encoding", "chunkedchunked"}},
        {{"Transfer-Encoding", "chunked , identity"}},
        {{"Transfer-Encoding", "gzip, chunked"}},
        {{"Transfer-Encoding", ""}},
        {{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "gzip"}},
        {{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "identity"}},
        {{"Content-Length", "5"}, {"Transfer-Encoding", "gzip"}},
        {{"Content-Length", "5x"}},
    };
    for (const auto& fields : refused)
        EXPECT_NE(HTTPResponseHead::framingRefusal(fields), std::nullopt)
            << testing::PrintToString(fields.fields());
}

// Answers from a raw origin, through a URL connection as the proxy loads
// them: what libcurl hands over is read as the engine reads it, and framing
// the engine refuses fails before anything of the answer is reported.
TEST(HTTPResponseHeadService, AnswersAsTheEngineReadsThem) {
    RawOrigin origin;
    const std::vector<std::pair<std::string, std::string>> answers = {
        {"/blanks", "HTTP/1.1  200 OK\r\nContent-Length: 5\r\n\r\nhello"},
        {"/cut", "HTTP/1.1 999 DOES IT MATTER\r\nX-A: a\r\n b\r\n"},
        {"/codings", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: "
                     "chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"},
        {"/deflate", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, deflate\r\n\r\n"
                     "5\r\nhello\r\n0\r\n\r\n"},
        {"/folded", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n , identity\r\n\r\n"
                    "5\r\nhello\r\n0\r\n\r\n"},
        {"/tab", "HTTP/1.1\t200 OK\r\nContent-Length: 5\r\n\r\nhello"},
    };
    for (const auto& [path, bytes] : answers) origin.answer(path, RawAnswer::raw(bytes));
    const auto load = [&](const std::string& path) {
        return testsupport::load(*core::URL::create(origin.origin() + path));
    };
    using Events = std::vector<std::string>;

    const auto blanks = load("/blanks");
    EXPECT_EQ(blanks->events, (Events{"response 200", "will-cache", "finish"}));
    EXPECT_EQ(blanks->body, "hello");

    const auto cut = load("/cut");
    EXPECT_EQ(cut->events, (Events{"response 999", "will-cache", "finish"}));
    EXPECT_EQ(cut->body, "");

    // libcurl would undo the gzip coding the engine takes no notice of.
    const auto codings = load("/codings");
    EXPECT_EQ(codings->events, (Events{"response 200", "will-cache", "finish"}));
    EXPECT_EQ(codings->body, "hello");

    for (const char* refused : {"/deflate", "/folded"}) {
        const auto record = load(refused);
        EXPECT_EQ(record->events, (Events{"fail badServerResponse"})) << refused;
        ASSERT_TRUE(record->error) << refused;
        EXPECT_NE(record->error->message.find("Transfer-Encoding: chunked"), std::string::npos)
            << record->error->message;
    }

    // libcurl reads no tab before the status; that is the server's fault,
    // not the URL's.
    const auto tab = load("/tab");
    EXPECT_EQ(tab->events, (Events{"fail badServerResponse"}));
}

}  // namespace
