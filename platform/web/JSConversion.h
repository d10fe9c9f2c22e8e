#pragma once
// Moves values between the engine and core::Value in JSON form, and reads
// thrown values into JSException. Internal to platform/web; every function
// runs on the thread of the context it is given.

#include <string>

#include <JavaScriptCore/JavaScript.h>

#include "core/Value.h"
#include "web/JSException.h"
#include "web/JSResult.h"

namespace web {

class JSConversion {
public:
    // Owns one engine string.
    class String {
    public:
        explicit String(const std::string& text);
        explicit String(JSStringRef adopted) : string_(adopted) {}
        ~String();
        String(const String&) = delete;
        String& operator=(const String&) = delete;
        [[nodiscard]] JSStringRef get() const { return string_; }
        [[nodiscard]] std::string utf8() const;

    private:
        JSStringRef string_;
    };

    // A value's JSON form; a failure when JSON cannot hold it (a cycle, a
    // throwing toJSON, nesting deeper than core::JSON reads).
    [[nodiscard]] static JSResult toValue(JSContextRef context, JSValueRef value);
    [[nodiscard]] static core::Value numberValue(double number);
    [[nodiscard]] static JSValueRef fromValue(JSContextRef context, const core::Value& value);
    // String(value); empty when that throws.
    [[nodiscard]] static std::string toText(JSContextRef context, JSValueRef value);
    // Named property of an object value; undefined for a non-object.
    [[nodiscard]] static JSValueRef property(JSContextRef context, JSValueRef object,
                                             const std::string& name);
    [[nodiscard]] static JSException exception(JSContextRef context, JSValueRef thrown);
    // An Error object (of the standard error type called name when there is
    // one) carrying exception's name and message.
    [[nodiscard]] static JSValueRef makeError(JSContextRef context, const JSException& exception);
};

}  // namespace web
