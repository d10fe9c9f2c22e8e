#include <gtest/gtest.h>

#include <memory>

#include "gfx/Color.h"
#include "gfx/Image.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;
using ui::View;

namespace {

std::shared_ptr<View> colored(Rect frame, Color color) {
    auto view = std::make_shared<View>(frame);
    view->setBackgroundColor(color);
    return view;
}

bool near(Color actual, Color expected) {
    const auto close = [](double a, double b) { return std::abs(a - b) < 0.02; };
    return close(actual.red, expected.red) && close(actual.green, expected.green) &&
           close(actual.blue, expected.blue) && close(actual.alpha, expected.alpha);
}

const Color kRed{1, 0, 0, 1};
const Color kBlue{0, 0, 1, 1};
const Color kGreen{0, 1, 0, 1};

// A red 40x30 view at (100, 100), moved, with a blue square in its
// top-left corner.
class SnapshotViewTest : public testing::Test {
protected:
    void SetUp() override {
        source->addSubview(colored({0, 0, 10, 10}, kBlue));
        source->setTransform(gfx::AffineTransform::translation(7, 7));
    }
    std::shared_ptr<View> source = colored({100, 100, 40, 30}, kRed);
};

TEST_F(SnapshotViewTest, DrawsWhatTheSourceDrewInItsOwnBounds) {
    const auto snapshot = source->snapshotViewAfterScreenUpdates(false);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->frame(), Rect(0, 0, 40, 30));
    EXPECT_EQ(snapshot->superview(), nullptr);
    EXPECT_FALSE(snapshot->isUserInteractionEnabled());
    EXPECT_TRUE(snapshot->transform().isIdentity());

    // Later changes to the source do not reach the snapshot.
    source->setBackgroundColor(kGreen);
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 60, 60));
    window->setBackgroundColor(kGreen);
    window->addSubview(snapshot);
    const auto image = ui::Renderer::render(*window, 1);
    ASSERT_TRUE(image);
    EXPECT_TRUE(near(image->pixelAt(5, 5), kBlue));
    EXPECT_TRUE(near(image->pixelAt(30, 20), kRed));
    EXPECT_TRUE(near(image->pixelAt(50, 50), kGreen)) << "outside the source's bounds";
}

TEST(SnapshotViewEdgeTest, AViewWithoutAreaHasNoSnapshot) {
    EXPECT_EQ(std::make_shared<View>(Rect(5, 5, 0, 10))->snapshotViewAfterScreenUpdates(true),
              nullptr);
}

}  // namespace
