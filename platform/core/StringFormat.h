#pragma once
// printf-style formatting with the platform's "%@" directive for objects.
//
// core::format("%@ %p: %tu blocks, %f interval", name, ptr, n, 30.0) formats
// like the platform's string formatting: the usual conversions (d i u x X o
// f F e E g G c s p %), flags, width, precision and length modifiers (which
// are accepted and ignored: the argument's own type decides), and "%@" which
// writes text as is, a number in its plain text form, or a core::Value in its
// description form. A directive without a matching argument writes nothing;
// extra arguments are ignored. Never reads past its arguments.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/Value.h"

namespace core {

class FormatArg {
public:
    template <typename T>
        requires(std::is_integral_v<T> && std::is_signed_v<T> && !std::is_same_v<T, bool> &&
                 !std::is_same_v<T, char>)
    FormatArg(T v) : value_(static_cast<std::int64_t>(v)) {}
    template <typename T>
        requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
    FormatArg(T v) : value_(static_cast<std::uint64_t>(v)) {}
    FormatArg(char c) : value_(static_cast<std::int64_t>(c)) {}
    FormatArg(bool b) : value_(static_cast<std::int64_t>(b ? 1 : 0)) {}
    FormatArg(double d) : value_(d) {}
    FormatArg(float f) : value_(static_cast<double>(f)) {}
    FormatArg(const char* s) : value_(std::string_view(s ? s : "(null)")) {}
    FormatArg(std::string_view s) : value_(s) {}
    FormatArg(const std::string& s) : value_(std::string_view(s)) {}
    FormatArg(const void* p) : value_(p) {}
    FormatArg(const Value& v) : value_(&v) {}

    using Storage =
        std::variant<std::int64_t, std::uint64_t, double, std::string_view, const void*, const Value*>;
    [[nodiscard]] const Storage& storage() const { return value_; }

private:
    Storage value_;
};

[[nodiscard]] std::string formatArgs(std::string_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
[[nodiscard]] std::string format(std::string_view fmt, const Args&... args) {
    return formatArgs(fmt, {FormatArg(args)...});
}

// The text a value shows through "%@": text as is, numbers plainly, arrays
// and dictionaries in the platform's property-list description style.
[[nodiscard]] std::string describe(const Value& value);

}  // namespace core
