#include "QrPattern.h"

#include <algorithm>
#include <cstdlib>

namespace tools {

namespace {

constexpr int kFinder = 7;
constexpr int kAlignmentCentre = QrPattern::kModules - 7;

// Distance from (row, column) to (centreRow, centreColumn) in rings.
int ring(int row, int column, int centreRow, int centreColumn) {
    return std::max(std::abs(row - centreRow), std::abs(column - centreColumn));
}

// Top left corner of the finder square whose area (with separator) holds
// the module, or -1 in both when none does.
std::pair<int, int> finderOrigin(int row, int column) {
    const int far = QrPattern::kModules - kFinder;
    const bool top = row <= kFinder;
    const bool bottom = row >= far - 1;
    const bool left = column <= kFinder;
    const bool right = column >= far - 1;
    if (top && left) return {0, 0};
    if (top && right) return {0, far};
    if (bottom && left) return {far, 0};
    return {-1, -1};
}

}  // namespace

QrPattern::QrPattern(std::uint32_t seed) : dark_(kModules * kModules) {
    std::uint32_t state = seed ? seed : 1;
    for (int row = 0; row < kModules; ++row) {
        for (int column = 0; column < kModules; ++column) {
            // xorshift32: the same picture on every machine.
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const bool dark = isFunctionModule(row, column) ? functionModuleIsDark(row, column)
                                                            : (state >> 16) % 100 < 48;
            dark_[row * kModules + column] = dark;
        }
    }
}

bool QrPattern::isDark(int row, int column) const {
    if (row < 0 || column < 0 || row >= kModules || column >= kModules) return false;
    return dark_[row * kModules + column];
}

bool QrPattern::isFunctionModule(int row, int column) {
    if (finderOrigin(row, column).first >= 0) return true;
    if (row == kFinder - 1 || column == kFinder - 1) return true;
    return ring(row, column, kAlignmentCentre, kAlignmentCentre) <= 2;
}

bool QrPattern::functionModuleIsDark(int row, int column) {
    if (const auto [top, left] = finderOrigin(row, column); top >= 0) {
        const int r = ring(row, column, top + 3, left + 3);
        return r != 2 && r <= 3;
    }
    if (ring(row, column, kAlignmentCentre, kAlignmentCentre) <= 2) {
        return ring(row, column, kAlignmentCentre, kAlignmentCentre) != 1;
    }
    // Timing row and column.
    return (row + column) % 2 == 0;
}

}  // namespace tools
