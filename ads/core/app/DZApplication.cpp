#include "ads/core/app/DZApplication.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "core/Random.h"

namespace ads {

namespace {

std::string makeUUIDString() {
    std::array<std::uint8_t, 16> bytes{};
    const auto random = core::Random::current();
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random->nextUInt32() & 0xff);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3f) | 0x80);
    std::string text;
    text.reserve(36);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text.append(pair, 2);
    }
    return text;
}

}  // namespace

DZApplication::DZApplication() : UUIDString_(makeUUIDString()) {}

std::shared_ptr<DZApplication> DZApplication::sharedInstance() {
    static const std::shared_ptr<DZApplication> instance(new DZApplication());
    return instance;
}

}  // namespace ads
