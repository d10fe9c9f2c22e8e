#include <gtest/gtest.h>

#include "support/ValuePrinting.h"
#include "web/JSContext.h"

namespace {

using web::JSArguments;
using web::JSCallback;
using web::JSContext;
using web::JSResult;

class JSNativeFunctionTest : public testing::Test {
protected:
    std::shared_ptr<JSContext> context = JSContext::create();
};

TEST_F(JSNativeFunctionTest, ReceivesValuesAndAnswersOne) {
    std::vector<core::Value> seen;
    context->setFunction("record", [&](const JSArguments& arguments) -> JSResult {
        for (const auto& argument : arguments) {
            seen.push_back(argument.value());
        }
        EXPECT_TRUE(arguments[7].value().isNull());  // past the end
        return core::Value(core::Dictionary{{"count", arguments.size()}});
    });
    const auto result = context->evaluate("record(1, 'two', {three: [3]}, undefined, false).count");
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value(), core::Value(5));
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[2]["three"][0], core::Value(3));
    EXPECT_TRUE(seen[3].isNull());
    EXPECT_TRUE(seen[4].isBool());
    EXPECT_EQ(context->evaluate("typeof record.call").value(), core::Value("function"));
}

TEST_F(JSNativeFunctionTest, FailuresAreThrownIntoTheScript) {
    context->setFunction(
        "refuse", [](const JSArguments&) { return JSResult::failure("not allowed", "TypeError"); });
    context->setFunction("odd", [](const JSArguments&) {
        return JSResult::failure("custom failure", "NetworkError");
    });
    EXPECT_EQ(context
                  ->evaluate("try { refuse(); 'no' } catch (e) {"
                             " (e instanceof TypeError) + ':' + e.message }")
                  .value(),
              core::Value("true:not allowed"));
    const auto uncaught = context->evaluate("odd()");
    ASSERT_FALSE(uncaught.ok());
    EXPECT_EQ(uncaught.exception()->name, "NetworkError");
    EXPECT_EQ(uncaught.exception()->message, "custom failure");

    bool called = false;
    context->setFunction("probe", [&](const JSArguments&) {
        called = true;
        return JSResult();
    });
    const auto cyclic = context->evaluate("var o = {}; o.o = o; probe(o)");
    EXPECT_FALSE(called);
    ASSERT_FALSE(cyclic.ok());
    EXPECT_EQ(cyclic.exception()->name, "TypeError");
}

TEST_F(JSNativeFunctionTest, ReplacingAFunctionTakesEffect) {
    context->setFunction("version", [](const JSArguments&) { return core::Value(1); });
    EXPECT_EQ(context->evaluate("version()").value(), core::Value(1));
    context->setFunction("version", [this](const JSArguments&) {
        // Replacing itself while it runs must not pull the ground from under it.
        context->setFunction("version", [](const JSArguments&) { return core::Value(3); });
        return core::Value(2);
    });
    EXPECT_EQ(context->evaluate("version()").value(), core::Value(2));
    EXPECT_EQ(context->evaluate("version()").value(), core::Value(3));
}

TEST_F(JSNativeFunctionTest, KeptCallbacksCanBeCalledLater) {
    std::vector<JSCallback> kept;
    context->setFunction("request", [&](const JSArguments& arguments) {
        EXPECT_FALSE(arguments[0].isFunction());
        EXPECT_TRUE(arguments[1].isFunction());
        EXPECT_FALSE(arguments[0].function().isValid());
        kept.push_back(arguments[1].function());
        return JSResult();
    });
    ASSERT_TRUE(context
                    ->evaluate("var got = [];"
                               "request({url: 'a'}, function (r) {"
                               "  got.push(r.status); return got.length; });")
                    .ok());
    // The script drops every reference of its own and collects.
    JSGarbageCollect(context->globalContext());
    ASSERT_EQ(kept.size(), 1u);
    const auto first = kept[0].call({core::Dictionary{{"status", 200}}});
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.value(), core::Value(1));
    const JSCallback copy = kept[0];
    kept.clear();
    EXPECT_EQ(copy.call({core::Dictionary{{"status", 404}}}).value(), core::Value(2));
    EXPECT_EQ(context->evaluate("got.join()").value(), core::Value("200,404"));

    EXPECT_FALSE(JSCallback().call().ok());
}

TEST_F(JSNativeFunctionTest, ACallbackOutlivesItsContext) {
    JSCallback kept;
    context->setFunction("keep", [&](const JSArguments& arguments) {
        kept = arguments[0].function();
        return JSResult();
    });
    ASSERT_TRUE(context->evaluate("keep(function () { return 1; })").ok());
    ASSERT_TRUE(kept.isValid());
    context.reset();
    EXPECT_FALSE(kept.isValid());
    const auto result = kept.call();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.exception()->message, JSContext::kContextGoneMessage);
    kept = JSCallback();  // destroyed after the engine's context is gone
}

TEST_F(JSNativeFunctionTest, ANativeFunctionMayDropItsOwnContext) {
    std::weak_ptr<JSContext> weak = context;
    context->setFunction("closeMe", [this](const JSArguments&) {
        context.reset();
        return core::Value("still running");
    });
    JSContext* raw = context.get();  // nobody else holds it during the call
    EXPECT_EQ(raw->evaluate("closeMe()").value(), core::Value("still running"));
    EXPECT_TRUE(weak.expired());
}

TEST_F(JSNativeFunctionTest, ScriptCallbacksCanCallBackIntoNative) {
    JSCallback callback;
    int depth = 0;
    context->setFunction("subscribe", [&](const JSArguments& arguments) {
        callback = arguments[0].function();
        return JSResult();
    });
    context->setFunction("note", [&](const JSArguments& arguments) {
        depth = static_cast<int>(arguments[0].value().intValue());
        return JSResult();
    });
    ASSERT_TRUE(context->evaluate("subscribe(function (n) { note(n * 2); })").ok());
    ASSERT_TRUE(callback.call({21}).ok());
    EXPECT_EQ(depth, 42);
}

}  // namespace
