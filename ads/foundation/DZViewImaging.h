#pragma once
// Whether an ad view shows anything but its background: a snapshot of the
// view and the share of its pixels that equal the background colour.
// Pixels are compared as 8-bit premultiplied values, the form the snapshot
// holds, so a colour matches its own rendering exactly.
//
// Threading: DZViewSnapshotImage and DZIsViewContentRendered on the main
// thread; DZBackgroundPixelRatio anywhere.

#include <optional>

#include "gfx/Color.h"
#include "gfx/Image.h"
#include "ui/View.h"

namespace ads {

// The view and its subviews drawn over a transparent bitmap of its bounds
// at the device scale; nullptr without a view or with empty bounds.
[[nodiscard]] gfx::ImagePtr DZViewSnapshotImage(const ui::View* view);
// The share of pixels equal to the colour (none counts as clear); 0.0 as
// soon as more than a tenth of the pixels seen differ; none for an image
// without pixels.
[[nodiscard]] std::optional<double> DZBackgroundPixelRatio(const gfx::Image* image,
                                                           std::optional<gfx::Color> color);
// True when the view's snapshot has a background ratio below 0.9; false
// without a view or without pixels.
[[nodiscard]] bool DZIsViewContentRendered(const ui::View* view);

}  // namespace ads
