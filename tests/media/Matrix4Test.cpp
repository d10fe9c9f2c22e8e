#include "media/Matrix4.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

using media::Matrix4;
using Vec = std::array<float, 3>;

void expectNear(Vec actual, Vec expected, const std::string& what) {
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << what << " " << i;
}

constexpr float kQuarter = std::numbers::pi_v<float> / 2;

TEST(Matrix4Test, RightHandedQuarterTurnsMoveTheAxesAsExpected) {
    const struct {
        const char* what;
        Matrix4 turn;
        Vec from, to;
    } cases[] = {
        {"x turns y to z", Matrix4::rotationX(kQuarter), {0, 1, 0}, {0, 0, 1}},
        {"y turns z to x", Matrix4::rotationY(kQuarter), {0, 0, 1}, {1, 0, 0}},
        {"z turns x to y", Matrix4::rotationZ(kQuarter), {1, 0, 0}, {0, 1, 0}},
        {"y turns -z to -x", Matrix4::rotationY(kQuarter), {0, 0, -1}, {-1, 0, 0}},
        {"the transpose turns back",
         Matrix4::rotationX(kQuarter).transposed(),
         {0, 0, 1},
         {0, 1, 0}},
        // b first: z turns x to y, then x turns y to z.
        {"products apply the right factor first",
         Matrix4::rotationX(kQuarter) * Matrix4::rotationZ(kQuarter),
         {1, 0, 0},
         {0, 0, 1}},
        {"a turn and its inverse",
         Matrix4::rotationY(kQuarter) * Matrix4::rotationY(-kQuarter),
         {0.3f, -0.4f, 0.5f},
         {0.3f, -0.4f, 0.5f}},
    };
    for (const auto& c : cases) expectNear(c.turn.transformPoint(c.from), c.to, c.what);
}

TEST(Matrix4Test, ARotationKeepsItsRowsAndColumnsInColumnMajorStorage) {
    const media::RotationMatrix r{1, 2, 3, 4, 5, 6, 7, 8, 9};
    const Matrix4 m = Matrix4::fromRotation(r);
    EXPECT_EQ(m.at(0, 1), 2);
    EXPECT_EQ(m.at(1, 0), 4);
    EXPECT_EQ(m.at(2, 1), 8);
    EXPECT_EQ(m.m[1], 4) << "column 0, row 1";
    EXPECT_EQ(m.at(3, 3), 1);
    EXPECT_EQ(m.at(0, 3), 0);
    EXPECT_EQ(m.transposed().at(0, 1), 4);
}

}  // namespace
