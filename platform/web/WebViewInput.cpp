// WebView: a person's touches, wheel and keys as the page's pointer and
// keyboard. Each becomes the event the window system would give the
// engine's view (GDK's button, motion, scroll and key events), handed to the
// view directly, so the engine treats them as a person's input: a click made
// so is a user gesture for the page and for the navigation it starts.

#include <glib.h>

#include <algorithm>
#include <cmath>

#include "core/Clock.h"
#include "ui/DeviceProfile.h"
#include "ui/ScrollView.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

constexpr unsigned kPrimaryButton = 1;
// Released instead of the primary button to end a press without a click:
// the engine clicks only for the primary button.
constexpr unsigned kSecondaryButton = 3;

// Event times in milliseconds, wrapping as the window system's do.
std::uint32_t eventTime(double seconds) {
    return std::uint32_t(std::uint64_t(std::llround(std::max(0.0, seconds) * 1000)));
}

std::uint32_t now() {
    return eventTime(core::Clock::current()->monotonicSeconds());
}

// The engine scrolls GTK's step per unit of a smooth scroll event: the
// viewport's extent in pixels to the power 2/3, whole pixels.
double pixelsPerScrollUnit(int extent) {
    return std::max(1.0, std::floor(std::pow(double(std::max(1, extent)), 2.0 / 3.0)));
}

// The scroll view around view that scrolls along the axis, if any.
bool enclosingScrollViewScrolls(const ui::View& view, bool horizontal) {
    for (auto ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        const auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(ancestor);
        if (!scroll || !scroll->isScrollEnabled()) continue;
        const gfx::EdgeInsets inset = scroll->adjustedContentInset();
        const double content = horizontal
                                   ? scroll->contentSize().width + inset.left + inset.right
                                   : scroll->contentSize().height + inset.top + inset.bottom;
        const double visible =
            horizontal ? scroll->bounds().size.width : scroll->bounds().size.height;
        if (content - visible > 0.5) return true;
    }
    return false;
}

GdkEvent* eventFor(GtkWidget* widget, GdkEventType type, bool keyboard) {
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window) return nullptr;
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
    GdkDevice* device =
        seat ? (keyboard ? gdk_seat_get_keyboard(seat) : gdk_seat_get_pointer(seat)) : nullptr;
    if (!device) return nullptr;
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(window));
    event->any.send_event = TRUE;
    gdk_event_set_device(event, device);
    return event;
}

void deliver(GtkWidget* widget, GdkEvent* event) {
    if (!event) return;
    (void)gtk_widget_event(widget, event);
    gdk_event_free(event);
}

// The touch of the set that is the page's pointer.
std::shared_ptr<ui::Touch> pointerTouch(const std::optional<WebView::Engine::Pointer>& pointer,
                                        const ui::TouchSet& touches) {
    if (!pointer) return nullptr;
    const auto touch = pointer->touch.lock();
    if (!touch || std::find(touches.begin(), touches.end(), touch) == touches.end())
        return nullptr;
    return touch;
}

}  // namespace

gfx::Point WebView::Engine::pixelPoint(gfx::Point point) const {
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    const gfx::Rect bounds = owner.bounds();
    return {(point.x - bounds.minX()) * scale, (point.y - bounds.minY()) * scale};
}

void WebView::Engine::sendButton(GdkEventType type, unsigned button, gfx::Point at,
                                 std::uint32_t time) {
    GtkWidget* widget = GTK_WIDGET(page);
    GdkEvent* event = eventFor(widget, type, false);
    if (!event) return;
    event->button.time = time;
    event->button.x = event->button.x_root = at.x;
    event->button.y = event->button.y_root = at.y;
    event->button.button = button;
    event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
    deliver(widget, event);
}

void WebView::Engine::sendMotion(gfx::Point at, bool held, std::uint32_t time) {
    GtkWidget* widget = GTK_WIDGET(page);
    GdkEvent* event = eventFor(widget, GDK_MOTION_NOTIFY, false);
    if (!event) return;
    event->motion.time = time;
    event->motion.x = event->motion.x_root = at.x;
    event->motion.y = event->motion.y_root = at.y;
    event->motion.state = held ? GDK_BUTTON1_MASK : 0;
    deliver(widget, event);
}

void WebView::Engine::sendScroll(gfx::Point at, gfx::Point pixels, std::uint32_t time) {
    GtkWidget* widget = GTK_WIDGET(page);
    GdkEvent* event = eventFor(widget, GDK_SCROLL, false);
    if (!event) return;
    event->scroll.time = time;
    event->scroll.x = event->scroll.x_root = at.x;
    event->scroll.y = event->scroll.y_root = at.y;
    event->scroll.direction = GDK_SCROLL_SMOOTH;
    event->scroll.delta_x = pixels.x / pixelsPerScrollUnit(pixelWidth);
    event->scroll.delta_y = pixels.y / pixelsPerScrollUnit(pixelHeight);
    deliver(widget, event);
}

