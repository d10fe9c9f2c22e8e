#pragma once
// Runs the sawmill script in a JavaScript context of its own. At creation
// the script is evaluated, the global "DZSawmillNetworkIOFn" (see
// DZSawmillNetworkIO) installed, and the script started with
// DUZO_SawmillInit({netIOFn: DZSawmillNetworkIOFn}); commands then reach
// DUZO_Sawmill(commands).
//
// Threading: the context belongs to the thread that creates the executor
// (the main thread in the SDK), whose run loop runs the script, its timers
// and the callbacks of its network requests. asynchronouslyExecuteCommands()
// may be called from any thread: it posts the call to the context's thread
// and never runs it inline.

#include <memory>
#include <string>
#include <string_view>

#include "ads/foundation/DZSawmillCommandExecuting.h"
#include "core/Value.h"
#include "web/JSCallback.h"

namespace web {
class JSContext;
}

namespace ads {

class DZSawmillJSCoreCommandExecutor final
    : public DZSawmillCommandExecuting,
      public std::enable_shared_from_this<DZSawmillJSCoreCommandExecutor> {
public:
    static constexpr std::string_view kNetworkFunctionName = "DZSawmillNetworkIOFn";

    // nullptr for an empty script, an OS below 7.0.0, no engine, or a script
    // that throws or lacks DUZO_Sawmill or DUZO_SawmillInit.
    [[nodiscard]] static std::shared_ptr<DZSawmillJSCoreCommandExecutor>
    create(const std::string& script);
    ~DZSawmillJSCoreCommandExecutor() override;
    DZSawmillJSCoreCommandExecutor(const DZSawmillJSCoreCommandExecutor&) = delete;
    DZSawmillJSCoreCommandExecutor& operator=(const DZSawmillJSCoreCommandExecutor&) = delete;

    [[nodiscard]] bool isLoaded() const override { return true; }
    void asynchronouslyExecuteCommands(core::Array commands) override;

    // Sends what the script asked for; the answer reaches one of the two
    // callbacks (each may be absent) on the context's thread.
    void handleNetworkIOWithParameters(const core::Value& parameters, web::JSCallback success,
                                       web::JSCallback failure);

    [[nodiscard]] const std::shared_ptr<web::JSContext>& context() const { return context_; }

private:
    explicit DZSawmillJSCoreCommandExecutor(std::shared_ptr<web::JSContext> context);
    [[nodiscard]] bool start(const std::string& script);

    const std::shared_ptr<web::JSContext> context_;
};

}  // namespace ads
