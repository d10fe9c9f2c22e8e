#pragma once
// Keeps one script value protected from the garbage collector while any copy
// of the handle lives and its context does. Copies share one protection; the
// last copy unprotects. Safe to copy and destroy on any thread, also after
// the context is gone (nothing is left to unprotect then).
//
// Internal to platform/web: users hold JSCallback.

#include <memory>

#include <JavaScriptCore/JavaScript.h>

namespace web {

class JSContext;

class JSValueHandle {
public:
    JSValueHandle() = default;
    // Protects value, which must belong to context's global context.
    JSValueHandle(const std::shared_ptr<JSContext>& context, JSValueRef value);

    [[nodiscard]] bool isEmpty() const { return !holder_; }
    [[nodiscard]] bool isAlive() const;
    // The context, or nullptr when empty or gone.
    [[nodiscard]] std::shared_ptr<JSContext> context() const;
    // Meaningful only while context() is not null.
    [[nodiscard]] JSValueRef value() const;

private:
    struct Holder;
    std::shared_ptr<Holder> holder_;
};

}  // namespace web
