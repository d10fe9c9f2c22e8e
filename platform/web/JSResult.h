#pragma once
// The outcome of running script: a value converted to JSON form (undefined
// and functions read as null) or the exception the script threw. Native
// functions answer one too: a failure is thrown into the script as an Error
// with that name and message.

#include <optional>
#include <string>

#include "core/Value.h"
#include "web/JSException.h"

namespace web {

class JSResult {
public:
    JSResult() = default;  // a null value
    JSResult(core::Value value) : value_(std::move(value)) {}
    JSResult(JSException exception) : exception_(std::move(exception)) {}
    [[nodiscard]] static JSResult failure(std::string message, std::string name = "Error");

    [[nodiscard]] bool ok() const { return !exception_; }
    explicit operator bool() const { return ok(); }
    // Null when the script threw.
    [[nodiscard]] const core::Value& value() const { return value_; }
    [[nodiscard]] const std::optional<JSException>& exception() const { return exception_; }

private:
    core::Value value_;
    std::optional<JSException> exception_;
};

}  // namespace web
