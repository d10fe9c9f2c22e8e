#include "ads/foundation/DZSawmillJSCoreCommandExecutor.h"

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZSawmillNetworkIO.h"
#include "web/JSContext.h"

namespace ads {

namespace {

constexpr const char* kScriptSourceURL = "sawmill.js";

bool reportFailure(const web::JSResult& result, std::string_view step) {
    if (result.ok()) return false;
    DZLogWithLevel(2, "Sawmill script failed to %@: %@", std::string(step),
                   result.exception()->description());
    return true;
}

}  // namespace

std::shared_ptr<DZSawmillJSCoreCommandExecutor>
DZSawmillJSCoreCommandExecutor::create(const std::string& script) {
    if (script.empty() || !DZDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return nullptr;
    auto context = web::JSContext::create();
    if (!context) return nullptr;
    std::shared_ptr<DZSawmillJSCoreCommandExecutor> executor(
        new DZSawmillJSCoreCommandExecutor(std::move(context)));
    if (!executor->start(script)) return nullptr;
    return executor;
}

DZSawmillJSCoreCommandExecutor::DZSawmillJSCoreCommandExecutor(
    std::shared_ptr<web::JSContext> context)
    : context_(std::move(context)) {}

DZSawmillJSCoreCommandExecutor::~DZSawmillJSCoreCommandExecutor() = default;

bool DZSawmillJSCoreCommandExecutor::start(const std::string& script) {
    if (reportFailure(context_->evaluate(script, kScriptSourceURL), "load")) return false;
    const web::JSResult entries = context_->evaluate(
        "typeof DUZO_Sawmill === 'function' && typeof DUZO_SawmillInit === 'function'");
    if (!entries.ok() || !entries.value().boolValue()) {
        DZLogWithLevel(2, "Sawmill script lacks DUZO_Sawmill or DUZO_SawmillInit.");
        return false;
    }
    context_->setFunction(
        std::string(kNetworkFunctionName),
        [weak = weak_from_this()](const web::JSArguments& arguments) -> web::JSResult {
            if (const auto self = weak.lock()) {
                self->handleNetworkIOWithParameters(arguments[0].value(), arguments[1].function(),
                                                    arguments[2].function());
            }
            return web::JSResult();
        });
    const std::string init =
        "DUZO_SawmillInit({netIOFn: " + std::string(kNetworkFunctionName) + "});";
    return !reportFailure(context_->evaluate(init), "start");
}

void DZSawmillJSCoreCommandExecutor::asynchronouslyExecuteCommands(core::Array commands) {
    context_->perform([commands = std::move(commands)](web::JSContext& context) {
        reportFailure(context.callFunction("DUZO_Sawmill", core::Array{commands}), "run commands");
    });
}

void DZSawmillJSCoreCommandExecutor::handleNetworkIOWithParameters(const core::Value& parameters,
                                                                   web::JSCallback success,
                                                                   web::JSCallback failure) {
    DZSawmillNetworkIO::send(
        parameters, core::Queue::global(),
        [weakContext = std::weak_ptr(context_), success = std::move(success),
         failure = std::move(failure)](DZSawmillNetworkIOResult result) {
            const auto context = weakContext.lock();
            if (!context) return;
            const web::JSCallback& callback = result.succeeded ? success : failure;
            if (!callback.isValid()) return;
            context->perform([callback, argument = std::move(result.argument)](web::JSContext&) {
                reportFailure(callback.call(core::Array{argument}), "handle a network answer");
            });
        });
}

}  // namespace ads
