#include "media/Matrix4.h"

#include <cmath>

namespace media {

namespace {

// Rotation by radians in the plane of axes a and b (a turning towards b).
Matrix4 planeRotation(int a, int b, float radians) {
    Matrix4 r;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    r.m[a * 4 + a] = c;
    r.m[a * 4 + b] = s;
    r.m[b * 4 + a] = -s;
    r.m[b * 4 + b] = c;
    return r;
}

}  // namespace

Matrix4 Matrix4::rotationX(float radians) {
    return planeRotation(1, 2, radians);
}

Matrix4 Matrix4::rotationY(float radians) {
    return planeRotation(2, 0, radians);
}

Matrix4 Matrix4::rotationZ(float radians) {
    return planeRotation(0, 1, radians);
}

Matrix4 Matrix4::fromRotation(const RotationMatrix& r) {
    Matrix4 result;
    const double rows[3][3] = {{r.m11, r.m12, r.m13}, {r.m21, r.m22, r.m23}, {r.m31, r.m32, r.m33}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            result.m[column * 4 + row] = static_cast<float>(rows[row][column]);
    }
    return result;
}

Matrix4 Matrix4::transposed() const {
    Matrix4 t;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) t.m[row * 4 + column] = at(row, column);
    }
    return t;
}

std::array<float, 3> Matrix4::transformPoint(const std::array<float, 3>& v) const {
    std::array<float, 3> out{};
    for (int row = 0; row < 3; ++row)
        out[row] = at(row, 0) * v[0] + at(row, 1) * v[1] + at(row, 2) * v[2] + at(row, 3);
    return out;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 p;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, column);
            p.m[column * 4 + row] = sum;
        }
    }
    return p;
}

}  // namespace media
