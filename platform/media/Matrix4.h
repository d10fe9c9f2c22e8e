#pragma once
// A 4x4 float matrix as GL takes it: column-major (m[column * 4 + row]),
// acting on column vectors, so a * b applies b first. Rotations are
// right-handed, angles in radians. A value type, safe on any thread.

#include <array>

#include "media/MotionManager.h"

namespace media {

struct Matrix4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    [[nodiscard]] static Matrix4 identity() { return {}; }
    [[nodiscard]] static Matrix4 rotationX(float radians);
    [[nodiscard]] static Matrix4 rotationY(float radians);
    [[nodiscard]] static Matrix4 rotationZ(float radians);
    // The 3x3 rotation in the upper left, the identity's last row and column.
    [[nodiscard]] static Matrix4 fromRotation(const RotationMatrix& rotation);

    [[nodiscard]] float at(int row, int column) const { return m[column * 4 + row]; }
    [[nodiscard]] Matrix4 transposed() const;
    // The xyz of this matrix times (v, 1).
    [[nodiscard]] std::array<float, 3> transformPoint(const std::array<float, 3>& v) const;

    friend Matrix4 operator*(const Matrix4& a, const Matrix4& b);
    friend bool operator==(const Matrix4&, const Matrix4&) = default;
};

}  // namespace media
