#pragma once
// Small value converters of the SDK. Pure; any thread.

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/Value.h"

namespace ads {

// "1" or "0".
[[nodiscard]] std::string DZStringFromBool(bool flag);
// The integer 1 or 0.
[[nodiscard]] core::Value DZNumberFromBool(bool flag);

// "%f" of the value without trailing zeros, and without the point when
// nothing follows it: 1.5 gives "1.5", 30.0 "30", 0.1234567 "0.123457".
[[nodiscard]] std::string DZCompactDecimalString(double value);

// The double nearest to the float's shortest decimal form (0.8f gives 0.8,
// not 0.800000011920929), for single-precision values that go into JSON.
[[nodiscard]] double DZDoubleFromFloat(float value);

// The number a value answers: a number, or a text that is a whole finite
// decimal number (surrounding spaces allowed); nullopt otherwise (bools
// included).
[[nodiscard]] std::optional<double> DZNumericValue(const core::Value& value);

// The integer of type T that a number truncates to, when that integer lies
// in T's range; nullopt for NaN, infinities and numbers outside the range.
// Every conversion of a page's or server's number to an integer goes
// through here: a cast of an out-of-range double is undefined behaviour.
template <std::integral T>
[[nodiscard]] std::optional<T> DZIntegerFromDouble(double number) {
    if (!std::isfinite(number)) return std::nullopt;
    const double whole = std::trunc(number);
    // Both ends are powers of two (or zero), so exact as doubles.
    constexpr double lowest = static_cast<double>(std::numeric_limits<T>::min());
    const double pastHighest = std::ldexp(1.0, std::numeric_limits<T>::digits);
    if (whole < lowest || whole >= pastHighest) return std::nullopt;
    return static_cast<T>(whole);
}

// The integer a value answers: DZNumericValue truncated, in T's range.
template <std::integral T>
[[nodiscard]] std::optional<T> DZIntegerValue(const core::Value& value) {
    if (value.isInteger()) {
        // Integers are read as such: a double would round the large ones.
        if (value.isUnsigned()) {
            const std::uint64_t number = value.uintValue();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
                return std::nullopt;
            return static_cast<T>(number);
        }
        const std::int64_t number = value.intValue();
        if (!std::in_range<T>(number)) return std::nullopt;
        return static_cast<T>(number);
    }
    const auto number = DZNumericValue(value);
    if (!number) return std::nullopt;
    return DZIntegerFromDouble<T>(*number);
}

// The kinds a stored value is asked for by. Number takes integers and
// doubles; Bool only bools.
enum class DZValueClass { String, Number, Bool, Data, Date, Array, Dictionary };

// The value under key when it is of that class, else nullptr.
[[nodiscard]] const core::Value* DZObjectOfClassForKey(const core::Dictionary* dictionary,
                                                       std::string_view key,
                                                       DZValueClass valueClass);

// Sets the entry only when there is a key and an object (a null value counts
// as none).
void DZSetObjectIfPresent(core::Dictionary& dictionary, const std::optional<std::string>& key,
                          const std::optional<core::Value>& object);

// The items that pass, in order; the test may set stop to end the walk
// after the current item. nullopt when none passes.
template <typename T, typename Test>
requires std::is_invocable_r_v<bool, Test&, const T&, size_t, bool&>
[[nodiscard]] std::optional<std::vector<T>> DZFilteredArray(const std::vector<T>& items,
                                                            Test test) {
    std::vector<T> kept;
    bool stop = false;
    for (size_t i = 0; i < items.size() && !stop; ++i) {
        if (test(items[i], i, stop)) kept.push_back(items[i]);
    }
    if (kept.empty()) return std::nullopt;
    return kept;
}

// True when major.minor.patch is not below the required version.
[[nodiscard]] bool DZVersionIsAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch,
                                      std::int64_t requiredMajor, std::int64_t requiredMinor,
                                      std::int64_t requiredPatch);

}  // namespace ads
