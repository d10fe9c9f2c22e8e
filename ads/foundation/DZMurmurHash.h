#pragma once
// The integer hashing of content fingerprints: MurmurHash3 (x86, 32-bit),
// its value for a text, and modular powers for the rolling shingle hash.
// Pure; any thread.

#include <cstdint>
#include <span>
#include <string_view>

namespace ads {

// The modulus and base of the rolling shingle hash.
inline constexpr std::uint64_t kDZShingleHashModulus = 0x4000FFFF;
inline constexpr std::uint64_t kDZShingleHashBase = 0x1001FFF;

[[nodiscard]] std::uint32_t DZMurmurHash3(std::span<const std::uint8_t> bytes, std::uint32_t seed);
// MurmurHash3 with seed 0 of the text's UTF-8 bytes, ill-formed sequences
// read as U+FFFD.
[[nodiscard]] std::uint32_t DZMurmurHashOfString(std::string_view text);
// base^exponent modulo kDZShingleHashModulus; exponent 0 gives 1.
[[nodiscard]] std::uint64_t DZModularPower(std::uint64_t base, std::uint64_t exponent);

}  // namespace ads
