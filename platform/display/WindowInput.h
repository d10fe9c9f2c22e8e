#pragma once
// What a desktop's wheel and keyboard do to the app's views, in window
// points: the wheel scrolls the scroll view under the pointer, a zoom (ctrl
// and the wheel) pinches the zoomable scroll view under it, typed text and
// the Return and Backspace keys go to the window's first responder, going
// back pops the navigation controller on top or dismisses what is
// presented (not a screen of pages), and a step in history goes to the
// page history of the screen shown. Each answers whether anything took the input. Main thread only.

#include <string>

#include "gfx/Geometry.h"
#include "ui/HistoryNavigating.h"

namespace ui {
class Window;
}  // namespace ui

namespace display {

class WindowInput {
public:
    // Gives the wheel to the innermost view under `at` that takes it
    // (View::scrollWheel, such as a web page) or scroll view that can
    // scroll along the larger component of `delta`, whichever comes first.
    // A scroll view moves its content offset by that component,
    // within its valid offsets; the content is then at rest, and the
    // delegate hears didScroll and didEndDecelerating as after a fling. A
    // paging scroll view instead moves one page in that direction,
    // animated (nothing while it is between pages). Nothing while a finger
    // moves the scroll view.
    static bool scroll(ui::Window& window, gfx::Point at, gfx::Point delta);
    // Multiplies the zoom scale of the innermost zoomable scroll view under
    // `at` by factor (within its limits), keeping the point under `at`
    // there as far as the content allows.
    static bool zoom(ui::Window& window, gfx::Point at, double factor);

    static bool insertText(ui::Window& window, const std::string& text);
    static bool deleteBackward(ui::Window& window);
    static bool pressReturn(ui::Window& window);

    // Pops the top controller of the navigation controller that is shown
    // (the root, or the last one presented) when it has more than one;
    // otherwise dismisses the last presented controller. False when there
    // is nothing to go back from, and when the screen shown has a page
    // history (as stepInHistory finds it): such a screen is left by its own
    // Done alone.
    static bool goBack(ui::Window& window);
    // Steps back or forward in the page history of the screen shown (an
    // in-app browser, ui::HistoryNavigating): the last presented controller
    // or the root (the top of its navigation stack), or one of their child
    // controllers whose view is in the window and not hidden, the first met
    // going down. False when there is no such screen or its history holds
    // no page that way.
    static bool stepInHistory(ui::Window& window, ui::HistoryStep step);
};

}  // namespace display
