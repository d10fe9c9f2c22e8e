#pragma once
// One thing handed to a share sheet: an image or a text.

#include <string>
#include <variant>

#include "gfx/Image.h"

namespace store {

using ActivityItem = std::variant<gfx::ImagePtr, std::string>;

}  // namespace store
