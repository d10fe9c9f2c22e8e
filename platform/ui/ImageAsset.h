#pragma once
// The app's bundled images by name, like "close" for images/close@2x.png.
// The file for the device scale wins ("<name>@<scale>x.png"), then @2x,
// then @3x, then the plain "<name>.png"; the image's scale is the file's
// suffix (1 without one). A trailing ".png" in the name is ignored.
//
// Decoded images are cached by bundle, device scale and name for the life
// of the process; misses are not cached. Callable from any thread.

#include <string>

#include "gfx/Image.h"

namespace core {
class Bundle;
}

namespace ui {

// From the "images" folder of the main bundle; nullptr when missing or
// undecodable.
[[nodiscard]] gfx::ImagePtr imageNamed(const std::string& name);
// The same from another bundle.
[[nodiscard]] gfx::ImagePtr imageNamed(const std::string& name, const core::Bundle& bundle);

}  // namespace ui
