#pragma once
// What a native function receives: each argument either a plain value
// (converted to JSON form; undefined reads as null) or a script function
// kept as a JSCallback. Reading past the end answers a null argument.

#include <vector>

#include "core/Value.h"
#include "web/JSCallback.h"

namespace web {

class JSArgument {
public:
    JSArgument() = default;
    explicit JSArgument(core::Value value) : value_(std::move(value)) {}
    explicit JSArgument(JSCallback function) : function_(std::move(function)), isFunction_(true) {}

    [[nodiscard]] bool isFunction() const { return isFunction_; }
    // Null for a function.
    [[nodiscard]] const core::Value& value() const { return value_; }
    // Empty (invalid) for a plain value.
    [[nodiscard]] const JSCallback& function() const { return function_; }

private:
    core::Value value_;
    JSCallback function_;
    bool isFunction_ = false;
};

class JSArguments {
public:
    JSArguments() = default;
    explicit JSArguments(std::vector<JSArgument> arguments) : arguments_(std::move(arguments)) {}

    [[nodiscard]] size_t size() const { return arguments_.size(); }
    [[nodiscard]] const JSArgument& operator[](size_t index) const;
    [[nodiscard]] auto begin() const { return arguments_.begin(); }
    [[nodiscard]] auto end() const { return arguments_.end(); }

private:
    std::vector<JSArgument> arguments_;
};

}  // namespace web
