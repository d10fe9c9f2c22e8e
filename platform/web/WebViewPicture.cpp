// WebView: the page's picture as the engine draws it. The engine paints the
// page into the view's offscreen window whenever the page changes; GDK
// invalidates that window first and reports each paint as its damage. The
// view marks the damaged part of itself for display and, when it is next
// drawn, copies what the engine painted since into the picture it drew
// last (whose memory it takes back when no one else holds it): nothing is
// polled, and a page that draws nothing new costs nothing.

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "ui/DeviceProfile.h"
#include "ui/Window.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

// The engine of a window's view, for GDK's invalidation handler (which
// takes no data of its own).
constexpr const char* kEngineKey = "vantor-web-view-engine";

// The window's surface: in this process's memory rather than the display
// server's, so that the engine's drawing and the view's reading of it are
// plain copies with no round trip to the server.
cairo_surface_t* createSurface(GdkWindow*, gint width, gint height, gpointer) {
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width),
                                      std::max(1, height));
}

}  // namespace

void WebView::Engine::watchDrawing() {
    g_signal_connect(window, "damage-event", G_CALLBACK(damaged), this);
    GdkWindow* target = gtk_widget_get_window(window);
    if (!target) return;
    g_signal_connect(target, "create-surface", G_CALLBACK(createSurface), nullptr);
    g_object_set_data(G_OBJECT(target), kEngineKey, this);
    // Called for the window and every window inside it (the page's).
    gdk_window_set_invalidate_handler(target, invalidated);
}

void WebView::Engine::unwatchDrawing() {
    g_signal_handlers_disconnect_by_data(window, this);
    if (GdkWindow* target = gtk_widget_get_window(window)) {
        gdk_window_set_invalidate_handler(target, nullptr);
        g_object_set_data(G_OBJECT(target), kEngineKey, nullptr);
    }
    painting = {};
}

void WebView::Engine::invalidated(GdkWindow* window, cairo_region_t*) {
    auto* engine = static_cast<Engine*>(g_object_get_data(G_OBJECT(window), kEngineKey));
    if (!engine) return;
    engine->invalidatedIn = engine->document;
    if (!engine->showsPage || engine->painting.holds()) return;
    if (engine->owner.takesPictures()) engine->painting = core::PendingWork::Token::begin();
}

gboolean WebView::Engine::damaged(GtkWidget*, GdkEventExpose* event, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    engine.painting = {};
    // Every paint changes the surface, shown or not: the next copy takes it.
    const gfx::Rect area(event->area.x, event->area.y, event->area.width, event->area.height);
    const gfx::Rect painted = engine.damage.isEmpty() ? area : engine.damage.united(area);
    engine.damage = painted;
    // A paint the window had coming when the page committed its document
    // shows what the engine had then.
    if (!engine.showsPage || engine.invalidatedIn != engine.document) return FALSE;
    engine.drew = true;
    engine.owner.engineDrew(area);
    return FALSE;
}

void WebView::engineDrew(const gfx::Rect& pixels) {
    if (!takesPictures()) return;
    const Engine& engine = *engine_;
    const gfx::Rect shown = bounds();
    const double x = shown.width() / std::max(1, engine.pixelWidth);
    const double y = shown.height() / std::max(1, engine.pixelHeight);
    setNeedsDisplayInRect(gfx::Rect(shown.minX() + pixels.minX() * x,
                                    shown.minY() + pixels.minY() * y, pixels.width() * x,
                                    pixels.height() * y)
                              .integral()
                              .intersection(shown));
}

bool WebView::takesPictures() const {
    const auto window = this->window();
    if (!window || bounds().isEmpty()) return false;
    for (const View* view = this; view && view != window.get();) {
        if (view->isHidden()) return false;
        const auto superview = view->superview();
        view = superview.get();
    }
    return true;
}

const gfx::ImagePtr& WebView::currentPicture() const {
    Engine& engine = *engine_;
    if (!engine.drew || !takesPictures()) return picture_;
    GdkWindow* target = gtk_widget_get_window(engine.window);
    cairo_surface_t* surface =
        gtk_offscreen_window_get_surface(GTK_OFFSCREEN_WINDOW(engine.window));
    if (!target || !surface) return picture_;
    // A window the engine has yet to resize keeps the picture until it
    // draws at the new size.
    const int width = gdk_window_get_width(target);
    const int height = gdk_window_get_height(target);
    if (width != engine.pixelWidth || height != engine.pixelHeight) return picture_;
    // Over the last copy of the window (its memory taken back when no one
    // else holds it), only what was painted since.
    const bool sameSize =
        picture_ && picture_->pixelWidth() == width && picture_->pixelHeight() == height;
    const bool wasWindow = engine.pictureIsWindow;
    gfx::Image::Pixels pixels;
    if (sameSize) pixels = gfx::Image::reclaimPixels(picture_);
    const gfx::Rect whole(0, 0, width, height);
    const gfx::Rect region = wasWindow ? engine.damage.intersection(whole) : whole;
    auto image = Engine::imageOf(surface, width, height, std::move(pixels), region);
    if (!image) return picture_;
    engine.drew = false;
    engine.damage = {};
    engine.pictureIsWindow = true;
    picture_ = std::move(image);
    pictureDocument_ = engine.document;
    ++pictures_;
    return picture_;
}

gfx::ImagePtr WebView::Engine::imageOf(cairo_surface_t* surface, int width, int height,
                                       gfx::Image::Pixels reused, const gfx::Rect& region) {
    if (!surface || width <= 0 || height <= 0) return nullptr;
    const size_t count = size_t(width) * size_t(height);
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    cairo_surface_flush(surface);
    const bool plain = cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
                       cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32 &&
                       cairo_image_surface_get_width(surface) >= width &&
                       cairo_image_surface_get_height(surface) >= height &&
                       cairo_image_surface_get_data(surface);
    if (plain) {
        // The engine's pixels are the picture's format: copied row by row,
        // into fresh memory without clearing it first, or only the region
        // into the memory of the picture before.
        const auto* data = cairo_image_surface_get_data(surface);
        const auto stride = size_t(cairo_image_surface_get_stride(surface));
        const auto row = [&](int y) { return reinterpret_cast<const std::uint32_t*>(data + y * stride); };
        if (reused.size() == count) {
            const gfx::Rect copy = region.integral().intersection(gfx::Rect(0, 0, width, height));
            const int x0 = int(copy.minX());
            const int columns = int(copy.width());
            for (int y = int(copy.minY()); y < int(copy.maxY()); ++y)
                std::memcpy(reused.data() + size_t(y) * size_t(width) + size_t(x0), row(y) + x0,
                            size_t(columns) * sizeof(std::uint32_t));
            return gfx::Image::create(width, height, std::move(reused), scale);
        }
        gfx::Image::Pixels pixels;
        pixels.reserve(count);
        for (int y = 0; y < height; ++y) pixels.insert(pixels.end(), row(y), row(y) + width);
        return gfx::Image::create(width, height, std::move(pixels), scale);
    }
    gfx::Image::Pixels pixels(count);
    cairo_surface_t* target = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_ARGB32, width, height,
        width * 4);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    const bool copied = cairo_surface_status(target) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(target);
    if (!copied) return nullptr;
    return gfx::Image::create(width, height, std::move(pixels), scale);
}

}  // namespace web
