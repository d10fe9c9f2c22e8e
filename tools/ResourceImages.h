#pragma once
// The images of the app bundle. Each is a vector drawing in points that
// make_images renders at every scale the bundle ships, so that @2x and @3x
// show the same picture.

#include <functional>
#include <string>
#include <vector>

#include "gfx/Canvas.h"

namespace tools {

struct ResourceImage {
    std::string name;
    gfx::Size points;
    std::function<void(gfx::Canvas&)> draw;
};

[[nodiscard]] const std::vector<ResourceImage>& resourceImages();

}  // namespace tools
