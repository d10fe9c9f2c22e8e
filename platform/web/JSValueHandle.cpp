#include "web/JSValueHandle.h"

#include "web/JSContext.h"

namespace web {

struct JSValueHandle::Holder {
    Holder(const std::shared_ptr<JSContext>& owner, JSValueRef protectedValue)
        : context(owner), value(protectedValue) {
        JSValueProtect(owner->globalContext(), value);
    }
    ~Holder() {
        // A context already gone took the whole heap with it.
        if (const auto owner = context.lock()) {
            JSValueUnprotect(owner->globalContext(), value);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    const std::weak_ptr<JSContext> context;
    const JSValueRef value;
};

JSValueHandle::JSValueHandle(const std::shared_ptr<JSContext>& context, JSValueRef value)
    : holder_(context && value ? std::make_shared<Holder>(context, value) : nullptr) {}

bool JSValueHandle::isAlive() const {
    return holder_ && !holder_->context.expired();
}

std::shared_ptr<JSContext> JSValueHandle::context() const {
    return holder_ ? holder_->context.lock() : nullptr;
}

JSValueRef JSValueHandle::value() const {
    return holder_ ? holder_->value : nullptr;
}

}  // namespace web
