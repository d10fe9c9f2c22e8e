#pragma once
// Fonts by name as the screens ask for them: nothing when the family is not
// available, so the caller keeps its default font.

#include <optional>
#include <string>

#include "gfx/Font.h"

namespace app {

[[nodiscard]] std::optional<gfx::Font> fontNamed(const std::string& family, double size);

}  // namespace app
