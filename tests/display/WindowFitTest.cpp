#include <gtest/gtest.h>

#include "display/WindowFit.h"

using display::WindowFit;

TEST(WindowFitTest, DeviceScaleWhenTheDesktopHasRoom) {
    const WindowFit fit = WindowFit::fit({375, 667}, 2, {1280, 1600});
    EXPECT_EQ(fit.pixelWidth, 750);
    EXPECT_EQ(fit.pixelHeight, 1334);
    EXPECT_EQ(fit.pixelsPerPoint, 2);

    const WindowFit unlimited = WindowFit::fit({375, 667}, 3, {});
    EXPECT_EQ(unlimited.pixelHeight, 2001);
    EXPECT_EQ(WindowFit::fit({375, 667}, 2, {4000, 4000}).pixelsPerPoint, 2);  // never enlarged
}

TEST(WindowFitTest, ShrinksAsAWholeToTheTighterSide) {
    const WindowFit tall = WindowFit::fit({375, 667}, 2, {1920, 1000});
    EXPECT_LE(tall.pixelHeight, 1000);
    EXPECT_GE(tall.pixelHeight, 999);
    EXPECT_NEAR(double(tall.pixelWidth) / tall.pixelHeight, 375.0 / 667, 0.005);

    const WindowFit narrow = WindowFit::fit({1024, 768}, 2, {1000, 1400});
    EXPECT_LE(narrow.pixelWidth, 1000);
    EXPECT_NEAR(narrow.pixelsPerPoint, 1000.0 / 1024, 1e-9);
}

TEST(WindowFitTest, PointsFromWindowPixels) {
    const WindowFit fit = WindowFit::fit({375, 667}, 2, {1920, 667});
    const gfx::Point corner = fit.pointAt(fit.pixelWidth, fit.pixelHeight);
    EXPECT_NEAR(corner.x, 375, 1);
    EXPECT_NEAR(corner.y, 667, 1);
    EXPECT_EQ(WindowFit::fit({375, 667}, 2, {}).pointAt(300, 500), (gfx::Point{150, 250}));
}
