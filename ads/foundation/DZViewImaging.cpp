#include "ads/foundation/DZViewImaging.h"

#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

constexpr double kRenderedThreshold = 0.9;
constexpr double kMismatchLimit = 0.1;

void drawContent(gfx::Canvas& canvas, const ui::View& view);

void drawSubview(gfx::Canvas& canvas, const ui::View& view) {
    if (view.isHidden() || view.alpha() <= 0) return;
    canvas.save();
    const gfx::Point center = view.center();
    const gfx::Point middle = view.bounds().center();
    canvas.translate(center.x, center.y);
    canvas.concat(view.transform());
    canvas.translate(-middle.x, -middle.y);
    const bool layer = view.alpha() < 1;
    if (layer) canvas.beginTransparencyLayer();
    drawContent(canvas, view);
    if (layer) canvas.endTransparencyLayer(view.alpha());
    canvas.restore();
}

void drawContent(gfx::Canvas& canvas, const ui::View& view) {
    const double radius = view.cornerRadius();
    if (view.clipsToBounds()) {
        if (radius > 0) {
            canvas.clipToRoundedRect(view.bounds(), radius);
        } else {
            canvas.clipToRect(view.bounds());
        }
    }
    if (const auto color = view.backgroundColor(); color && color->alpha > 0) {
        if (radius > 0) {
            canvas.fillRoundedRect(view.bounds(), radius, *color);
        } else {
            canvas.fillRect(view.bounds(), *color);
        }
    }
    view.draw(canvas, view.bounds());
    for (const auto& subview : view.subviews()) drawSubview(canvas, *subview);
}

}  // namespace

gfx::ImagePtr DZViewSnapshotImage(const ui::View* view) {
    if (!view) return nullptr;
    const gfx::Rect bounds = view->bounds();
    const auto bitmap = gfx::Bitmap::create(bounds.size, ui::DeviceProfile::current().scale);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.save();
    canvas.translate(-bounds.origin.x, -bounds.origin.y);
    drawContent(canvas, *view);
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
