#pragma once
// A transition of what a view's layer shows (a push, a fade, ...), added to
// a view under a key and drawn over its duration from what the view showed
// before to what it shows now (see View::addTransition):
//  - Fade: the old content dissolves into the new;
//  - MoveIn: the new content slides in over the old;
//  - Push: the new content slides in and pushes the old out;
//  - Reveal: the old content slides out and uncovers the new.
// The subtype is the side the motion starts from (FromLeft when unset);
// the default timing is linear.

namespace ui {

struct LayerTransition {
    enum class Type { Fade, MoveIn, Push, Reveal };
    // The side the new content comes from.
    enum class Subtype { Unset, FromRight, FromLeft, FromTop, FromBottom };
    enum class Timing { Default, Linear, EaseIn, EaseOut, EaseInEaseOut };

    Type type = Type::Fade;
    Subtype subtype = Subtype::Unset;
    double duration = 0.25;
    Timing timing = Timing::Default;

    friend bool operator==(const LayerTransition&, const LayerTransition&) = default;
};

}  // namespace ui
