// Answers the server's end of the connection cuts short, in the app's
// sessions and in one that reads answers as the web engine does; and what
// goes out to an HTTP/1.0 server that keeps its connection. A raw origin
// sends each answer byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "URLSessionTesting.h"
#include "core/URLSession.h"
#include "support/RawOrigin.h"

namespace {

using core::NetworkError;
using core::URLSession;
using core::URLSessionConfiguration;
using testsupport::fetch;
using testsupport::RawAnswer;
using testsupport::RawOrigin;

// What a fetch of the answer came to: "<status> <body>"; "failed" for a
// bad answer, "lost" for one whose body broke off.
std::string outcomeOf(URLSession& session, RawOrigin& origin, const std::string& bytes) {
    const std::string path = RawOrigin::newRun() + "/answer";
    origin.answer(path, RawAnswer::raw(bytes));
    const auto outcome = fetch(session, *core::URL::create(origin.origin() + path));
    if (!outcome.error) return std::to_string(outcome.status()) + " " + outcome.text();
    if (outcome.code() == NetworkError::Code::badServerResponse) return "failed";
    if (outcome.code() == NetworkError::Code::networkConnectionLost) return "lost";
    return outcome.error->message;
}

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n";

// A head without its end is no answer to the app and the SDK, wherever the
// close cuts it; a chunked body without its last chunk neither.
TEST(URLSessionCutAnswerService, AHeadCutShortFailsInEverySession) {
    RawOrigin origin;
    URLSession& shared = *URLSession::shared();
    for (const std::string& bytes :
         {std::string("HTTP/1.1 200 OK\r\n"), std::string("HTTP/1.1 200 OK\r\nX-Na"),
          std::string("HTTP/1.1 200 OK\r\nX-A: a\r\n"),
          std::string("HTTP/1.1 200 OK\r\n\0X: y\r\nContent-Length: 5\r\n\r\nhello", 47)})
        EXPECT_EQ(outcomeOf(shared, origin, bytes), "failed") << RawOrigin::printable(bytes);
    EXPECT_EQ(outcomeOf(shared, origin, kChunked + "0\r\n"), "lost");
    EXPECT_EQ(outcomeOf(shared, origin, kChunked + "0\r\n\r\n"), "200 hello");
}

// Read as the engine reads them: a head the close cuts at a line's end is an
// answer without a body, one cut inside a line or holding a NUL is none; a
// chunked body whose last chunk came is whole, one cut before it is not.
// Over and over on connections the session keeps, so that what earlier
// answers took of a connection is told from what the last one left.
TEST(URLSessionCutAnswerService, ReadAsTheEngineAHeadCutAtALinesEndIsAnAnswer) {
    RawOrigin origin;
    URLSessionConfiguration configuration;
    configuration.readsAnswersAsTheEngine = true;
    const auto session = URLSession::create(configuration);
    const std::string kept = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nkept";
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(outcomeOf(*session, origin, kept), "200 kept");
        EXPECT_EQ(outcomeOf(*session, origin, "HTTP/1.1 999 DOES IT MATTER\r\n"), "999 ");
        EXPECT_EQ(outcomeOf(*session, origin, kept), "200 kept");
        EXPECT_EQ(outcomeOf(*session, origin, "HTTP/1.1 200 OK\r\nX-A: a\r\n b\r\n"), "200 ");
        for (const std::string& bytes :
             {std::string("HTTP/1.1 200 OKAYISH\nheader: value\t"),
              std::string("HTTP/1.1 200 OK\r\nX-Na"), std::string("HTTP/1.1 200 OK\r\nX-A: a\r"),
              std::string("HTTP/1.1 200 OK\r\n\0X: y\r\nContent-Length: 5\r\n\r\nhello", 47)}) {
            EXPECT_EQ(outcomeOf(*session, origin, kept), "200 kept");
            EXPECT_EQ(outcomeOf(*session, origin, bytes), "failed") << RawOrigin::printable(bytes);
        }
        EXPECT_EQ(outcomeOf(*session, origin, kChunked + "0\r\n"), "200 hello");
        EXPECT_EQ(outcomeOf(*session, origin, kChunked + "0\r\nX-Trailer: t\r\n"), "200 hello");
        EXPECT_EQ(outcomeOf(*session, origin, kChunked), "lost");
        EXPECT_EQ(outcomeOf(*session, origin, kChunked + "3\r\nab"), "lost");
    }
}

// After an HTTP/1.0 server's answer that keeps the connection, the next
// request still goes as HTTP/1.1, with the fields it has in their order.
TEST(URLSessionCutAnswerService, AnHTTP10ServerGetsTheRequestsAsWritten) {
    RawOrigin origin;
    const std::string run = RawOrigin::newRun();
    origin.answer(run + "/old",
                  RawAnswer{"HTTP/1.0 200 OK", {{"Connection", "keep-alive"}}, "old"});
    URLSessionConfiguration configuration;
    configuration.sendsOnlyRequestFields = true;
    configuration.userAgent.clear();
    const auto session = URLSession::create(configuration);
    for (int i = 0; i < 3; ++i) {
        core::URLRequest request(*core::URL::create(origin.origin() + run + "/old"));
        request.setValue("X-First", "1");
        request.setValue("Host", "old.test");
        request.setValue("X-Last", "2");
        EXPECT_EQ(fetch(*session, request).text(), "old");
    }
    const auto requests = origin.log(run + "/old");
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.version, "HTTP/1.1");
        ASSERT_EQ(request.fields.size(), 3u) << request.describe();
        EXPECT_EQ(request.fields[1], (std::pair<std::string, std::string>{"Host", "old.test"}));
    }
}

}  // namespace
