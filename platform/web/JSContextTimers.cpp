// JSContext: setTimeout, setInterval and their clear functions, on
// core::Timer in the context's run loop.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Console.h"
#include "core/Timer.h"
#include "web/JSContext.h"
#include "web/JSConversion.h"

namespace web {

namespace {

// Below this a repeating script timer would flood the loop; browsers clamp
// too.
constexpr double kMinimumIntervalSeconds = 0.001;

double delaySeconds(JSContextRef context, size_t count, const JSValueRef arguments[]) {
    if (count < 2) {
        return 0;
    }
    const double milliseconds = JSValueToNumber(context, arguments[1], nullptr);
    return std::isfinite(milliseconds) && milliseconds > 0 ? milliseconds / 1000.0 : 0;
}

}  // namespace

struct JSContext::TimerEntry {
    std::shared_ptr<core::Timer> timer;
    JSValueHandle function;
    std::string code;  // run instead when the script passed text
    std::vector<JSValueHandle> arguments;
    bool repeats = false;
};

void JSContext::installTimers() {
    const JSObjectRef global = JSContextGetGlobalObject(context_);
    for (const bool repeats : {false, true}) {
        setEngineFunction(global, repeats ? "setInterval" : "setTimeout",
                          [this, repeats](JSContextRef, size_t count, const JSValueRef arguments[],
                                          JSValueRef* exception) {
                              return addTimer(count, arguments, repeats, exception);
                          });
        setEngineFunction(
            global, repeats ? "clearInterval" : "clearTimeout",
            [this](JSContextRef context, size_t count, const JSValueRef arguments[], JSValueRef*) {
                clearTimer(count, arguments);
                return JSValueMakeUndefined(context);
            });
    }
}

JSValueRef JSContext::addTimer(size_t count, const JSValueRef arguments[], bool repeats,
                               JSValueRef* exception) {
    if (count == 0) {
        JSException error;
        error.name = "TypeError";
        error.message = repeats ? "setInterval needs a function" : "setTimeout needs a function";
        *exception = JSConversion::makeError(context_, error);
        return JSValueMakeUndefined(context_);
    }
    auto entry = std::make_shared<TimerEntry>();
    entry->repeats = repeats;
    const auto self = shared_from_this();
    if (JSValueIsObject(context_, arguments[0]) &&
        JSObjectIsFunction(context_, JSValueToObject(context_, arguments[0], nullptr))) {
        entry->function = JSValueHandle(self, arguments[0]);
        for (size_t i = 2; i < count; ++i) {
            entry->arguments.emplace_back(self, arguments[i]);
        }
    } else {
        entry->code = JSConversion::toText(context_, arguments[0]);
    }
    double seconds = delaySeconds(context_, count, arguments);
    if (repeats) {
        seconds = std::max(seconds, kMinimumIntervalSeconds);
    }
    const std::int64_t id = nextTimerId_++;
    entry->timer = core::Timer::schedule(*loop_, seconds, repeats,
                                         [weak = weak_from_this(), id](core::Timer&) {
                                             if (const auto context = weak.lock()) {
                                                 context->fireTimer(id);
                                             }
                                         });
    timers_[id] = std::move(entry);
    return JSValueMakeNumber(context_, static_cast<double>(id));
}

void JSContext::clearTimer(size_t count, const JSValueRef arguments[]) {
    if (count == 0 || !JSValueIsNumber(context_, arguments[0])) {
        return;
    }
    const double id = JSValueToNumber(context_, arguments[0], nullptr);
    const auto found = timers_.find(static_cast<std::int64_t>(id));
    if (found == timers_.end()) {
        return;
    }
    cancelTimer(*found->second);
    timers_.erase(found);
}

void JSContext::cancelTimer(TimerEntry& entry) {
    if (entry.timer) {
        entry.timer->invalidate();
    }
}

void JSContext::fireTimer(std::int64_t id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) {
        return;
    }
    // Held while the script runs: it may clear its own timer.
    const auto entry = found->second;
    if (!entry->repeats) {
        timers_.erase(found);
    }
    JSValueRef thrown = nullptr;
    if (!entry->function.isEmpty()) {
        std::vector<JSValueRef> arguments;
        arguments.reserve(entry->arguments.size());
        for (const auto& argument : entry->arguments) {
            arguments.push_back(argument.value());
        }
        JSObjectCallAsFunction(
            context_, JSValueToObject(context_, entry->function.value(), nullptr),
            JSContextGetGlobalObject(context_), arguments.size(), arguments.data(), &thrown);
    } else {
        const JSConversion::String code(entry->code);
        JSEvaluateScript(context_, code.get(), nullptr, nullptr, 1, &thrown);
    }
    if (thrown) {
        reportUncaught(JSConversion::exception(context_, thrown));
    }
}

void JSContext::reportUncaught(const JSException& exception) const {
    std::string line("error: Uncaught ");
    line.append(exception.description());
    core::Console::log(line);
}

}  // namespace web
