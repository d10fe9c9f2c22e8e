// JSContext: entries usable from any thread, posting to the context's loop.
#include "core/Queue.h"
#include "web/JSContext.h"

namespace web {

namespace {

using Deliver = std::function<void(std::function<void()>)>;

// Where the calling code's completions go: its queue, else its thread's loop.
Deliver callerDelivery() {
    if (core::Queue* queue = core::Queue::current()) {
        return [queue = queue->shared_from_this()](std::function<void()> task) {
            queue->async(std::move(task));
        };
    }
    return [loop = core::RunLoop::current().shared_from_this()](std::function<void()> task) {
        loop->post(std::move(task));
    };
}

}  // namespace

void JSContext::evaluateAsync(std::string script, Completion completion, std::string sourceURL) {
    postWithCompletion([script = std::move(script), sourceURL = std::move(sourceURL)](
                           JSContext& context) { return context.evaluate(script, sourceURL); },
                       std::move(completion));
}

void JSContext::callFunctionAsync(std::string name, core::Array jsonArguments,
                                  Completion completion) {
    postWithCompletion([name = std::move(name), arguments = std::move(jsonArguments)](
                           JSContext& context) { return context.callFunction(name, arguments); },
                       std::move(completion));
}

void JSContext::perform(std::function<void(JSContext&)> work) {
    loop_->post([weak = weak_from_this(), work = std::move(work)] {
        if (const auto context = weak.lock()) {
            work(*context);
        }
    });
}

void JSContext::postWithCompletion(std::function<JSResult(JSContext&)> work,
                                   Completion completion) {
    loop_->post([weak = weak_from_this(), work = std::move(work),
                 completion = std::move(completion), deliver = callerDelivery()] {
        JSResult result = JSResult::failure(kContextGoneMessage);
        if (const auto context = weak.lock()) {
            result = work(*context);
        }
        if (completion) {
            deliver([completion, result = std::move(result)] { completion(result); });
        }
    });
}

}  // namespace web
