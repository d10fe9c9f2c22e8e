#pragma once
// MD5 (RFC 1321) and SHA-256 digests of bytes, through OpenSSL's libcrypto.
// MD5 serves as a short fingerprint for names and cache keys, never for
// security. Stateless; safe on any thread, also while the process exits
// (libcrypto is told not to tear itself down at exit, since pool threads
// may still be hashing then).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace core {

class MD5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    [[nodiscard]] static Digest digest(std::span<const std::uint8_t> bytes);
    [[nodiscard]] static Digest digest(std::string_view bytes);
    // 32 lowercase hex digits.
    [[nodiscard]] static std::string hex(const Digest& digest);
};

// SHA-256 digests, for names that must not collide (cache file names).
class SHA256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    [[nodiscard]] static Digest digest(std::string_view bytes);
    // 64 lowercase hex digits.
    [[nodiscard]] static std::string hex(std::string_view bytes);
};

// Sets libcrypto up so that it stays usable until the process is gone
// (threads of the pool may still hash, and libcurl still talk TLS, while it
// exits). Must run before anything else touches libcrypto: the network
// thread calls it before libcurl's global set-up. Idempotent.
void initializeCrypto();

// Lowercase hex digits of bytes.
[[nodiscard]] std::string hexString(std::span<const std::uint8_t> bytes);

}  // namespace core
