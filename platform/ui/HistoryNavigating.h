#pragma once
// A screen that shows pages with a history of their own, as an in-app
// browser does. What steps back and forward in it asks it: its toolbar's
// Back and Forward, and the keys a desktop window gives for them, which go
// to the screen shown (display::WindowInput::stepInHistory). Every such
// screen draws the same arrows for its items (historyArrowImage). Main
// thread only; the images on any thread.

#include "gfx/Image.h"

namespace ui {

enum class HistoryStep { Back, Forward };

class HistoryNavigating {
public:
    virtual ~HistoryNavigating() = default;

    // Whether the history holds a page in that direction now.
    [[nodiscard]] virtual bool canStepInHistory(HistoryStep step) const = 0;
    // Takes the step when the history allows it; false when it does not.
    virtual bool stepInHistory(HistoryStep step) = 0;
};

// The step in pages that keep a history of their own (canGoBack, goBack
// and their forward twins, as a web view has them): whether the history
// allows it, and taking it when it does.
template <class Pages>
[[nodiscard]] bool canStepIn(const Pages& pages, HistoryStep step) {
    return step == HistoryStep::Back ? pages.canGoBack() : pages.canGoForward();
}
template <class Pages>
bool stepIn(Pages& pages, HistoryStep step) {
    if (!canStepIn(pages, step)) return false;
    if (step == HistoryStep::Back)
        pages.goBack();
    else
        pages.goForward();
    return true;
}

// The arrow of a step, pointing its way: a 27 x 27 point mask at scale 2
// (a toolbar item draws it in its tint), drawn once.
[[nodiscard]] gfx::ImagePtr historyArrowImage(HistoryStep step);

}  // namespace ui
