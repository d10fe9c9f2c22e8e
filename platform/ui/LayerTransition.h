#pragma once
// A transition of what a view's layer shows (a push, a fade, ...), added to
// a view under a key. Transitions are recorded, not drawn: the new content
// shows at once (see View::addTransition).

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
