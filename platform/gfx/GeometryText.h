#pragma once
// Sizes as the platform writes and reads them in text: "{320, 50}". Pure;
// any thread.

#include <string>
#include <string_view>

#include "gfx/Geometry.h"

namespace gfx {

// "{width, height}", each number in its shortest form ("{320, 50}",
// "{0.5, 1e+06}").
[[nodiscard]] std::string stringFromSize(Size size);
// Reads "{width, height}" (spaces allowed around the numbers); any other
// text gives the zero size.
[[nodiscard]] Size sizeFromString(std::string_view text);

}  // namespace gfx
