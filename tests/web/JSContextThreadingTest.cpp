#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/Queue.h"
#include "core/RunLoop.h"
#include "support/ValuePrinting.h"
#include "web/JSContext.h"

namespace {

using web::JSContext;
using web::JSResult;

constexpr double kLimit = 10;

// A context living on a thread of its own, which runs its loop until told.
class ContextThread {
public:
    ContextThread() {
        thread_ = std::thread([this] {
            context_ = JSContext::create();
            loop_ = &core::RunLoop::current();
            ready_ = true;
            (void)loop_->runUntil([this] { return done_.load(); }, 60);
            context_.reset();
        });
        (void)core::RunLoop::main().runUntil([this] { return ready_.load(); }, kLimit);
    }
    ~ContextThread() {
        done_ = true;
        loop_->post([] {});
        thread_.join();
    }
    JSContext& context() { return *context_; }

private:
    std::thread thread_;
    std::shared_ptr<JSContext> context_;
    core::RunLoop* loop_ = nullptr;
    std::atomic<bool> ready_ = false;
    std::atomic<bool> done_ = false;
};

TEST(JSContextThreadingTest, AsyncWorkNeverRunsInline) {
    auto context = JSContext::create();
    bool done = false;
    context->evaluateAsync("1 + 1", [&](JSResult result) {
        EXPECT_TRUE(core::RunLoop::isMainThread());
        EXPECT_EQ(result.value(), core::Value(2));
        done = true;
    });
    bool performed = false;
    context->perform([&](JSContext& same) {
        EXPECT_EQ(&same, context.get());
        performed = true;
    });
    EXPECT_FALSE(done);
    EXPECT_FALSE(performed);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return done && performed; }, kLimit));
}

TEST(JSContextThreadingTest, CompletionsComeBackOnTheCallersQueue) {
    auto context = JSContext::create();
    ASSERT_TRUE(context->evaluate("function twice(n) { return n * 2; }").ok());
    const auto queue = core::Queue::serial("web.tests.caller");
    std::atomic<int> onCallerQueue = 0;
    std::atomic<int> finished = 0;
    queue->async([&] {
        context->evaluateAsync("twice(4)", [&](JSResult result) {
            onCallerQueue += queue->isCurrent() && result.value() == core::Value(8);
            ++finished;
        });
        context->callFunctionAsync("twice", {21}, [&](JSResult result) {
            onCallerQueue += queue->isCurrent() && result.value() == core::Value(42);
            ++finished;
        });
    });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return finished == 2; }, kLimit));
    EXPECT_EQ(onCallerQueue, 2);
}

TEST(JSContextThreadingTest, AContextOnAnotherThreadServesTheMainThread) {
    ContextThread owner;
    std::thread::id ranOn;
    owner.context().perform([&](JSContext& context) {
        ranOn = std::this_thread::get_id();
        context.setFunction("where", [](const web::JSArguments&) { return core::Value("owner"); });
    });
    std::optional<JSResult> answer;
    owner.context().evaluateAsync("where() + '-' + (6 * 7)",
                                  [&](JSResult result) { answer = std::move(result); });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return answer.has_value(); }, kLimit));
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_EQ(answer->value(), core::Value("owner-42"));
}

TEST(JSContextThreadingTest, WorkPostedToAGoneContextReportsIt) {
    auto context = JSContext::create();
    std::optional<JSResult> answer;
    bool performed = false;
    context->evaluateAsync("1", [&](JSResult result) { answer = std::move(result); });
    context->perform([&](JSContext&) { performed = true; });
    context.reset();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return answer.has_value(); }, kLimit));
    ASSERT_FALSE(answer->ok());
    EXPECT_EQ(answer->exception()->message, JSContext::kContextGoneMessage);
    EXPECT_FALSE(performed);
}

TEST(JSContextThreadingDeathTest, SynchronousCallsFromAnotherThreadStop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto context = JSContext::create();
            std::thread([&] { (void)context->evaluate("1"); }).join();
        },
        "evaluate called off the context's thread");
}

}  // namespace
