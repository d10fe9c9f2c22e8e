#pragma once
// Counts the animations under way in the process (scroll animations and
// view animation blocks whose completion is still to come), so that whoever
// drives a manual clock can tell when the screen has come to rest. Main
// thread only.

#include <cstddef>

namespace ui {

class AnimationActivity {
public:
    static void began();
    static void ended();
    [[nodiscard]] static size_t count();
};

}  // namespace ui
