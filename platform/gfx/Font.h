#pragma once
// A font request: a family name (resolved through the app's fonts.conf, so
// "system", "PingFang SC" and missing families all land on the default
// sans), a size in points, a weight and a slant.

#include <string>

namespace gfx {

enum class FontWeight { Light, Regular, Medium, Semibold, Bold };

struct Font {
    std::string family = "system";
    double size = 17;
    FontWeight weight = FontWeight::Regular;
    bool italic = false;

    [[nodiscard]] static Font system(double size, FontWeight weight = FontWeight::Regular) {
        return {"system", size, weight, false};
    }

    friend bool operator==(const Font&, const Font&) = default;
};

}  // namespace gfx
