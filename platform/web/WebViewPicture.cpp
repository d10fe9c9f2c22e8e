// WebView: the page's picture as the engine draws it. The engine paints the
// page into the view's offscreen window whenever the page changes; GDK
// invalidates that window first and reports each paint as its damage. The
// view marks itself for display on the damage and copies the window's
// surface when it is next drawn: nothing is polled, and a page that draws
// nothing new costs nothing.

#include <cairo.h>

#include <algorithm>

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

gboolean WebView::Engine::damaged(GtkWidget*, GdkEventExpose*, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    engine.painting = {};
    // A paint the window had coming when the page committed its document
    // shows what the engine had then.
    if (!engine.showsPage || engine.invalidatedIn != engine.document) return FALSE;
    engine.drew = true;
    engine.owner.engineDrew();
    return FALSE;
}

void WebView::engineDrew() {
    if (takesPictures()) setNeedsDisplayInRect(bounds());
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
    auto image = Engine::imageOf(surface, width, height);
    if (!image) return picture_;
    engine.drew = false;
    picture_ = std::move(image);
    pictureDocument_ = engine.document;
    ++pictures_;
    return picture_;
}

gfx::ImagePtr WebView::Engine::imageOf(cairo_surface_t* surface, int width, int height) {
    if (!surface || width <= 0 || height <= 0) return nullptr;
    gfx::Image::Pixels pixels(size_t(width) * size_t(height));
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
    return gfx::Image::create(width, height, std::move(pixels),
                              std::max(1.0, ui::DeviceProfile::current().scale));
}

}  // namespace web
