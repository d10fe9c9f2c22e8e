#pragma once
// UTF-8 text measured and sliced the way the phone platform measures it, in
// UTF-16 code units, plus locale-aware case mapping.
//
// All functions are pure and thread-safe. Input that is not valid UTF-8 never
// fails: each ill-formed sequence reads as one U+FFFD (one UTF-16 unit, and
// three bytes wherever text is produced). Offsets past the end clamp to the
// end.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/TextRange.h"

namespace core {

class Unicode {
  public:
    // Decodes the character at `offset` and moves `offset` past it; U+FFFD for
    // an ill-formed sequence. `offset` must be below utf8.size().
    [[nodiscard]] static char32_t nextCodePoint(std::string_view utf8, size_t& offset);

    [[nodiscard]] static bool isValidUTF8(std::string_view text);
    // The text with every ill-formed sequence replaced by U+FFFD.
    [[nodiscard]] static std::string sanitized(std::string_view text);

    [[nodiscard]] static size_t utf16Length(std::string_view utf8);
    [[nodiscard]] static std::u16string toUTF16(std::string_view utf8);
    // Unpaired surrogates become U+FFFD.
    [[nodiscard]] static std::string toUTF8(std::u16string_view utf16);

    // Offset conversions. An offset that falls inside a character moves back
    // to the start of that character.
    [[nodiscard]] static size_t utf8Offset(std::string_view utf8, size_t utf16Offset);
    [[nodiscard]] static size_t utf16Offset(std::string_view utf8, size_t utf8Offset);

    // Range conversions. A character cut by either end of the range is left
    // out, so the result never covers more text than was asked for; a range
    // splitting a surrogate pair drops that character.
    [[nodiscard]] static TextRange utf8Range(std::string_view utf8, TextRange utf16Range);
    [[nodiscard]] static TextRange utf16Range(std::string_view utf8, TextRange utf8Range);

    // The characters inside a UTF-16 range, by the rule of utf8Range. The
    // result is always valid UTF-8.
    [[nodiscard]] static std::string substring(std::string_view utf8, TextRange utf16Range);

    // Full case mapping for a locale ("en_US", "tr", "" for the root locale):
    // toUpper("i", "tr") is "İ", toLower("I", "tr") is "ı".
    [[nodiscard]] static std::string toLower(std::string_view text, std::string_view locale);
    [[nodiscard]] static std::string toUpper(std::string_view text, std::string_view locale);

    // Compares by full default case folding ("Straße" equals "STRASSE"):
    // negative, zero or positive like strcmp.
    [[nodiscard]] static int compareCaseInsensitive(std::string_view a, std::string_view b);
    [[nodiscard]] static bool equalsCaseInsensitive(std::string_view a, std::string_view b);
};

}  // namespace core
