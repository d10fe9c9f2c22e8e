#include "ads/foundation/DZStringEncoding.h"

#include <bit>
#include <cassert>
#include <numeric>

#include "core/StringFormat.h"
#include "core/Unicode.h"

namespace ads {

namespace {
bool isASCII(char c) {
    return static_cast<unsigned char>(c) < 128;
}
size_t indexOf(char c) {
    return static_cast<unsigned char>(c);
}
}  // namespace

std::optional<DZStringEncoding> DZStringEncoding::stringEncodingWithString(
    std::string_view alphabet) {
    const size_t length = alphabet.size();
    if (length < 2 || length > 128 || !std::has_single_bit(length)) return std::nullopt;
    DZStringEncoding encoding;
    encoding.reverseCharMap_.fill(kNotInAlphabet);
    for (size_t i = 0; i < length; ++i) {
        const char c = alphabet[i];
        if (!isASCII(c) || encoding.reverseCharMap_[indexOf(c)] != kNotInAlphabet) {
            return std::nullopt;
        }
        encoding.reverseCharMap_[indexOf(c)] = static_cast<std::int32_t>(i);
    }
    encoding.charMap_ = std::string(alphabet);
    encoding.shift_ = std::countr_zero(length);
    encoding.mask_ = static_cast<int>(length) - 1;
    encoding.padLen_ = std::lcm(8, encoding.shift_) / encoding.shift_;
    return encoding;
}

DZStringEncoding DZStringEncoding::padded(std::string_view alphabet) {
    DZStringEncoding encoding = *stringEncodingWithString(alphabet);
    encoding.setDoPad(true);
    const bool padding = encoding.setPaddingChar('=');
    assert(padding);
    (void)padding;
    return encoding;
}

DZStringEncoding DZStringEncoding::binaryStringEncoding() {
    return *stringEncodingWithString("01");
}

DZStringEncoding DZStringEncoding::hexStringEncoding() {
    DZStringEncoding encoding = *stringEncodingWithString("0123456789ABCDEF");
    encoding.addDecodeSynonyms("AaBbCcDdEeFf");
    return encoding;
}

DZStringEncoding DZStringEncoding::rfc4648Base32StringEncoding() {
    return padded("ABCDEFGHIJKLMNOPQRSTUVWXYZ234567");
}

DZStringEncoding DZStringEncoding::rfc4648Base32HexStringEncoding() {
    return padded("0123456789ABCDEFGHIJKLMNOPQRSTUV");
}

DZStringEncoding DZStringEncoding::crockfordBase32StringEncoding() {
    DZStringEncoding encoding = *stringEncodingWithString("0123456789ABCDEFGHJKMNPQRSTVWXYZ");
    encoding.addDecodeSynonyms("0oO1iIlLAaBbCcDdEeFfGgHhJjKkMmNnPpQqRrSsTtVvWwXxYyZz");
    return encoding;
}

DZStringEncoding DZStringEncoding::rfc4648Base64StringEncoding() {
    return padded("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

DZStringEncoding DZStringEncoding::rfc4648Base64WebsafeStringEncoding() {
    return padded("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
}

void DZStringEncoding::addDecodeSynonyms(std::string_view synonyms) {
    std::int32_t current = kNotInAlphabet;
    for (char c : synonyms) {
        if (!isASCII(c)) continue;
        std::int32_t& entry = reverseCharMap_[indexOf(c)];
        if (entry != kNotInAlphabet) {
            current = entry;
        } else {
            entry = current;
        }
    }
}

void DZStringEncoding::ignoreCharacters(std::string_view characters) {
    for (char c : characters) {
        if (isASCII(c)) reverseCharMap_[indexOf(c)] = kIgnored;
    }
}

bool DZStringEncoding::setPaddingChar(char paddingChar) {
    if (!isASCII(paddingChar) || reverseCharMap_[indexOf(paddingChar)] >= 0) return false;
    paddingChar_ = paddingChar;
    reverseCharMap_[indexOf(paddingChar)] = kPadding;
    return true;
}

std::string DZStringEncoding::encode(std::span<const std::uint8_t> bytes) const {
    if (bytes.empty()) return {};
    size_t length =
        (bytes.size() * 8 + static_cast<size_t>(shift_) - 1) / static_cast<size_t>(shift_);
    if (doPad_) {
        const size_t block = static_cast<size_t>(padLen_);
        length = (length + block - 1) / block * block;
    }
    std::string out;
    out.reserve(length);
    unsigned buffer = 0;
    int bits = 0;
    for (std::uint8_t byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= shift_) {
            bits -= shift_;
            out += charMap_[(buffer >> bits) & static_cast<unsigned>(mask_)];
        }
        buffer &= (1u << bits) - 1;
    }
    if (bits > 0) out += charMap_[(buffer << (shift_ - bits)) & static_cast<unsigned>(mask_)];
    if (doPad_) out.resize(length, paddingChar_);
    return out;
}

std::string DZStringEncoding::encodeString(std::string_view text) const {
    return encode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<core::Data> DZStringEncoding::decode(std::string_view text) const {
    core::Data out;
    out.reserve(text.size() * static_cast<size_t>(shift_) / 8);
    unsigned buffer = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (!isASCII(c)) return std::nullopt;
        const std::int32_t value = reverseCharMap_[indexOf(c)];
        if (value == kIgnored) continue;
        if (value == kPadding) {
            padding = true;
            continue;
        }
        if (value == kNotInAlphabet || padding) return std::nullopt;
        buffer = (buffer << shift_) | static_cast<unsigned>(value);
        bits += shift_;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>(buffer >> bits));
            buffer &= (1u << bits) - 1;
        }
    }
    if (buffer != 0) return std::nullopt;
    return out;
}

std::optional<std::string> DZStringEncoding::stringByDecoding(std::string_view text) const {
    auto bytes = decode(text);
    if (!bytes) return std::nullopt;
    std::string result(bytes->begin(), bytes->end());
    if (!core::Unicode::isValidUTF8(result)) return std::nullopt;
    return result;
}

std::string DZStringEncoding::description() const {
    const core::Value alphabet(core::Data(charMap_.begin(), charMap_.end()));
    return core::format("<Base%d StringEncoder: %@>", 1 << shift_, alphabet);
}

}  // namespace ads
