// The dispatch rule of dmsg handlers: a class table claims by exact name,
// claimed messages are performed or held back, and held ones are replayed in
// order by a flush.

#include <gtest/gtest.h>

#include "DMSGTesting.h"
#include "LogCapture.h"
#include "ads/foundation/DZLogger.h"
#include "core/URLRequest.h"

namespace {

using dmsgtesting::message;
using dmsgtesting::RecordingHandler;

TEST(DZDMSGHandlerTest, ClaimsExactlyTheNamesOfItsTable) {
    ads::DZDMSGHandler base;
    RecordingHandler handler({"click"});
    struct Case {
        const char* name;
        bool claimed;
    };
    for (const Case& c :
         {Case{"click", true}, Case{"Click", false}, Case{"clicks", false}, Case{"open", false}}) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(base.handleNotification(message(c.name), nullptr));
        EXPECT_EQ(handler.handleNotification(message(c.name), nullptr), c.claimed);
    }
    // A known name with no parameters is still claimed and performed.
    EXPECT_EQ(handler.performed, (std::vector<std::string>{"click {}"}));
    EXPECT_TRUE(handler.bufferedNotifications().empty());
}

TEST(DZDMSGHandlerTest, RequestsOtherThanDmsgBuildNoMessage) {
    RecordingHandler handler({"click"});
    EXPECT_FALSE(handler.handleRequest(core::URLRequest(*core::URL::create("https://a.test/click")),
                                       nullptr));
    EXPECT_FALSE(handler.handleRequest(core::URLRequest(*core::URL::create("dmsg://h")), nullptr));
    EXPECT_TRUE(
        handler.handleRequest(core::URLRequest(*core::URL::create("DMSG://h/click?x=1")), nullptr));
    EXPECT_EQ(handler.performed, (std::vector<std::string>{R"(click {"x":"1"})"}));
}

TEST(DZDMSGHandlerTest, HeldMessagesAreReplayedInArrivalOrder) {
    RecordingHandler handler({"a", "b"});
    handler.hold = true;
    EXPECT_TRUE(handler.handleNotification(message("a", {{"n", "1"}}), nullptr));
    EXPECT_TRUE(handler.handleNotification(message("b", {{"n", "2"}}), nullptr));
    EXPECT_TRUE(handler.handleNotification(message("a", {{"n", "3"}}), nullptr));
    EXPECT_TRUE(handler.performed.empty());

    // A flush while the condition holds keeps them, same order.
    handler.flushBuffer();
    ASSERT_EQ(handler.bufferedNotifications().size(), 3u);
    EXPECT_EQ(handler.bufferedNotifications()[1].first->name(), "b");

    handler.hold = false;
    handler.flushBuffer();
    EXPECT_EQ(handler.performed,
              (std::vector<std::string>{R"(a {"n":"1"})", R"(b {"n":"2"})", R"(a {"n":"3"})"}));
    EXPECT_TRUE(handler.bufferedNotifications().empty());
    handler.flushBuffer();
    EXPECT_EQ(handler.performed.size(), 3u);
}

TEST(DZDMSGHandlerTest, AFullBufferDropsItsOldestMessage) {
    RecordingHandler handler({"a"});
    handler.hold = true;
    const size_t limit = ads::DZDMSGHandler::kMaximumBufferedNotifications;
    adtesting::LogCapture console;
    for (size_t i = 0; i <= limit; ++i)
        ASSERT_TRUE(handler.handleNotification(message("a", {{"n", std::to_string(i)}}), nullptr));
    ASSERT_EQ(handler.bufferedNotifications().size(), limit);
    // Said once, and written before the test ends (not into a later one's).
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(console.lines(),
              std::vector<std::string>{"<Dozuza> Dropped the oldest held message: a"});
    handler.hold = false;
    handler.flushBuffer();
    ASSERT_EQ(handler.performed.size(), limit);
    EXPECT_EQ(handler.performed.front(), R"(a {"n":"1"})");
    EXPECT_EQ(handler.performed.back(), "a {\"n\":\"" + std::to_string(limit) + "\"}");
}

}  // namespace
