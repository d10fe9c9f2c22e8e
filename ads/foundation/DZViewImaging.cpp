#include "ads/foundation/DZViewImaging.h"

#include <vector>

#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "web/WebView.h"

namespace ads {

namespace {

constexpr double kRenderedThreshold = 0.9;
constexpr double kMismatchLimit = 0.1;

void collectWebViews(const std::shared_ptr<ui::View>& view,
                     std::vector<std::shared_ptr<web::WebView>>& found) {
    if (auto webView = std::dynamic_pointer_cast<web::WebView>(view)) found.push_back(webView);
    for (const auto& subview : view->subviews()) collectWebViews(subview, found);
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
    ui::Renderer::drawContents(*view, canvas);
    canvas.restore();
    return bitmap->makeImage();
}

void DZRenderViewWithFreshWebContent(const std::shared_ptr<ui::View>& view,
                                     std::function<void(gfx::ImagePtr)> completion) {
    if (!completion) return;
    std::vector<std::shared_ptr<web::WebView>> webViews;
    if (view) collectWebViews(view, webViews);
    auto render = [weak = std::weak_ptr<ui::View>(view), completion = std::move(completion)] {
        const auto shown = weak.lock();
        completion(shown ? DZViewSnapshotImage(shown.get()) : nullptr);
    };
    if (webViews.empty()) {
        render();
        return;
    }
    auto remaining = std::make_shared<size_t>(webViews.size());
    for (const auto& webView : webViews) {
        webView->takeSnapshot([remaining, render](gfx::ImagePtr) {
            if (--*remaining == 0) render();
        });
    }
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
    return DZIsImageContentRendered(snapshot.get(), view->backgroundColor());
}

bool DZIsImageContentRendered(const gfx::Image* snapshot, std::optional<gfx::Color> background) {
    const auto ratio = DZBackgroundPixelRatio(snapshot, background);
    return ratio && *ratio < kRenderedThreshold;
}

}  // namespace ads
