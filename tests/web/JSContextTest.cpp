#include <gtest/gtest.h>

#include "support/ValuePrinting.h"
#include "web/JSContext.h"

namespace {

using web::JSContext;

class JSContextTest : public testing::Test {
protected:
    std::shared_ptr<JSContext> context = JSContext::create();
};

TEST_F(JSContextTest, ResultsKeepTheirJSONKinds) {
    ASSERT_NE(context, nullptr);
    const auto integer = context->evaluate("40 + 2").value();
    EXPECT_TRUE(integer.isInteger());
    EXPECT_EQ(integer.intValue(), 42);
    EXPECT_TRUE(context->evaluate("0.5").value().isDouble());
    EXPECT_TRUE(context->evaluate("Math.pow(2, 53) + 2").value().isDouble());
    EXPECT_TRUE(context->evaluate("-Math.pow(2, 53)").value().isInteger());
    EXPECT_TRUE(context->evaluate("true").value().isBool());
    EXPECT_TRUE(context->evaluate("undefined").value().isNull());
    EXPECT_TRUE(context->evaluate("NaN").value().isNull());
    EXPECT_TRUE(context->evaluate("(function () {})").value().isNull());
    EXPECT_EQ(context->evaluate("'h\\u00e9llo ' + '\\u4e16'").value(), core::Value("héllo 世"));
    EXPECT_EQ(context->evaluate("12345678901234n").value(), core::Value(12345678901234LL));

    const auto object = context->evaluate("({b: [1, true, 'x', null], a: {c: 2.5}})").value();
    ASSERT_TRUE(object.isDictionary());
    ASSERT_FALSE(object.dictionary()->empty());
    EXPECT_EQ(object.dictionary()->begin()->first, "b");  // the script's order
    EXPECT_TRUE(object["b"][1].isBool());
    EXPECT_TRUE(object["b"][0].isInteger());
    EXPECT_EQ(object["a"]["c"], core::Value(2.5));
}

TEST_F(JSContextTest, ExceptionsCarryNameMessageAndPlace) {
    const auto thrown =
        context->evaluate("var a = 1;\n\nthrow new TypeError('bad input');", "page.js");
    ASSERT_FALSE(thrown.ok());
    EXPECT_TRUE(thrown.value().isNull());
    EXPECT_EQ(thrown.exception()->name, "TypeError");
    EXPECT_EQ(thrown.exception()->message, "bad input");
    EXPECT_EQ(thrown.exception()->line, 3);
    EXPECT_EQ(thrown.exception()->sourceURL, "page.js");
    EXPECT_EQ(thrown.exception()->description(), "TypeError: bad input (page.js:3)");

    const auto syntax = context->evaluate("var x = 1;\nvar = ;");
    ASSERT_FALSE(syntax.ok());
    EXPECT_EQ(syntax.exception()->name, "SyntaxError");
    EXPECT_EQ(syntax.exception()->line, 2);

    const auto reference = context->evaluate("missingName.field");
    ASSERT_TRUE(reference.exception());
    EXPECT_EQ(reference.exception()->name, "ReferenceError");

    const auto plain = context->evaluate("throw 'just text'");
    ASSERT_TRUE(plain.exception());
    EXPECT_EQ(plain.exception()->message, "just text");
    EXPECT_EQ(plain.exception()->name, "");
}

TEST_F(JSContextTest, AResultJSONCannotHoldIsAFailure) {
    const auto cyclic = context->evaluate("var o = {}; o.self = o; o");
    ASSERT_FALSE(cyclic.ok());
    EXPECT_EQ(cyclic.exception()->name, "TypeError");
    EXPECT_FALSE(context->evaluate("({toJSON() { throw new Error('no'); }})").ok());
    EXPECT_EQ(context->evaluate("({toJSON() { return 7; }})").value(), core::Value(7));
}

TEST_F(JSContextTest, CallsGlobalFunctionsWithJSONArguments) {
    ASSERT_TRUE(context
                    ->evaluate("function describe(o, list, text) {"
                               "  return [typeof o.flag, typeof o.count, o.count + list.length,"
                               "          text.length, Object.keys(o).join(',')];"
                               "}")
                    .ok());
    core::Dictionary object{{"flag", true}, {"count", 40}, {"z", nullptr}, {"a", "x"}};
    const auto result = context->callFunction(
        "describe", {core::Value(object), core::Array{1, 2}, core::Value("\xe4\xb8\x96")});
    ASSERT_TRUE(result.ok()) << result.exception()->description();
    EXPECT_EQ(result.value()[0], core::Value("boolean"));
    EXPECT_EQ(result.value()[1], core::Value("number"));
    EXPECT_EQ(result.value()[2], core::Value(42));
    EXPECT_EQ(result.value()[3], core::Value(1));
    EXPECT_EQ(result.value()[4], core::Value("flag,count,z,a"));

    const auto round = context->evaluate("function same(v) { return v; }");
    ASSERT_TRUE(round.ok());
    const core::Value nested(core::Array{core::Dictionary{{"k", core::Array{1.5, false}}}});
    EXPECT_EQ(context->callFunction("same", {nested}).value(), nested);
    EXPECT_EQ(context->callFunction("same", {core::Value(core::Data{1, 255})}).value(),
              core::Value(core::Array{1, 255}));

    const auto missing = context->callFunction("nothingHere");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.exception()->name, "TypeError");
    EXPECT_FALSE(context->callFunction("same", {}).exception().has_value());
}

TEST_F(JSContextTest, ErrorsThrownInsideCalledFunctionsComeBack) {
    ASSERT_TRUE(
        context->evaluate("function fail(m) {\n  throw new RangeError(m);\n}", "lib.js").ok());
    const auto result = context->callFunction("fail", {core::Value("too far")});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.exception()->name, "RangeError");
    EXPECT_EQ(result.exception()->message, "too far");
    EXPECT_EQ(result.exception()->line, 2);
    EXPECT_EQ(result.exception()->sourceURL, "lib.js");
}

TEST_F(JSContextTest, ArgumentsSurviveCollectionsDuringTheirConversion) {
    // Converting this many allocates enough to make the engine collect while
    // the earlier arguments wait for the call.
    ASSERT_TRUE(context
                    ->evaluate("function check() { var bad = 0;"
                               "  for (var i = 0; i < arguments.length; i++)"
                               "    if (arguments[i].id !== i || arguments[i].items.length !== 100)"
                               "      bad++;"
                               "  return bad; }"
                               "function checkOne(list) { return check.apply(null, list); }")
                    .ok());
    core::Array arguments;
    for (int i = 0; i < 3000; ++i) {
        core::Array items;
        for (int j = 0; j < 100; ++j) {
            items.emplace_back("item " + std::to_string(i) + "/" + std::to_string(j));
        }
        arguments.emplace_back(core::Dictionary{{"id", i}, {"items", std::move(items)}});
    }
    EXPECT_EQ(context->callFunction("check", arguments).value(), core::Value(0));
    EXPECT_EQ(context->callFunction("checkOne", {core::Value(arguments)}).value(), core::Value(0));
}

TEST_F(JSContextTest, ContextsAreIsolated) {
    auto other = JSContext::create();
    ASSERT_TRUE(context->evaluate("var shared = 1").ok());
    EXPECT_EQ(other->evaluate("typeof shared").value(), core::Value("undefined"));
}

}  // namespace
