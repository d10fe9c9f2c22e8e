#include "ads/foundation/DZMurmurHash.h"

#include <bit>
#include <string>

#include "core/Unicode.h"

namespace ads {

namespace {

std::uint32_t finalMix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

}  // namespace

std::uint32_t DZMurmurHash3(std::span<const std::uint8_t> bytes, std::uint32_t seed) {
    constexpr std::uint32_t c1 = 0xcc9e2d51u;
    constexpr std::uint32_t c2 = 0x1b873593u;
    const size_t blocks = bytes.size() / 4;
    std::uint32_t h = seed;
    for (size_t i = 0; i < blocks; ++i) {
        const std::uint8_t* p = bytes.data() + i * 4;
        std::uint32_t k = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                          std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        k *= c1;
        k = std::rotl(k, 15);
        k *= c2;
        h ^= k;
        h = std::rotl(h, 13);
        h = h * 5 + 0xe6546b64u;
    }
    const std::uint8_t* tail = bytes.data() + blocks * 4;
    std::uint32_t k = 0;
    switch (bytes.size() & 3) {
    case 3:
        k ^= std::uint32_t(tail[2]) << 16;
        [[fallthrough]];
    case 2:
        k ^= std::uint32_t(tail[1]) << 8;
        [[fallthrough]];
    case 1:
        k ^= tail[0];
        k *= c1;
        k = std::rotl(k, 15);
        k *= c2;
        h ^= k;
    }
    h ^= static_cast<std::uint32_t>(bytes.size());
    return finalMix(h);
}

std::uint32_t DZMurmurHashOfString(std::string_view text) {
    const std::string utf8 = core::Unicode::sanitized(text);
    return DZMurmurHash3(std::span(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()),
                         0);
}

std::uint64_t DZModularPower(std::uint64_t base, std::uint64_t exponent) {
    std::uint64_t result = 1;
    base %= kDZShingleHashModulus;
    while (exponent > 0) {
        if (exponent & 1) result = result * base % kDZShingleHashModulus;
        base = base * base % kDZShingleHashModulus;
        exponent >>= 1;
    }
    return result;
}

}  // namespace ads
