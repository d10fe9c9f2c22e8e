#include "web/proxy/ProxyHead.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using web::proxy::AnswerHeadReader;
using web::proxy::ChunkedReader;
using web::proxy::Framing;
using web::proxy::HeadReader;
using web::proxy::parseRequestHead;

// Feeds a chunked body in pieces of step bytes: the reader's state, its
// data, and the bytes it left.
struct ChunkedRead {
    ChunkedReader::State state;
    std::string data;
    std::string rest;
};
ChunkedRead readChunked(const std::string& body, size_t step) {
    ChunkedReader reader;
    ChunkedRead read{ChunkedReader::State::reading, {}, {}};
    size_t at = 0;
    while (at < body.size() && reader.state() == ChunkedReader::State::reading) {
        size_t consumed = 0;
        reader.feed(std::string_view(body).substr(at, step), read.data, consumed);
        at += consumed;
    }
    read.state = reader.state();
    read.rest = body.substr(at);
    return read;
}

// A head is taken as written: the target's bytes, the fields' bytes and
// case, repeated fields, lines ended by a bare LF; what follows it stays.
TEST(ProxyHeadTest, AHeadKeepsItsBytes) {
    const std::string target = "http://h:1/br[ack]/a|b/%zz/%2F?cb=[t]&x=\xe6\x97\xa5";
    const std::string bytes = "\r\nGET " + target +
                              " HTTP/1.1\r\nHost: h:1\r\nX-Name:  caf\xe9 \t\r\nx-name: 2\n"
                              "Cookie: a=1\r\n\r\nnext";
    const auto parse = parseRequestHead(bytes);
    ASSERT_TRUE(parse.head) << parse.refusal;
    EXPECT_EQ(parse.head->method, "GET");
    EXPECT_EQ(parse.head->target, target);
    EXPECT_EQ(parse.head->version, "HTTP/1.1");
    EXPECT_EQ(parse.head->fields.values("X-Name"), (std::vector<std::string>{"caf\xe9", "2"}));
    ASSERT_GE(parse.head->fields.fields().size(), 2u);
    EXPECT_EQ(parse.head->fields.fields()[1].first, "X-Name");
    EXPECT_EQ(parse.head->framing, Framing::none);
    EXPECT_TRUE(parse.head->keepAlive);
    EXPECT_EQ(bytes.substr(parse.consumed), "next");
}

