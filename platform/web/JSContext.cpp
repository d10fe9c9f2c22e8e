#include "web/JSContext.h"

#include <vector>

#include "core/Fatal.h"
#include "core/RunLoop.h"
#include "web/EngineStart.h"
#include "web/JSConversion.h"

namespace web {

namespace {

// Arguments converted for a call, protected until the call returns: they
// live on the heap, where the collector does not look for them.
class ProtectedArguments {
public:
    ProtectedArguments(JSContextRef context, const core::Array& values) : context_(context) {
        values_.reserve(values.size());
        for (const auto& value : values) {
            const JSValueRef converted = JSConversion::fromValue(context, value);
            JSValueProtect(context, converted);
            values_.push_back(converted);
        }
    }
    ~ProtectedArguments() {
        for (const auto value : values_) {
            JSValueUnprotect(context_, value);
        }
    }
    ProtectedArguments(const ProtectedArguments&) = delete;
    ProtectedArguments& operator=(const ProtectedArguments&) = delete;

    [[nodiscard]] size_t size() const { return values_.size(); }
    [[nodiscard]] const JSValueRef* data() const { return values_.data(); }

private:
    JSContextRef context_;
    std::vector<JSValueRef> values_;
};

}  // namespace

JSContext::JSContext(Private)
    : thread_(std::this_thread::get_id()), loop_(core::RunLoop::current().shared_from_this()) {}

std::shared_ptr<JSContext> JSContext::create() {
    if (core::RunLoop::isMainThread()) startEngineOnMainThread();
    auto context = std::make_shared<JSContext>(Private{});
    if (!context->start()) {
        return nullptr;
    }
    return context;
}

bool JSContext::start() {
    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "Global";
    JSClassRef globalClass = JSClassCreate(&definition);
    context_ = JSGlobalContextCreate(globalClass);
    JSClassRelease(globalClass);
    if (!context_) {
        return false;
    }
    JSObjectSetPrivate(JSContextGetGlobalObject(context_), this);
    installTimers();
    installConsole();
    return true;
}

JSContext::~JSContext() {
    for (const auto& [id, entry] : timers_) {
        (void)id;
        cancelTimer(*entry);
    }
    timers_.clear();
    functions_.clear();
    if (context_) {
        JSObjectSetPrivate(JSContextGetGlobalObject(context_), nullptr);
        JSGlobalContextRelease(context_);
    }
}

JSContext* JSContext::fromEngine(JSContextRef context) {
    return static_cast<JSContext*>(JSObjectGetPrivate(JSContextGetGlobalObject(context)));
}

void JSContext::checkThread(const char* what) const {
    if (!isCurrentThread()) {
        std::string message("web::JSContext: ");
        message.append(what);
        message.append(" called off the context's thread");
        core::fatal(message);
    }
}

JSResult JSContext::evaluate(const std::string& script, const std::string& sourceURL) {
    checkThread("evaluate");
    const auto keepAlive = shared_from_this();
    const JSConversion::String text(script);
    const JSConversion::String url(sourceURL);
    JSValueRef thrown = nullptr;
    const JSValueRef result = JSEvaluateScript(context_, text.get(), nullptr,
                                               sourceURL.empty() ? nullptr : url.get(), 1, &thrown);
    if (thrown) {
        return JSConversion::exception(context_, thrown);
    }
    return JSConversion::toValue(context_, result);
}

JSResult JSContext::callFunction(const std::string& name, const core::Array& jsonArguments) {
    checkThread("callFunction");
    const auto keepAlive = shared_from_this();
    const JSValueRef function =
        JSConversion::property(context_, JSContextGetGlobalObject(context_), name);
    if (!JSValueIsObject(context_, function) ||
        !JSObjectIsFunction(context_, JSValueToObject(context_, function, nullptr))) {
        return JSResult::failure(name + " is not a function", "TypeError");
    }
    return callValue(function, jsonArguments);
}

JSResult JSContext::callValue(JSValueRef function, const core::Array& jsonArguments) {
    const auto keepAlive = shared_from_this();
    const ProtectedArguments arguments(context_, jsonArguments);
    JSValueRef thrown = nullptr;
    const JSValueRef result = JSObjectCallAsFunction(
        context_, JSValueToObject(context_, function, nullptr), JSContextGetGlobalObject(context_),
        arguments.size(), arguments.data(), &thrown);
    if (thrown) {
        return JSConversion::exception(context_, thrown);
    }
    return JSConversion::toValue(context_, result);
}

size_t JSContext::pendingTimerCount() const {
    checkThread("pendingTimerCount");
    return timers_.size();
}

}  // namespace web
