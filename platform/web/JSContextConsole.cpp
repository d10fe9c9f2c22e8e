// JSContext: the console object, writing to core::Console.
#include <string>

#include "core/Console.h"
#include "web/JSContext.h"
#include "web/JSConversion.h"

namespace web {

namespace {

bool isError(JSContextRef context, JSValueRef value) {
    const JSValueRef constructor =
        JSConversion::property(context, JSContextGetGlobalObject(context), "Error");
    return JSValueIsObject(context, constructor) &&
           JSValueIsInstanceOfConstructor(context, value,
                                          JSValueToObject(context, constructor, nullptr), nullptr);
}

// Text as is, objects and arrays as JSON, everything else as String() would.
std::string describe(JSContextRef context, JSValueRef value) {
    if (JSValueIsObject(context, value) && !isError(context, value) &&
        !JSObjectIsFunction(context, JSValueToObject(context, value, nullptr))) {
        JSValueRef thrown = nullptr;
        JSStringRef json = JSValueCreateJSONString(context, value, 0, &thrown);
        if (!thrown && json) {
            return JSConversion::String(json).utf8();
        }
    }
    return JSConversion::toText(context, value);
}

}  // namespace

void JSContext::installConsole() {
    const JSObjectRef console = JSObjectMake(context_, nullptr, nullptr);
    const JSConversion::String name("console");
    JSObjectSetProperty(context_, JSContextGetGlobalObject(context_), name.get(), console,
                        kJSPropertyAttributeDontEnum, nullptr);
    const std::pair<const char*, const char*> levels[] = {
        {"log", ""}, {"info", ""}, {"debug", ""}, {"warn", "warn: "}, {"error", "error: "}};
    for (const auto& [level, prefix] : levels) {
        setEngineFunction(console, level,
                          [prefix = std::string(prefix)](JSContextRef context, size_t count,
                                                         const JSValueRef arguments[],
                                                         JSValueRef*) {
                              std::string line = prefix;
                              for (size_t i = 0; i < count; ++i) {
                                  if (i > 0) {
                                      line.push_back(' ');
                                  }
                                  line.append(describe(context, arguments[i]));
                              }
                              core::Console::log(line);
                              return JSValueMakeUndefined(context);
                          });
    }
}

}  // namespace web
