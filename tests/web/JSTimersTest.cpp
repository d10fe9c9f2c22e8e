#include <gtest/gtest.h>

#include "core/Console.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"
#include "web/JSContext.h"

namespace {

using web::JSContext;

class JSTimersTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<JSContext> context = JSContext::create();

    core::Value read(const std::string& expression) {
        return context->evaluate(expression).value();
    }
};

TEST_F(JSTimersTest, TimeoutsFireOnceAtTheirDelay) {
    ASSERT_TRUE(context
                    ->evaluate("var fired = [];"
                               "setTimeout(function (a, b) { fired.push('late' + a + b); }, 250,"
                               "           1, 'x');"
                               "setTimeout(function () { fired.push('early'); }, 100);"
                               "setTimeout(\"fired.push('text')\", 300);")
                    .ok());
    EXPECT_EQ(context->pendingTimerCount(), 3u);
    clock.advance(0.099);
    EXPECT_EQ(read("fired.join()"), core::Value(""));
    clock.advance(0.001);
    EXPECT_EQ(read("fired.join()"), core::Value("early"));
    clock.advance(1);
    EXPECT_EQ(read("fired.join()"), core::Value("early,late1x,text"));
    EXPECT_EQ(context->pendingTimerCount(), 0u);
    clock.advance(10);
    EXPECT_EQ(read("fired.length"), core::Value(3));
}

TEST_F(JSTimersTest, ClearedTimeoutsNeverFire) {
    ASSERT_TRUE(
        context
            ->evaluate("var fired = 0;"
                       "var a = setTimeout(function () { fired += 1; }, 50);"
                       "var b = setTimeout(function () { fired += 10; clearTimeout(c); }, 40);"
                       "var c = setTimeout(function () { fired += 100; }, 60);"
                       "clearTimeout(a); clearTimeout(a); clearTimeout('junk');")
            .ok());
    EXPECT_NE(read("a"), read("b"));
    clock.advance(1);
    EXPECT_EQ(read("fired"), core::Value(10));
}

TEST_F(JSTimersTest, IntervalsRepeatUntilCleared) {
    ASSERT_TRUE(context
                    ->evaluate("var ticks = 0;"
                               "var id = setInterval(function () {"
                               "  if (++ticks === 4) clearInterval(id); }, 1000);")
                    .ok());
    clock.advance(0.5);
    EXPECT_EQ(read("ticks"), core::Value(0));
    clock.advance(0.5);
    EXPECT_EQ(read("ticks"), core::Value(1));
    clock.advance(2);
    EXPECT_EQ(read("ticks"), core::Value(3));
    clock.advance(10);
    EXPECT_EQ(read("ticks"), core::Value(4));
    EXPECT_EQ(context->pendingTimerCount(), 0u);
}

TEST_F(JSTimersTest, AThrowingTimerIsReportedAndOthersGoOn) {
    core::Console::Capture capture;
    ASSERT_TRUE(context
                    ->evaluate("var ok = false;"
                               "setTimeout(function () { throw new Error('tick failed'); }, 10);"
                               "setTimeout(function () { ok = true; }, 20);")
                    .ok());
    clock.advance(1);
    EXPECT_TRUE(capture.contains("Uncaught Error: tick failed"));
    EXPECT_EQ(read("ok"), core::Value(true));
}

TEST_F(JSTimersTest, DestroyingTheContextCancelsItsTimers) {
    int calls = 0;
    context->setFunction("count", [&](const web::JSArguments&) {
        ++calls;
        return web::JSResult();
    });
    ASSERT_TRUE(context->evaluate("setInterval(count, 100); setTimeout(count, 150);").ok());
    clock.advance(0.1);
    EXPECT_EQ(calls, 1);
    context.reset();
    clock.advance(5);
    EXPECT_EQ(calls, 1);
}

TEST_F(JSTimersTest, ConsoleWritesOneLinePerCall) {
    core::Console::Capture capture;
    ASSERT_TRUE(context
                    ->evaluate("console.log('count', 3, true, {a: [1]}, null);"
                               "console.warn('careful');"
                               "console.error(new TypeError('broken'));")
                    .ok());
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "count 3 true {\"a\":[1]} null");
    EXPECT_EQ(lines[1], "warn: careful");
    EXPECT_EQ(lines[2], "error: TypeError: broken");
}

}  // namespace
