#pragma once
// Geometry shared by the tab container's title strip and its pill.

namespace app {

constexpr double tabViewHeight = 64.0;
constexpr double indicatorThickness = 3.0;
constexpr double indicatorLengthFactor = 4.0;

}  // namespace app
