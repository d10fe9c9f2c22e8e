#pragma once
// One finger on the screen and the event that carries it. Touches are made
// by the window's touch injection (tests, the PNG tool's scripted touches,
// the desktop window) and delivered through hit testing.

#include <memory>

#include "gfx/Geometry.h"
#include "ui/Responder.h"

namespace ui {

class View;
class Window;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

class Touch {
public:
    Touch(std::shared_ptr<Window> window, std::shared_ptr<View> view, gfx::Point windowLocation,
          double timestamp);

    [[nodiscard]] TouchPhase phase() const { return phase_; }
    // Location in the given view's coordinates (the window's when nullptr).
    [[nodiscard]] gfx::Point locationInView(const View* view) const;
    [[nodiscard]] gfx::Point previousLocationInView(const View* view) const;
    // The view the touch began in (hit testing at its first location).
    [[nodiscard]] std::shared_ptr<View> view() const { return view_.lock(); }
    [[nodiscard]] std::shared_ptr<Window> window() const { return window_.lock(); }
    [[nodiscard]] double timestamp() const { return timestamp_; }
    [[nodiscard]] int tapCount() const { return tapCount_; }

    // Used by the window while delivering.
    void update(TouchPhase phase, gfx::Point windowLocation, double timestamp);
    void setTapCount(int count) { tapCount_ = count; }

private:
    std::weak_ptr<Window> window_;
    std::weak_ptr<View> view_;
    gfx::Point location_;
    gfx::Point previousLocation_;
    double timestamp_;
    TouchPhase phase_ = TouchPhase::Began;
    int tapCount_ = 1;
};

class Event {
public:
    explicit Event(double timestamp) : timestamp_(timestamp) {}
    [[nodiscard]] double timestamp() const { return timestamp_; }

private:
    double timestamp_;
};

}  // namespace ui
