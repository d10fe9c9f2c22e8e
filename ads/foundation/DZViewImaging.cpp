#include "ads/foundation/DZViewImaging.h"

#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"

namespace ads {

namespace {

constexpr double kRenderedThreshold = 0.9;
constexpr double kMismatchLimit = 0.1;

}  // namespace

gfx::ImagePtr DZViewSnapshotImage(const ui::View* view) {
    if (!view) return nullptr;
    const gfx::Rect bounds = view->bounds();
    const auto bitmap = gfx::Bitmap::create(bounds.size, ui::DeviceProfile::current().scale);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.save();
    canvas.translate(-bounds.origin.x, -bounds.origin.y);
    ui::Renderer::drawContents(*view, canvas);
    canvas.restore();
    return bitmap->makeImage();
}

std::optional<double> DZBackgroundPixelRatio(const gfx::Image* image,
                                             std::optional<gfx::Color> color) {
    if (!image) return std::nullopt;
    const std::uint32_t reference = color.value_or(gfx::Color::clear()).premultipliedARGB();
    double matches = 0;
    double mismatches = 0;
    for (const std::uint32_t pixel : image->pixels()) {
        if (pixel == reference) {
            ++matches;
        } else {
            ++mismatches;
        }
        if (mismatches / (matches + mismatches) > kMismatchLimit) return 0.0;
    }
    if (matches + mismatches == 0) return std::nullopt;
    return matches / (matches + mismatches);
}

bool DZIsViewContentRendered(const ui::View* view) {
    if (!view) return false;
    const auto snapshot = DZViewSnapshotImage(view);
    const auto ratio = DZBackgroundPixelRatio(snapshot.get(), view->backgroundColor());
    return ratio && *ratio < kRenderedThreshold;
}

}  // namespace ads
