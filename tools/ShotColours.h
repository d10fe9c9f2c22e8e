#pragma once
// Colours read back from the tool's PNGs: RGB as 0xRRGGBB, its "#rrggbb"
// text, and a per-channel comparison; a window written as a PNG and read
// back as written; and the tool's progress lines.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace tools {

inline void say(const std::string& line) {
    std::printf("vantor: %s\n", line.c_str());
    std::fflush(stdout);
}

inline std::string hex(unsigned rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", rgb & 0xffffffu);
    return text;
}

inline unsigned rgbOf(const gfx::Color& color) {
    const auto channel = [](double value) {
        return static_cast<unsigned>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
    };
    return channel(color.red) << 16 | channel(color.green) << 8 | channel(color.blue);
}

// Whether no channel of drawn strays from wanted's by more than tolerance.
inline bool near(unsigned drawn, unsigned wanted, int tolerance) {
    for (const int shift : {16, 8, 0}) {
        const int a = static_cast<int>((drawn >> shift) & 0xff);
        const int b = static_cast<int>((wanted >> shift) & 0xff);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

// The window written to a PNG at path (its path printed), then decoded
// from the file, so that checks see what was written. Empty, with a line
// saying why, when either fails.
class WrittenShot {
public:
    [[nodiscard]] static std::unique_ptr<WrittenShot> write(ui::Window& window,
                                                            const std::filesystem::path& path) {
        const std::string name = path.filename().string();
        if (!ui::Renderer::writePNG(window, path.string())) {
            say("cannot write " + path.string());
            return nullptr;
        }
        std::printf("  %s\n", path.string().c_str());
        std::ifstream file(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        auto image = gfx::Image::decode(bytes);
        if (!image) {
            say(name + " cannot be read back");
            return nullptr;
        }
        const double scale = image->pixelWidth() / window.bounds().width();
        return std::unique_ptr<WrittenShot>(new WrittenShot(std::move(image), scale));
    }

    // The colour at a point of the window, as 0xRRGGBB.
    [[nodiscard]] unsigned pixel(gfx::Point point) const {
        return rgbOf(image_->pixelAt(static_cast<int>(point.x * scale_),
                                     static_cast<int>(point.y * scale_)));
    }

private:
    WrittenShot(std::shared_ptr<const gfx::Image> image, double scale)
        : image_(std::move(image)), scale_(scale) {}
    std::shared_ptr<const gfx::Image> image_;
    double scale_;
};

}  // namespace tools
