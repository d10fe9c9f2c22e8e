#include "core/MD5.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <mutex>

#include "core/Fatal.h"

namespace core {

namespace {

// One digest through libcrypto into out (whose size is the digest's).
void evpDigest(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out, const EVP_MD* type,
               const char* name) {
    initializeCrypto();
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, type, nullptr) != 1 ||
        length != out.size()) {
        fatal(std::string(name) + ": libcrypto refused to digest");
    }
}

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

void initializeCrypto() {
    static std::once_flag initialized;
    std::call_once(initialized, [] { OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr); });
}

MD5::Digest MD5::digest(std::span<const std::uint8_t> bytes) {
    Digest out{};
    evpDigest(bytes, out, EVP_md5(), "MD5");
    return out;
}

SHA256::Digest SHA256::digest(std::string_view bytes) {
    Digest out{};
    evpDigest(asBytes(bytes), out, EVP_sha256(), "SHA-256");
    return out;
}

std::string SHA256::hex(std::string_view bytes) { return hexString(digest(bytes)); }

MD5::Digest MD5::digest(std::string_view bytes) {
    return digest(asBytes(bytes));
}

std::string MD5::hex(const Digest& digest) { return hexString(digest); }

std::string hexString(std::span<const std::uint8_t> digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (std::uint8_t byte : digest) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

}  // namespace core
