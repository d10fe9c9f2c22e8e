#pragma once
// An immutable set of Unicode code points, used to test characters, trim text
// and choose what percent-encoding leaves alone.
//
// CharacterSet is a value type; copies share the frozen set underneath, so
// copying is cheap and any instance may be read from any thread. Sets are
// built by the named constructors and combined into new sets.

#include <memory>
#include <string>
#include <string_view>

namespace core {

class CharacterSet {
  public:
    // The empty set.
    CharacterSet();

    // Every code point of a UTF-8 text.
    [[nodiscard]] static CharacterSet fromCharacters(std::string_view utf8);
    // The code points first...last, inclusive.
    [[nodiscard]] static CharacterSet fromRange(char32_t first, char32_t last);

    // Tab and the space separators (Zs).
    [[nodiscard]] static const CharacterSet& whitespace();
    // All separators (Z*), U+0009...U+000D and U+0085.
    [[nodiscard]] static const CharacterSet& whitespaceAndNewline();
    // U+000A...U+000D, U+0085, U+2028, U+2029.
    [[nodiscard]] static const CharacterSet& newline();
    // Letters, marks and numbers (L*, M*, N*).
    [[nodiscard]] static const CharacterSet& alphanumeric();
    // Letters and marks (L*, M*).
    [[nodiscard]] static const CharacterSet& letters();
    [[nodiscard]] static const CharacterSet& decimalDigits();
    [[nodiscard]] static const CharacterSet& punctuation();
    // What shows as itself in a line of text: letters, marks, numbers,
    // punctuation, symbols and the space separators (L*, M*, N*, P*, S*,
    // Zs). Not line breaks, controls, format characters such as the
    // direction overrides, private-use or unassigned code points.
    [[nodiscard]] static const CharacterSet& printable();

    // What may stand unescaped in each part of a URL. All share the
    // unreserved ASCII letters, digits and "-._~" and the sub-delimiters
    // "!$&'()*+,;="; the query and fragment add ":@/?", the path ":@/", the
    // host ":[]". User and password add nothing: both escape ":" and "@".
    [[nodiscard]] static const CharacterSet& urlQueryAllowed();
    [[nodiscard]] static const CharacterSet& urlFragmentAllowed();
    [[nodiscard]] static const CharacterSet& urlPathAllowed();
    [[nodiscard]] static const CharacterSet& urlHostAllowed();
    [[nodiscard]] static const CharacterSet& urlUserAllowed();
    [[nodiscard]] static const CharacterSet& urlPasswordAllowed();

    [[nodiscard]] bool contains(char32_t c) const;

    [[nodiscard]] CharacterSet inverted() const;
    [[nodiscard]] CharacterSet unionWith(const CharacterSet& other) const;
    [[nodiscard]] CharacterSet subtracting(const CharacterSet& other) const;

    // The text without the leading and trailing characters that are members.
    [[nodiscard]] std::string trim(std::string_view text) const;

  private:
    struct Impl;
    explicit CharacterSet(std::shared_ptr<const Impl> impl);

    std::shared_ptr<const Impl> impl_;
};

}  // namespace core
