#pragma once
// Whether an ad view shows anything but its background: a snapshot of the
// view and the share of its pixels that equal the background colour.
// Pixels are compared as 8-bit premultiplied values, the form the snapshot
// holds, so a colour matches its own rendering exactly.
//
// Threading: DZViewSnapshotImage, DZRenderViewWithFreshWebContent and
// DZIsViewContentRendered on the main thread; DZBackgroundPixelRatio and
// DZIsImageContentRendered anywhere.

#include <functional>
#include <memory>
#include <optional>

#include "gfx/Color.h"
#include "gfx/Image.h"
#include "ui/View.h"

namespace ads {

// The view and its subviews drawn over a transparent bitmap of its bounds
// at the device scale; nullptr without a view or with empty bounds.
[[nodiscard]] gfx::ImagePtr DZViewSnapshotImage(const ui::View* view);
// DZViewSnapshotImage once every web view inside the view has taken a new
// snapshot of its page, so the image shows the pages as they are now, not
// as they were after their last load. The completion runs on the main
// thread; it gets nullptr when the view has gone meanwhile, and never runs
// when a web view goes before its snapshot arrives.
void DZRenderViewWithFreshWebContent(const std::shared_ptr<ui::View>& view,
                                     std::function<void(gfx::ImagePtr)> completion);
// The share of pixels equal to the colour (none counts as clear); 0.0 as
// soon as more than a tenth of the pixels seen differ; none for an image
// without pixels.
[[nodiscard]] std::optional<double> DZBackgroundPixelRatio(const gfx::Image* image,
                                                           std::optional<gfx::Color> color);
// True when the view's snapshot has a background ratio below 0.9; false
// without a view or without pixels.
[[nodiscard]] bool DZIsViewContentRendered(const ui::View* view);
// The same test of a snapshot taken already (DZRenderViewWithFreshWebContent)
// against the view's background colour.
[[nodiscard]] bool DZIsImageContentRendered(const gfx::Image* snapshot,
                                            std::optional<gfx::Color> background);

}  // namespace ads
