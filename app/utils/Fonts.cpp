#include "app/utils/Fonts.h"

#include "gfx/Fonts.h"

namespace app {

std::optional<gfx::Font> fontNamed(const std::string& family, double size) {
    if (!gfx::Fonts::isAvailable(family)) return std::nullopt;
    return gfx::Font{family, size, gfx::FontWeight::Regular, false};
}

}  // namespace app
