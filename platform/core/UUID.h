#pragma once
// A 128-bit universally unique identifier: random (version 4) ones drawn
// from core::Random::current(), so tests that install a scripted source get
// known identifiers, and ones read back from their text. The text is the
// platform's: 8-4-4-4-12 upper-case hexadecimal digits. A value type; any
// thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // All zeros.
    UUID() = default;
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

    // A new version 4 identifier: one draw of the current random source per
    // byte (its low 8 bits), then the version and variant bits set.
    [[nodiscard]] static UUID random();
    // The 36-character form in either case; nullopt for anything else.
    [[nodiscard]] static std::optional<UUID> fromString(std::string_view text);

    [[nodiscard]] const Bytes& bytes() const { return bytes_; }
    // "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    [[nodiscard]] std::string string() const;

    friend bool operator==(const UUID&, const UUID&) = default;

private:
    Bytes bytes_{};
};

}  // namespace core
