#include "web/JSCallback.h"

#include "web/JSContext.h"

namespace web {

JSResult JSCallback::call(const core::Array& arguments) const {
    if (function_.isEmpty()) {
        return JSResult::failure("The callback is empty.", "TypeError");
    }
    const auto context = function_.context();
    if (!context) {
        return JSResult::failure(JSContext::kContextGoneMessage);
    }
    context->checkThread("JSCallback::call");
    return context->callValue(function_.value(), arguments);
}

}  // namespace web
