#pragma once
// The outcome of a file or folder operation: a value on success, or a message
// that names the path and the system's reason on failure. I/O failures are
// ordinary results here, never exceptions.

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace core {

template <typename T = std::monostate>
class [[nodiscard]] FileResult {
public:
    FileResult() requires std::is_same_v<T, std::monostate> : value_(std::monostate{}) {}
    FileResult(T value) : value_(std::move(value)) {}

    // errorNumber is the errno behind the failure, or 0 when there was none.
    static FileResult failure(std::string message, int errorNumber = 0) {
        FileResult result(std::nullopt);
        result.error_ = std::move(message);
        result.errorNumber_ = errorNumber;
        return result;
    }
    // Carries another result's failure over to this value type.
    template <typename U>
    static FileResult failure(const FileResult<U>& other) {
        return failure(other.error(), other.errorNumber());
    }

    [[nodiscard]] bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const T& value() const& {
        assert(ok());
        return *value_;
    }
    [[nodiscard]] T value() && {
        assert(ok());
        return std::move(*value_);
    }
    // Empty on success.
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] int errorNumber() const { return errorNumber_; }

private:
    FileResult(std::nullopt_t) {}

    template <typename>
    friend class FileResult;

    std::optional<T> value_;
    std::string error_;
    int errorNumber_ = 0;
};

}  // namespace core
