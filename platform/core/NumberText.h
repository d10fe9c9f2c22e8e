#pragma once
// Conversions between numbers and decimal text shared by core::Value's
// readers and the JSON reader and writer: the shortest round-trip text of a
// double, and the leading number of a text read the lenient way the
// platform's text-to-number conversions do. Stateless; safe on any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

class NumberText {
public:
    // Shortest text that reads back as the same double. Integral values below
    // 1e21 in magnitude come as plain digits ("3", "100000000000000000000"),
    // larger ones in exponent form ("1e+21"); NaN and infinities as "nan",
    // "inf" and "-inf".
    static void appendDouble(std::string& out, double value);
    // The same text of a finite double written at `first`, which has room
    // for kMaxFiniteDoubleLength bytes; answers the end of the text.
    static char* writeFiniteDouble(char* first, double value);
    static constexpr size_t kMaxFiniteDoubleLength = 24;
    static void appendInteger(std::string& out, std::int64_t value, bool isUnsigned);

    // The integer spelled by the leading digits after optional whitespace
    // and sign, saturating at the ends of the range; 0 when there is none.
    [[nodiscard]] static std::int64_t leadingInt64(std::string_view text);
    // As leadingInt64, but a text without a minus sign saturates at
    // UINT64_MAX; a negative number keeps its two's complement bits.
    [[nodiscard]] static std::uint64_t leadingUInt64(std::string_view text);
    // The decimal number (digits, fraction, exponent) after optional
    // whitespace and sign; ±infinity past the double range, 0 when there is
    // none. "inf", "nan" and hexadecimal are not numbers here.
    [[nodiscard]] static double leadingDouble(std::string_view text);

    // True when a syntactically valid JSON number is too large in magnitude
    // for a double (1e400); values too small to represent read as zero and
    // are not out of range.
    [[nodiscard]] static bool exceedsDoubleRange(std::string_view number);
};

}  // namespace core
