#include "web/JSConversion.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/JSON.h"

namespace web {

namespace {

constexpr double kMaxSafeInteger = 9007199254740992.0;  // 2^53

constexpr std::array<std::string_view, 7> kStandardErrors{
    "Error", "TypeError", "RangeError", "SyntaxError", "ReferenceError", "EvalError", "URIError"};

bool isStandardError(std::string_view name) {
    for (const auto standard : kStandardErrors) {
        if (standard == name) {
            return true;
        }
    }
    return false;
}

JSResult bigIntValue(JSContextRef context, JSValueRef value) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    if (JSValueCompareInt64(context, value, kMin, nullptr) == kJSRelationConditionLessThan ||
        JSValueCompareInt64(context, value, kMax, nullptr) == kJSRelationConditionGreaterThan) {
        return JSResult::failure("The BigInt does not fit 64 bits.", "RangeError");
    }
    return core::Value(JSValueToInt64(context, value, nullptr));
}

}  // namespace

JSConversion::String::String(const std::string& text)
    : string_(JSStringCreateWithUTF8CString(text.c_str())) {}

JSConversion::String::~String() {
    if (string_) {
        JSStringRelease(string_);
    }
}

std::string JSConversion::String::utf8() const {
    if (!string_) {
        return {};
    }
    std::string text(JSStringGetMaximumUTF8CStringSize(string_), '\0');
    const size_t written = JSStringGetUTF8CString(string_, text.data(), text.size());
    text.resize(written > 0 ? written - 1 : 0);
    return text;
}

core::Value JSConversion::numberValue(double number) {
    if (!std::isfinite(number)) {
        return nullptr;
    }
    if (std::trunc(number) == number && std::fabs(number) <= kMaxSafeInteger) {
        return static_cast<std::int64_t>(number);
    }
    return number;
}

JSResult JSConversion::toValue(JSContextRef context, JSValueRef value) {
    switch (JSValueGetType(context, value)) {
    case kJSTypeUndefined:
    case kJSTypeNull:
    case kJSTypeSymbol:
        return core::Value();
    case kJSTypeBoolean:
        return core::Value(JSValueToBoolean(context, value));
    case kJSTypeNumber:
        return numberValue(JSValueToNumber(context, value, nullptr));
    case kJSTypeString:
        return core::Value(toText(context, value));
    case kJSTypeBigInt:
        return bigIntValue(context, value);
    default:
        break;
    }
    if (JSObjectIsFunction(context, JSValueToObject(context, value, nullptr))) {
        return core::Value();
    }
    JSValueRef thrown = nullptr;
    JSStringRef json = JSValueCreateJSONString(context, value, 0, &thrown);
    if (thrown) {
        return exception(context, thrown);
    }
    if (!json) {
        return core::Value();  // toJSON answered undefined
    }
    const String text(json);
    core::JSONReadOptions options;
    options.allowFragments = true;
    options.maxDepth = core::JSON::kMaxSupportedDepth;
    auto parsed = core::JSON::parse(text.utf8(), options);
    if (!parsed) {
        return JSResult::failure("The value is nested too deeply to convert.", "RangeError");
    }
    return std::move(*parsed);
}