TEST(ProxyHeadTest, AnUnfinishedHeadWaitsAndAnOverlongOneIsRefused) {
    const auto partial = parseRequestHead("GET http://h/ HTTP/1.1\r\nHost: h\r\n");
    EXPECT_FALSE(partial.head);
    EXPECT_EQ(partial.refusal, 0u);
    const std::string line(web::proxy::kMostHeadBytes, 'a');
    EXPECT_EQ(parseRequestHead("GET /" + line).refusal, 414u);
    EXPECT_EQ(parseRequestHead("GET / HTTP/1.1\r\nX: " + line).refusal, 431u);
    // A query far longer than any server takes is still a head.
    const auto query =
        parseRequestHead("GET http://h/q?" + std::string(70'000, 'q') + " HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(query.head);
}

// What could make one request two, or hide a body, is refused.
TEST(ProxyHeadTest, HeadsThatCouldSmuggleAreRefused) {
    const std::vector<std::pair<std::string, unsigned>> refused = {
        {"GET / HTTP/1.1\r\nX: a\rb\r\n\r\n", 400},
        {std::string("GET / HTTP/1.1\r\nX: a") + '\0' + "b\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\n folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nX : a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nnocolon\r\n\r\n", 400},
        {"GET /a b HTTP/1.1\r\n\r\n", 400},
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 505},
        {"GET / FTP/1.1\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 1, 2\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: +1\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", 501},
        {"POST / HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
    };
    for (const auto& [bytes, status] : refused) {
        SCOPED_TRACE(bytes);
        const auto parse = parseRequestHead(std::string_view(bytes.data(), bytes.size()));
        EXPECT_FALSE(parse.head);
        EXPECT_EQ(parse.refusal, status);
    }
    // A length beside a coding: the coding frames it, and the connection
    // ends after it.
    const auto both = parseRequestHead(
        "POST / HTTP/1.1\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n");
    ASSERT_TRUE(both.head);
    EXPECT_EQ(both.head->framing, Framing::chunked);
    EXPECT_FALSE(both.head->keepAlive);
}

TEST(ProxyHeadTest, FramingAndPersistenceFollowTheHead) {
    const auto length = parseRequestHead(
        "POST / HTTP/1.1\r\nContent-Length: 12, 12\r\nExpect: 100-Continue\r\n\r\n");
    ASSERT_TRUE(length.head);
    EXPECT_EQ(length.head->framing, Framing::length);
    EXPECT_EQ(length.head->length, 12);
    EXPECT_TRUE(length.head->expectsContinue);
    const auto empty = parseRequestHead("POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(empty.head);
    EXPECT_EQ(empty.head->framing, Framing::none);
    const auto closing =
        parseRequestHead("GET / HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n");
    ASSERT_TRUE(closing.head);
    EXPECT_FALSE(closing.head->keepAlive);
    const auto old = parseRequestHead("GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(old.head);
    EXPECT_FALSE(old.head->keepAlive);
    const auto kept = parseRequestHead("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n");
    ASSERT_TRUE(kept.head);
    EXPECT_TRUE(kept.head->keepAlive);
}

TEST(ProxyHeadTest, AnAnswerHeadKeepsTheReasonAndTheFields) {
    EXPECT_EQ(web::proxy::answerHead(418, std::string("Teapot \xe9t\xe9"), {{"X-B", "\xff"}}),
              "HTTP/1.1 418 Teapot \xe9t\xe9\r\nX-B: \xff\r\n\r\n");
    EXPECT_EQ(web::proxy::answerHead(200, std::string(), {}), "HTTP/1.1 200 \r\n\r\n");
    EXPECT_EQ(web::proxy::answerHead(404, std::nullopt, {}), "HTTP/1.1 404 Not Found\r\n\r\n");
    // Nothing in a reason can end its line; a CR inside it stays, as the
    // engine keeps it, but not one before the line's end.
    EXPECT_EQ(web::proxy::answerHead(200, std::string("a\r\nX: b"), {}),
              "HTTP/1.1 200 a\rX: b\r\n\r\n");
    EXPECT_EQ(web::proxy::answerHead(200, std::string("O\rK\r"), {}), "HTTP/1.1 200 O\rK\r\n\r\n");
    EXPECT_EQ(web::proxy::answerHead(200, std::string("OK"), {}, "HTTP/1.0"),
              "HTTP/1.0 200 OK\r\n\r\n");
}

// A chunked body read as its bytes come, a byte at a time or whole, with
// extensions and trailers; what follows it stays; a bad size is refused.
TEST(ProxyHeadTest, AChunkedBodyIsReadInAnyPieces) {
    const std::string body =
        "5;ext=1\r\nhello\r\n1a\r\n" + std::string(26, 'z') + "\r\n0\r\nTrailer: x\r\n\r\nNEXT";
    for (const size_t step : {size_t(1), size_t(7), body.size()}) {
        const auto read = readChunked(body, step);
        EXPECT_EQ(read.state, ChunkedReader::State::ended) << step;
        EXPECT_EQ(read.data, "hello" + std::string(26, 'z')) << step;
        EXPECT_EQ(read.rest, "NEXT") << step;
    }
    for (const std::string bad : {"x\r\n", "5\r\nhelloX\r\n", "fffffffffffffffff\r\n"}) {
        ChunkedReader reader;
        std::string out;
        size_t consumed = 0;
        EXPECT_EQ(reader.feed(bad, out, consumed), ChunkedReader::State::malformed) << bad;
    }
    EXPECT_EQ(web::proxy::chunkOf("abc"), "3\r\nabc\r\n");
}

// A size line and the trailers are bounded, however their bytes come: at
// the bound they are read, one byte past it the body is malformed.
TEST(ProxyHeadTest, ChunkFramingIsBounded) {
    const size_t line = web::proxy::kMostChunkLineBytes;
    const size_t trailers = web::proxy::kMostTrailerBytes;
    const auto sizeLine = [](size_t bytes) { return "1;" + std::string(bytes - 2, 'e'); };
    const auto trailer = [](size_t bytes) { return "X: " + std::string(bytes - 5, 't') + "\r\n"; };
    for (const size_t step : {size_t(1), size_t(1000), size_t(1) << 20}) {
        SCOPED_TRACE(step);
        EXPECT_EQ(readChunked(sizeLine(line - 1) + "\r\nx\r\n0\r\n\r\n", step).state,
                  ChunkedReader::State::ended);
        EXPECT_EQ(readChunked(sizeLine(line) + "\r\nx\r\n0\r\n\r\n", step).state,
                  ChunkedReader::State::malformed);
        // The trailers' bytes, the blank line that ends them included.
        EXPECT_EQ(readChunked("0\r\n" + trailer(trailers - 2) + "\r\n", step).state,
                  ChunkedReader::State::ended);
        EXPECT_EQ(readChunked("0\r\n" + trailer(trailers - 1) + "\r\n", step).state,
                  ChunkedReader::State::malformed);
        EXPECT_EQ(readChunked("0\r\n" + trailer(trailers / 4) + trailer(trailers / 4) +
                                  trailer(trailers / 4) + trailer(trailers / 4) + "\r\n",
                              step)
                      .state,
                  ChunkedReader::State::malformed);
    }
}

// A head read as its bytes come gives what it gives read at once, wherever
// the pieces cut it (inside a CRLF too), and nothing before its end.
TEST(ProxyHeadTest, AHeadInPiecesIsTheHeadWhole) {
    const std::string bytes = "\r\n\nPOST http://h/p?q HTTP/1.1\r\nHost: h\r\nX-A:  1 \r\n"
                              "Transfer-Encoding: chunked\nX-A: 2\r\n\r\nBODY";
    const auto whole = parseRequestHead(bytes);
    ASSERT_TRUE(whole.head);
    for (const size_t step : {size_t(1), size_t(2), size_t(5)}) {
        HeadReader reader;
        web::proxy::HeadParse parse;
        size_t given = 0;
        while (!parse.head && parse.refusal == 0 && given < bytes.size()) {
            given = std::min(bytes.size(), given + step);
            parse = reader.read(std::string_view(bytes).substr(0, given));
        }
        ASSERT_TRUE(parse.head) << step;
        // Answered with the piece that held its end.
        EXPECT_GE(given, whole.consumed) << step;
        EXPECT_LT(given - step, whole.consumed) << step;
        EXPECT_EQ(parse.consumed, whole.consumed);
        EXPECT_EQ(parse.head->target, "http://h/p?q");
        EXPECT_EQ(parse.head->fields.values("X-A"), (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(parse.head->framing, Framing::chunked);
    }
}

// At most kMostHeadFields fields: one more is refused as soon as its line
// ends, long before the head's bytes run out.
TEST(ProxyHeadTest, TheFieldsOfAHeadAreCounted) {
    std::string fields;
    for (size_t i = 0; i < web::proxy::kMostHeadFields; ++i) fields += "a:b\n";
    const std::string line = "GET / HTTP/1.1\r\n";
    EXPECT_TRUE(parseRequestHead(line + fields + "\r\n").head);
    HeadReader reader;
    EXPECT_EQ(reader.read(line + fields).refusal, 0u);
    EXPECT_EQ(reader.read(line + fields + "a:").refusal, 0u);
    EXPECT_EQ(reader.read(line + fields + "a:b\n").refusal, 431u);
}

// An origin's answer head: its status and reason as written, interim or
// final; what is no HTTP/1 answer, a folded field or a head over its bound
// is malformed.
TEST(ProxyHeadTest, AnAnswerHeadIsReadAsARequestHeadIs) {
    const std::string bytes = "HTTP/1.1  404 Not \xe9 Here\r\nX-A: 1\r\nx-a: 2\n\r\nrest";
    AnswerHeadReader pieces;
    web::proxy::AnswerParse parse;
    for (size_t given = 1; !parse.head && given <= bytes.size(); ++given)
        parse = pieces.read(std::string_view(bytes).substr(0, given));
    ASSERT_TRUE(parse.head);
    EXPECT_EQ(parse.head->status, 404);
    EXPECT_EQ(parse.head->reason, "Not \xe9 Here");
    EXPECT_EQ(parse.head->fields.values("X-A"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(bytes.substr(parse.consumed), "rest");
    const auto reasonless = AnswerHeadReader().read("HTTP/1.0 204\r\n\r\n");
    ASSERT_TRUE(reasonless.head);
    EXPECT_EQ(reasonless.head->status, 204);
    EXPECT_EQ(reasonless.head->reason, "");
    for (const std::string& bad : std::vector<std::string>{
             "HTTP/2 200 OK\r\n\r\n", "ICY 200 OK\r\n\r\n", "HTTP/1.1 2000 OK\r\n\r\n",
             "HTTP/1.1 20 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nX: a\r\n folded\r\n\r\n",
             "HTTP/1.1 200 OK\r\nX: " + std::string(web::proxy::kMostOriginHeadBytes, 'x')}) {
        EXPECT_TRUE(AnswerHeadReader().read(bad).malformed) << bad.substr(0, 40);
    }
}

}  // namespace
