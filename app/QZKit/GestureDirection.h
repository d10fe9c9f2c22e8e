#pragma once
// The side a kit transition moves along: a presented screen comes in from
// the opposite side and a pan in this direction drags it back out.

#include <string_view>

namespace app {

enum class GestureDirection { Left, Right, Up, Down };

[[nodiscard]] constexpr std::string_view gestureDirectionName(GestureDirection direction) {
    switch (direction) {
    case GestureDirection::Left:
        return "Left";
    case GestureDirection::Right:
        return "Right";
    case GestureDirection::Up:
        return "Up";
    case GestureDirection::Down:
        return "Down";
    }
    return "";
}

}  // namespace app
