#pragma once
// A script function kept by native code for a later call: the function is
// protected from the garbage collector while any copy of the handle lives.
// Copies share the protection.
//
// call() runs on the owning context's thread only (any other thread stops
// the process). A handle may be copied and destroyed on any thread, also
// after its context is gone; calling it then answers a failure.

#include <memory>

#include "core/Value.h"
#include "web/JSResult.h"
#include "web/JSValueHandle.h"

namespace web {

class JSCallback {
public:
    JSCallback() = default;
    explicit JSCallback(JSValueHandle function) : function_(std::move(function)) {}

    // False for an empty handle and once the context is gone.
    [[nodiscard]] bool isValid() const { return function_.isAlive(); }
    // Calls the function with this = the global object and JSON arguments.
    JSResult call(const core::Array& arguments = {}) const;

    [[nodiscard]] const JSValueHandle& handle() const { return function_; }

private:
    JSValueHandle function_;
};

}  // namespace web
