// WebView: snapshots of what the page shows, kept and drawn by the view.

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <utility>

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
    std::uint64_t document = 0;  // the page's document when it was asked for
    std::shared_ptr<WebView::Engine::SnapshotTicket> ticket;
};

}  // namespace

WebView::Engine::SnapshotTicket::SnapshotTicket()
    : work(core::PendingWork::Token::begin()) {
    ++pendingSnapshots;
}

void WebView::Engine::SnapshotTicket::settle() {
    if (std::exchange(settled, true)) return;
    --pendingSnapshots;
    work = {};
}

void WebView::Engine::settleSnapshots() {
    // A page closed in a web process that other pages keep running drops
    // the snapshots asked of it without an answer.
    for (const auto& ticket : snapshots) ticket->settle();
    snapshots.clear();
}

void WebView::setDrawsBackground(bool draws) {
    if (draws == drawsBackground_) return;
    drawsBackground_ = draws;
    const GdkRGBA colour = {1, 1, 1, draws ? 1.0 : 0.0};
    if (engine_->page) webkit_web_view_set_background_color(engine_->page, &colour);
    takeSnapshot();
}

void WebView::takeSnapshot(SnapshotCompletion completion) {
    if (bounds().isEmpty()) {
        if (completion) completion(currentPicture());
        return;
    }
    auto ticket = std::make_shared<Engine::SnapshotTicket>();
    std::erase_if(engine_->snapshots, [](const auto& held) { return held->settled; });
    engine_->snapshots.push_back(ticket);
    webkit_web_view_get_snapshot(
        engine_->page, WEBKIT_SNAPSHOT_REGION_VISIBLE,
        drawsBackground_ ? WEBKIT_SNAPSHOT_OPTIONS_NONE
                         : WEBKIT_SNAPSHOT_OPTIONS_TRANSPARENT_BACKGROUND,
        nullptr,
        [](GObject* page, GAsyncResult* result, gpointer data) {
            std::unique_ptr<SnapshotRequest> request(static_cast<SnapshotRequest*>(data));
            request->ticket->settle();
            cairo_surface_t* surface =
                webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(page), result, nullptr);
            const auto view = request->view.lock();
            gfx::ImagePtr image;
            if (surface) {
                const int width = cairo_image_surface_get_width(surface);
                const int height = cairo_image_surface_get_height(surface);
                // A snapshot that will replace the picture reuses its memory.
                gfx::Image::Pixels reused;
                if (view && request->document == view->engine_->document && view->picture_ &&
                    view->picture_->pixelWidth() == width &&
                    view->picture_->pixelHeight() == height)
                    reused = gfx::Image::reclaimPixels(view->picture_);
                image = Engine::imageOf(surface, width, height, std::move(reused),
                                        gfx::Rect(0, 0, width, height));
                cairo_surface_destroy(surface);
            }
            if (!view) return;
            if (image) view->snapshotArrived(image, request->document);
            if (request->completion) request->completion(view->currentPicture());
        },
        new SnapshotRequest{self(), std::move(completion), engine_->document, std::move(ticket)});
}

void WebView::snapshotArrived(gfx::ImagePtr image, std::uint64_t document) {
    // Asked for before the latest commit: the old document's.
    if (document != engine_->document) return;
    picture_ = std::move(image);
    pictureDocument_ = document;
    engine_->pictureIsWindow = false;
    ++pictures_;
    setNeedsDisplayInRect(bounds());
}

bool WebView::isRendered() const {
    const gfx::ImagePtr& picture = currentPicture();
    if (!picture || pictureDocument_ != engine_->document) return false;
    return std::any_of(
        picture->pixels().begin(), picture->pixels().end(),
        [](std::uint32_t pixel) { return pixel != 0xffffffffu && (pixel >> 24) != 0; });
}

size_t WebView::pendingSnapshotCount() {
    return pendingSnapshots;
}

bool WebView::awaitSnapshots(double limitSeconds) {
    return core::RunLoop::main().runUntil([] { return pendingSnapshots == 0; }, limitSeconds);
}

}  // namespace web