void WebView::Engine::sendKey(unsigned keyval) {
    GtkWidget* widget = GTK_WIDGET(page);
    guint16 keycode = 0;
    guint8 group = 0;
    unsigned state = 0;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(widget)),
                                          keyval, &keys, &count) &&
        count > 0) {
        keycode = guint16(keys[0].keycode);
        group = guint8(keys[0].group);
        if (keys[0].level == 1) state = GDK_SHIFT_MASK;
    }
    g_free(keys);
    const std::uint32_t time = now();
    for (const GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = eventFor(widget, type, true);
        if (!event) return;
        event->key.time = time;
        event->key.keyval = keyval;
        event->key.hardware_keycode = keycode;
        event->key.group = group;
        event->key.state = state;
        deliver(widget, event);
    }
}

// MARK: touches

void WebView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
    Engine& engine = *engine_;
    if (touches.empty() || (engine.pointer && !engine.pointer->touch.expired())) return;
    const auto& touch = touches.front();
    const gfx::Point at = touch->locationInView(this);
    const auto keep = self();
    (void)becomeFirstResponder();
    engine.pointer = Engine::Pointer{touch, at, at, false};
    const std::uint32_t time = eventTime(touch->timestamp());
    engine.sendMotion(engine.pixelPoint(at), false, time);
    engine.sendButton(GDK_BUTTON_PRESS, kPrimaryButton, engine.pixelPoint(at), time);
}

void WebView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
    Engine& engine = *engine_;
    const auto touch = pointerTouch(engine.pointer, touches);
    if (!touch) return;
    Engine::Pointer& pointer = *engine.pointer;
    const gfx::Point at = touch->locationInView(this);
    const std::uint32_t time = eventTime(touch->timestamp());
    if (!pointer.panning &&
        std::hypot(at.x - pointer.start.x, at.y - pointer.start.y) > kPanDistance)
        pointer.panning = true;
    if (!pointer.panning) {
        engine.sendMotion(engine.pixelPoint(at), true, time);
        return;
    }
    // The content follows the finger from where the touch began.
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    const gfx::Point pixels{(pointer.last.x - at.x) * scale, (pointer.last.y - at.y) * scale};
    pointer.last = at;
    engine.sendScroll(engine.pixelPoint(pointer.start), pixels, time);
}

void WebView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) {
    Engine& engine = *engine_;
    const auto touch = pointerTouch(engine.pointer, touches);
    if (!touch) return;
    const bool panned = engine.pointer->panning;
    engine.pointer.reset();
    engine.sendButton(GDK_BUTTON_RELEASE, panned ? kSecondaryButton : kPrimaryButton,
                      engine.pixelPoint(touch->locationInView(this)),
                      eventTime(touch->timestamp()));
}

void WebView::touchesCancelled(const ui::TouchSet& touches, const ui::Event&) {
    Engine& engine = *engine_;
    const auto touch = pointerTouch(engine.pointer, touches);
    if (!touch) return;
    engine.pointer.reset();
    engine.sendButton(GDK_BUTTON_RELEASE, kSecondaryButton,
                      engine.pixelPoint(touch->locationInView(this)),
                      eventTime(touch->timestamp()));
}

// MARK: wheel and keys

bool WebView::scrollWheel(gfx::Point location, gfx::Point delta) {
    if (!std::isfinite(delta.x) || !std::isfinite(delta.y) || (delta.x == 0 && delta.y == 0))
        return false;
    const bool horizontal = std::abs(delta.x) > std::abs(delta.y);
    const double content = (horizontal ? contentSize_.width : contentSize_.height) * zoom_;
    const double visible = horizontal ? bounds().size.width : bounds().size.height;
    if (content - visible <= 0.5 && enclosingScrollViewScrolls(*this, horizontal)) return false;
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    engine_->sendScroll(engine_->pixelPoint(location), {delta.x * scale, delta.y * scale}, now());
    return true;
}

bool WebView::becomeFirstResponder() {
    if (!ui::View::becomeFirstResponder()) return false;
    gtk_widget_grab_focus(GTK_WIDGET(engine_->page));
    return true;
}

bool WebView::resignFirstResponder() {
    const bool was = isFirstResponder();
    if (!ui::View::resignFirstResponder()) return false;
    if (was) gtk_window_set_focus(GTK_WINDOW(engine_->window), nullptr);
    return true;
}

void WebView::insertText(const std::string& text) {
    if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr)) return;
    for (const char* next = text.c_str(); *next; next = g_utf8_next_char(next)) {
        const gunichar character = g_utf8_get_char(next);
        engine_->sendKey(character == '\n' ? GDK_KEY_Return : gdk_unicode_to_keyval(character));
    }
}

void WebView::deleteBackward() {
    engine_->sendKey(GDK_KEY_BackSpace);
}

void WebView::returnKeyPressed() {
    engine_->sendKey(GDK_KEY_Return);
}

}  // namespace web
