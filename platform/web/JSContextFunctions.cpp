// JSContext: native functions exposed to scripts.
#include <vector>

#include "web/JSContext.h"
#include "web/JSConversion.h"

namespace web {

void JSContext::setFunction(const std::string& name, NativeFunction function) {
    checkThread("setFunction");
    auto engineFunction = [this, function = std::move(function)](
                              JSContextRef context, size_t count, const JSValueRef arguments[],
                              JSValueRef* exception) -> JSValueRef {
        std::vector<JSArgument> converted;
        converted.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const JSValueRef argument = arguments[i];
            if (JSValueIsObject(context, argument) &&
                JSObjectIsFunction(context, JSValueToObject(context, argument, nullptr))) {
                converted.emplace_back(JSCallback(JSValueHandle(shared_from_this(), argument)));
                continue;
            }
            JSResult value = JSConversion::toValue(context, argument);
            if (!value.ok()) {
                *exception = JSConversion::makeError(context, *value.exception());
                return JSValueMakeUndefined(context);
            }
            converted.emplace_back(value.value());
        }
        return convertNativeResult(function(JSArguments(std::move(converted))), exception);
    };
    const auto previous = globalFunctions_.find(name);
    if (previous != globalFunctions_.end()) {
        JSValueUnprotect(context_, previous->second);
        functions_.erase(previous->second);
        globalFunctions_.erase(previous);
    }
    const JSObjectRef object = JSContextGetGlobalObject(context_);
    globalFunctions_[name] = setEngineFunction(object, name, std::move(engineFunction));
}

JSObjectRef JSContext::setEngineFunction(JSObjectRef target, const std::string& name,
                                         EngineFunction function) {
    const JSConversion::String key(name);
    const JSObjectRef object = JSObjectMakeFunctionWithCallback(context_, key.get(), dispatch);
    JSValueProtect(context_, object);
    functions_[object] = std::make_shared<const EngineFunction>(std::move(function));
    JSObjectSetProperty(context_, target, key.get(), object, kJSPropertyAttributeNone, nullptr);
    return object;
}

JSValueRef JSContext::dispatch(JSContextRef context, JSObjectRef function, JSObjectRef,
                               size_t count, const JSValueRef arguments[], JSValueRef* exception) {
    JSContext* owner = fromEngine(context);
    const auto keepAlive = owner ? owner->weak_from_this().lock() : nullptr;
    if (!keepAlive) {
        return JSValueMakeUndefined(context);
    }
    const auto found = keepAlive->functions_.find(function);
    if (found == keepAlive->functions_.end()) {
        return JSValueMakeUndefined(context);
    }
    // The function may replace itself while it runs.
    const auto callable = found->second;
    return (*callable)(context, count, arguments, exception);
}

JSValueRef JSContext::convertNativeResult(const JSResult& result, JSValueRef* exception) {
    if (!result.ok()) {
        *exception = JSConversion::makeError(context_, *result.exception());
        return JSValueMakeUndefined(context_);
    }
    return JSConversion::fromValue(context_, result.value());
}

}  // namespace web
