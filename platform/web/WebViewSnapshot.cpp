// WebView: snapshots of what the page shows, kept and drawn by the view.

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "ui/DeviceProfile.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

size_t pendingSnapshots = 0;

struct SnapshotRequest {
    std::weak_ptr<WebView> view;
    WebView::SnapshotCompletion completion;
    core::PendingWork::Token work = core::PendingWork::Token::begin();
};

// The surface's pixels as an image at the device scale.
gfx::ImagePtr imageOf(cairo_surface_t* surface) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (width <= 0 || height <= 0) return nullptr;
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy);
    gfx::Image::Pixels pixels(size_t(width) * size_t(height));
    const unsigned char* data = cairo_image_surface_get_data(copy);
    const int stride = cairo_image_surface_get_stride(copy);
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[size_t(y) * size_t(width)], data + size_t(y) * size_t(stride),
                    size_t(width) * 4);
    cairo_surface_destroy(copy);
    return gfx::Image::create(width, height, std::move(pixels),
                              std::max(1.0, ui::DeviceProfile::current().scale));
}

}  // namespace

void WebView::setDrawsBackground(bool draws) {
    if (draws == drawsBackground_) return;
    drawsBackground_ = draws;
    const GdkRGBA colour = {1, 1, 1, draws ? 1.0 : 0.0};
    if (engine_->page) webkit_web_view_set_background_color(engine_->page, &colour);
    takeSnapshot();
}

void WebView::takeSnapshot(SnapshotCompletion completion) {
    if (bounds().isEmpty()) {
        if (completion) completion(snapshot_);
        return;
    }
    ++pendingSnapshots;
    webkit_web_view_get_snapshot(
        engine_->page, WEBKIT_SNAPSHOT_REGION_VISIBLE,
        drawsBackground_ ? WEBKIT_SNAPSHOT_OPTIONS_NONE
                         : WEBKIT_SNAPSHOT_OPTIONS_TRANSPARENT_BACKGROUND,
        nullptr,
        [](GObject* page, GAsyncResult* result, gpointer data) {
            std::unique_ptr<SnapshotRequest> request(static_cast<SnapshotRequest*>(data));
            --pendingSnapshots;
            cairo_surface_t* surface =
                webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(page), result, nullptr);
            gfx::ImagePtr image;
            if (surface) {
                image = imageOf(surface);
                cairo_surface_destroy(surface);
            }
            const auto view = request->view.lock();
            if (!view) return;
            if (image) view->snapshotArrived(image);
            if (request->completion) request->completion(view->snapshot_);
        },
        new SnapshotRequest{self(), std::move(completion)});
}

void WebView::snapshotArrived(gfx::ImagePtr image) {
    snapshot_ = std::move(image);
    setNeedsDisplay();
}

bool WebView::isRendered() const {
    if (!snapshot_) return false;
    return std::any_of(
        snapshot_->pixels().begin(), snapshot_->pixels().end(),
        [](std::uint32_t pixel) { return pixel != 0xffffffffu && (pixel >> 24) != 0; });
}

size_t WebView::pendingSnapshotCount() {
    return pendingSnapshots;
}

bool WebView::awaitSnapshots(double limitSeconds) {
    return core::RunLoop::main().runUntil([] { return pendingSnapshots == 0; }, limitSeconds);
}

}  // namespace web
