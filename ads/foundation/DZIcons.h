#pragma once
// The SDK's small artwork: the in-app browser's back and forward arrows
// (54 x 54 pixels at scale 2: the platform's, ui::historyArrowImage, which
// every browser's toolbar shows) and the close icon (50 x 50 pixels at
// scale 2), drawn once and shared. Any thread.

#include "gfx/Image.h"

namespace ads {

[[nodiscard]] gfx::ImagePtr DZBackButtonImage();
[[nodiscard]] gfx::ImagePtr DZForwardButtonImage();
[[nodiscard]] gfx::ImagePtr DZCloseIconImage();
// A transparent 10 x 10 point image at scale 1.
[[nodiscard]] gfx::ImagePtr DZImageByDrawing();

}  // namespace ads
