#pragma once
// MD5, Base64 and the stable string hash of the SDK. Pure; any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

// The 16 bytes of the MD5 digest.
[[nodiscard]] core::Data DZMD5Digest(std::span<const std::uint8_t> bytes);
// MD5 of the text's UTF-8 bytes.
[[nodiscard]] core::Data DZMD5OfString(std::string_view text);
// That digest as 32 lowercase hex digits; nullopt without a text.
[[nodiscard]] std::optional<std::string> DZMD5HexString(std::optional<std::string_view> text);
// Padded RFC 4648 base 64 of the text's UTF-8 bytes.
[[nodiscard]] std::string DZBase64String(std::string_view text);
// Padded RFC 4648 base 64 of the bytes.
[[nodiscard]] std::string DZBase64String(std::span<const std::uint8_t> bytes);

// 64-bit FNV-1a of the text's UTF-8 bytes. Unlike std::hash it is the same
// in every launch and build, so it may name files and stored records: one
// cache id always names one cache file.
[[nodiscard]] std::uint64_t DZStringHash(std::string_view text);
// That hash as lower-case hexadecimal without leading zeros ("%lx").
[[nodiscard]] std::string DZStringHashHex(std::string_view text);

}  // namespace ads
