#pragma once
// A picture file as the app would show it: read whole and decoded; null
// when it cannot be read or is no picture.

#include <cstdint>
#include <span>
#include <string>

#include "core/FileManager.h"
#include "gfx/Image.h"

namespace testsupport {

inline gfx::ImagePtr decodeFile(const std::string& path) {
    const auto bytes = core::FileManager::readFile(path);
    if (!bytes) return nullptr;
    return gfx::Image::decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.value().data()),
                                        bytes.value().size()));
}

}  // namespace testsupport
