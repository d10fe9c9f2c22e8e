#include "ads/foundation/DZHashing.h"

#include "ads/foundation/DZStringEncoding.h"
#include "core/MD5.h"
#include "core/StringFormat.h"

namespace ads {

core::Data DZMD5Digest(std::span<const std::uint8_t> bytes) {
    const core::MD5::Digest digest = core::MD5::digest(bytes);
    return core::Data(digest.begin(), digest.end());
}

core::Data DZMD5OfString(std::string_view text) {
    const core::MD5::Digest digest = core::MD5::digest(text);
    return core::Data(digest.begin(), digest.end());
}

std::optional<std::string> DZMD5HexString(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    return core::MD5::hex(core::MD5::digest(*text));
}

std::string DZBase64String(std::string_view text) {
    static const DZStringEncoding encoding = DZStringEncoding::rfc4648Base64StringEncoding();
    return encoding.encodeString(text);
}

std::uint64_t DZStringHash(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : text) {
        hash ^= static_cast<std::uint8_t>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string DZStringHashHex(std::string_view text) {
    return core::format("%lx", DZStringHash(text));
}

std::string DZBase64String(std::span<const std::uint8_t> bytes) {
    static const DZStringEncoding encoding = DZStringEncoding::rfc4648Base64StringEncoding();
    return encoding.encode(bytes);
}

}  // namespace ads
