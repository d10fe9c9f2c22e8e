#pragma once
// A JavaScript context: a global object of its own on which scripts are
// evaluated, global functions called with JSON arguments, and native
// functions installed.
//
// Every context also has:
//  - setTimeout/setInterval(function or text, milliseconds, ...arguments)
//    answering an id, and clearTimeout/clearInterval(id), on core::Timer in
//    the context's run loop, so they follow core::Clock (a manual clock
//    drives them). A missing, negative or NaN delay counts as 0; intervals
//    below 1 ms count as 1 ms. An exception escaping a timer is logged as
//    "error: Uncaught <name>: <message> (<url>:<line>)";
//  - console.log, info, debug, warn and error: one core::Console line per
//    call, the arguments joined by spaces (text as is, objects and arrays as
//    JSON, the rest as String() gives), warn and error lines starting with
//    "warn: " and "error: ".
//
// Threading: a context belongs to the thread that created it and runs its
// timers on that thread's run loop. evaluate(), callFunction(),
// setFunction() and JSCallback::call() are for that thread only; a call from
// another thread stops the process. From any thread, evaluateAsync(),
// callFunctionAsync() and perform() post the work to the context's run loop
// and never run it inline, even on the context's own thread. Their
// completion runs on the caller's queue (Queue::current()), or, for a caller
// outside any queue, on the caller thread's run loop, which must then be
// run. When the context is gone before the work runs, the completion gets a
// failure named "Error" with the message "The JavaScript context is gone."
// and perform()'s work does not run.
//
// Values cross as core::Value in JSON form: bools stay bools, integral
// numbers up to 2^53 in magnitude become integers, other numbers doubles
// (NaN and infinities read as null, as JSON does), a BigInt that fits 64 bits
// an integer, undefined and symbols null; objects and arrays go through JSON
// (toJSON is honoured, functions inside them are dropped). A value JSON
// cannot hold (a cycle) makes a result a failure, and a native function's
// argument a TypeError thrown into the script. Data values are passed as
// arrays of byte values, dates as their seconds since 1970.
//
// The context may be destroyed on any thread; destruction cancels its timers
// and releases the engine's context. Work already posted finds it gone.
// A native function may drop the last reference to its own context: the
// context then goes away once the running call returns.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <JavaScriptCore/JavaScript.h>

#include "core/RunLoop.h"
#include "core/Value.h"
#include "web/JSArguments.h"
#include "web/JSCallback.h"
#include "web/JSResult.h"

namespace web {

class JSContext : public std::enable_shared_from_this<JSContext> {
public:
    // Answers the value the script sees, or a failure to throw into it.
    using NativeFunction = std::function<JSResult(const JSArguments& arguments)>;
    using Completion = std::function<void(JSResult result)>;

    static constexpr const char* kContextGoneMessage = "The JavaScript context is gone.";

    // A context bound to the calling thread and its run loop; nullptr when
    // the engine cannot make one.
    [[nodiscard]] static std::shared_ptr<JSContext> create();

    JSContext(const JSContext&) = delete;
    JSContext& operator=(const JSContext&) = delete;
    ~JSContext();

    // sourceURL names the script in exceptions; line numbers start at 1.
    JSResult evaluate(const std::string& script, const std::string& sourceURL = "");
    // Calls the global function name with this = the global object. A name
    // that is not a function answers a "TypeError".
    JSResult callFunction(const std::string& name, const core::Array& jsonArguments = {});
    // Installs (or replaces) the global function name.
    void setFunction(const std::string& name, NativeFunction function);

    void evaluateAsync(std::string script, Completion completion, std::string sourceURL = "");
    void callFunctionAsync(std::string name, core::Array jsonArguments, Completion completion);
    void perform(std::function<void(JSContext&)> work);

    [[nodiscard]] bool isCurrentThread() const { return std::this_thread::get_id() == thread_; }
    // Stops the process when called off the context's thread.
    void checkThread(const char* what) const;
    // Number of setTimeout/setInterval timers not yet fired or cleared.
    [[nodiscard]] size_t pendingTimerCount() const;

    // Engine access for platform/web's own classes.
    [[nodiscard]] JSGlobalContextRef globalContext() const { return context_; }
    // The context whose global object is context's, or nullptr.
    [[nodiscard]] static JSContext* fromEngine(JSContextRef context);
    // Calls a function value of this context; on the context's thread.
    JSResult callValue(JSValueRef function, const core::Array& jsonArguments);

private:
    struct Private {};
    // Receives the engine's arguments; answers the result or sets *exception.
    using EngineFunction = std::function<JSValueRef(
        JSContextRef context, size_t count, const JSValueRef arguments[], JSValueRef* exception)>;
    struct TimerEntry;

public:
    explicit JSContext(Private);

private:
    [[nodiscard]] bool start();
    JSObjectRef setEngineFunction(JSObjectRef target, const std::string& name,
                                  EngineFunction function);
    static JSValueRef dispatch(JSContextRef context, JSObjectRef function, JSObjectRef thisObject,
                               size_t count, const JSValueRef arguments[], JSValueRef* exception);
    JSValueRef convertNativeResult(const JSResult& result, JSValueRef* exception);

    // Timers and console, installed by start().
    void installTimers();
    void installConsole();
    JSValueRef addTimer(size_t count, const JSValueRef arguments[], bool repeats,
                        JSValueRef* exception);
    void clearTimer(size_t count, const JSValueRef arguments[]);
    void fireTimer(std::int64_t id);
    static void cancelTimer(TimerEntry& entry);
    void reportUncaught(const JSException& exception) const;

    // Posts work to the context's loop; its result goes to the caller's queue.
    void postWithCompletion(std::function<JSResult(JSContext&)> work, Completion completion);

    const std::thread::id thread_;
    const std::shared_ptr<core::RunLoop> loop_;
    JSGlobalContextRef context_ = nullptr;
    // Keyed by the function objects, which stay protected while listed.
    std::map<JSObjectRef, std::shared_ptr<const EngineFunction>> functions_;
    std::map<std::string, JSObjectRef> globalFunctions_;  // set by setFunction()
    std::map<std::int64_t, std::shared_ptr<TimerEntry>> timers_;
    std::int64_t nextTimerId_ = 1;
};

}  // namespace web