JSValueRef JSConversion::fromValue(JSContextRef context, const core::Value& value) {
    using Kind = core::Value::Kind;
    switch (value.kind()) {
    case Kind::Null:
        return JSValueMakeNull(context);
    case Kind::Bool:
        return JSValueMakeBoolean(context, value.boolValue());
    case Kind::Integer:
        return JSValueMakeNumber(context, value.isUnsigned()
                                              ? static_cast<double>(value.uintValue())
                                              : static_cast<double>(value.intValue()));
    case Kind::Double:
        return JSValueMakeNumber(context, value.doubleValue());
    case Kind::String: {
        const String text(*value.string());
        return JSValueMakeString(context, text.get());
    }
    case Kind::Data: {
        const JSObjectRef array = JSObjectMakeArray(context, 0, nullptr, nullptr);
        unsigned index = 0;
        for (const auto byte : *value.data()) {
            JSObjectSetPropertyAtIndex(context, array, index++, JSValueMakeNumber(context, byte),
                                       nullptr);
        }
        return array;
    }
    case Kind::Date:
        return JSValueMakeNumber(context, value.date()->secondsSince1970);
    case Kind::Array: {
        // Filled in place: the array, on the stack, keeps its elements alive.
        const JSObjectRef array = JSObjectMakeArray(context, 0, nullptr, nullptr);
        unsigned index = 0;
        for (const auto& element : *value.array()) {
            JSObjectSetPropertyAtIndex(context, array, index++, fromValue(context, element),
                                       nullptr);
        }
        return array;
    }
    case Kind::Dictionary:
        break;
    }
    JSObjectRef object = JSObjectMake(context, nullptr, nullptr);
    for (const auto& [key, element] : *value.dictionary()) {
        const String name(key);
        JSObjectSetProperty(context, object, name.get(), fromValue(context, element),
                            kJSPropertyAttributeNone, nullptr);
    }
    return object;
}

std::string JSConversion::toText(JSContextRef context, JSValueRef value) {
    JSValueRef thrown = nullptr;
    JSStringRef text = JSValueToStringCopy(context, value, &thrown);
    if (thrown || !text) {
        return {};
    }
    return String(text).utf8();
}

JSValueRef JSConversion::property(JSContextRef context, JSValueRef object,
                                  const std::string& name) {
    if (!JSValueIsObject(context, object)) {
        return JSValueMakeUndefined(context);
    }
    const String key(name);
    JSValueRef thrown = nullptr;
    JSValueRef result =
        JSObjectGetProperty(context, JSValueToObject(context, object, nullptr), key.get(), &thrown);
    return thrown || !result ? JSValueMakeUndefined(context) : result;
}

JSException JSConversion::exception(JSContextRef context, JSValueRef thrown) {
    JSException exception;
    if (!JSValueIsObject(context, thrown)) {
        exception.message = toText(context, thrown);
        return exception;
    }
    const JSValueRef message = property(context, thrown, "message");
    exception.message =
        JSValueIsUndefined(context, message) ? toText(context, thrown) : toText(context, message);
    const JSValueRef name = property(context, thrown, "name");
    if (!JSValueIsUndefined(context, name)) {
        exception.name = toText(context, name);
    }
    const JSValueRef line = property(context, thrown, "line");
    if (JSValueIsNumber(context, line)) {
        exception.line = static_cast<int>(JSValueToNumber(context, line, nullptr));
    }
    const JSValueRef sourceURL = property(context, thrown, "sourceURL");
    if (JSValueIsString(context, sourceURL)) {
        exception.sourceURL = toText(context, sourceURL);
    }
    return exception;
}

JSValueRef JSConversion::makeError(JSContextRef context, const JSException& exception) {
    const String message(exception.message);
    JSValueRef arguments[] = {JSValueMakeString(context, message.get())};
    const std::string name = exception.name.empty() ? "Error" : exception.name;
    JSObjectRef error = nullptr;
    if (isStandardError(name)) {
        const JSValueRef constructor = property(context, JSContextGetGlobalObject(context), name);
        if (JSValueIsObject(context, constructor)) {
            error = JSObjectCallAsConstructor(
                context, JSValueToObject(context, constructor, nullptr), 1, arguments, nullptr);
        }
    }
    if (!error) {
        error = JSObjectMakeError(context, 1, arguments, nullptr);
    }
    if (error && name != "Error" && !isStandardError(name)) {
        const String key("name");
        const String text(name);
        JSObjectSetProperty(context, error, key.get(), JSValueMakeString(context, text.get()),
                            kJSPropertyAttributeDontEnum, nullptr);
    }
    return error ? error : JSValueMakeString(context, message.get());
}

}  // namespace web
