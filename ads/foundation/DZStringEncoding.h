#pragma once
// A text codec for bytes in base 2, 16, 32 or 64 (any ASCII alphabet whose
// length is a power of two from 2 to 128): bytes are read most significant
// bit first, each character carrying log2(alphabet length) bits. Decoding is
// strict: a character outside the alphabet, a digit after padding or
// non-zero leftover bits give nothing, never partial data; missing padding
// is accepted. Decoding can be taught synonyms ("a" reads as "A") and
// characters to skip.
//
// A value type; a codec being set up belongs to one thread, a finished one
// may be shared for reading.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

class DZStringEncoding {
public:
    // nullopt when the alphabet is not ASCII, repeats a character or its
    // length is not a power of two from 2 to 128. No padding.
    [[nodiscard]] static std::optional<DZStringEncoding> stringEncodingWithString(
        std::string_view alphabet);

    [[nodiscard]] static DZStringEncoding binaryStringEncoding();
    // Uppercase digits; decodes lowercase too.
    [[nodiscard]] static DZStringEncoding hexStringEncoding();
    [[nodiscard]] static DZStringEncoding rfc4648Base32StringEncoding();
    [[nodiscard]] static DZStringEncoding rfc4648Base32HexStringEncoding();
    // No padding; decodes lowercase, "o"/"O" as 0 and "i"/"I"/"l"/"L" as 1.
    [[nodiscard]] static DZStringEncoding crockfordBase32StringEncoding();
    [[nodiscard]] static DZStringEncoding rfc4648Base64StringEncoding();
    // "-" and "_" in place of "+" and "/".
    [[nodiscard]] static DZStringEncoding rfc4648Base64WebsafeStringEncoding();

    // Groups of a known character followed by the characters that are to
    // decode as it: "AaBb" makes "a" read as "A" and "b" as "B".
    void addDecodeSynonyms(std::string_view synonyms);
    // Each of these characters is skipped while decoding.
    void ignoreCharacters(std::string_view characters);

    [[nodiscard]] bool doPad() const { return doPad_; }
    void setDoPad(bool doPad) { doPad_ = doPad; }
    // Also makes the character mark padding while decoding. A character
    // outside ASCII or inside the alphabet is refused (false, nothing
    // changes): the codec could not read back its own output.
    [[nodiscard]] bool setPaddingChar(char paddingChar);

    [[nodiscard]] std::string encode(std::span<const std::uint8_t> bytes) const;
    [[nodiscard]] std::string encodeString(std::string_view text) const;
    [[nodiscard]] std::optional<core::Data> decode(std::string_view text) const;
    // The decoded bytes as UTF-8 text; nullopt when they are not.
    [[nodiscard]] std::optional<std::string> stringByDecoding(std::string_view text) const;

    // "<Base64 StringEncoder: <41424344 ...>>"
    [[nodiscard]] std::string description() const;

private:
    static constexpr std::int32_t kNotInAlphabet = -1;
    static constexpr std::int32_t kPadding = -2;
    static constexpr std::int32_t kIgnored = -3;

    DZStringEncoding() = default;
    [[nodiscard]] static DZStringEncoding padded(std::string_view alphabet);

    std::string charMap_;
    std::array<std::int32_t, 128> reverseCharMap_{};
    int shift_ = 0;
    int mask_ = 0;
    bool doPad_ = false;
    char paddingChar_ = 0;
    int padLen_ = 0;
};

}  // namespace ads
