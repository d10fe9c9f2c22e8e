#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ui/View.h"

using namespace ads;

namespace {

core::Dictionary parameters(std::initializer_list<core::Dictionary::Entry> changes = {}) {
    core::Dictionary result{{"width", "300"},
                            {"height", "250"},
                            {"offsetX", "10"},
                            {"offsetY", "-20"},
                            {"customClosePosition", "bottom-left"},
                            {"allowOffscreen", "true"}};
    for (const auto& [key, value] : changes) result.set(key, value);
    return result;
}

}  // namespace

const gfx::Size kScreen{320, 480};

TEST(DZMRAIDResizeProperties, ParsesTheSixParameters) {
    const auto properties = DZMRAIDResizeProperties::create(parameters(), kScreen);
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->size(), (gfx::Size{300, 250}));
    EXPECT_EQ(properties->offset(), (gfx::Size{10, -20})) << "negative offsets stay";
    EXPECT_EQ(properties->customClosePosition(), DZMRAIDResizeProperties::kBottomLeft);
    EXPECT_TRUE(properties->allowOffscreen());

    const auto other =
        DZMRAIDResizeProperties::create(parameters({{"width", " 320 "},
                                                    {"height", 50},
                                                    {"allowOffscreen", "false"},
                                                    {"customClosePosition", "Top-Left"}}),
                                        kScreen);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->size(), (gfx::Size{320, 50}));
    EXPECT_FALSE(other->allowOffscreen());
    EXPECT_EQ(other->customClosePosition(), DZMRAIDResizeProperties::kTopRight)
        << "names match exactly";
}

TEST(DZMRAIDResizeProperties, MissingKeysAndUnusableNumbersGiveNoObject) {
    for (const char* key :
         {"width", "height", "offsetX", "offsetY", "customClosePosition", "allowOffscreen"}) {
        core::Dictionary missing = parameters();
        missing.remove(key);
        EXPECT_FALSE(DZMRAIDResizeProperties::create(missing, kScreen)) << key;
    }
    EXPECT_FALSE(DZMRAIDResizeProperties::create(core::Value("width=3"), kScreen));

    // Sizes are numbers from the close button's side to twice the screen's
    // longer side (960 here); offsets move at most as far either way.
    const std::vector<std::pair<const char*, core::Value>> unusable{
        {"width", "-1"},
        {"height", "-0.5"},
        {"width", "0"},
        {"height", "49.9"},
        {"height", "abc"},
        {"width", "320px"},
        {"width", "1e308"},
        {"width", "960.5"},
        {"width", "1e400"},
        {"offsetX", "-1e999"},
        {"offsetX", "-961"},
        {"offsetY", "1e308"},
        {"offsetY", "down"},
        {"offsetY", core::Value(std::nan(""))},
        {"height", core::Value(std::numeric_limits<double>::infinity())},
    };
    for (const auto& [key, value] : unusable) {
        EXPECT_FALSE(DZMRAIDResizeProperties::create(parameters({{key, value}}), kScreen))
            << key << " " << value.stringValue();
    }
    EXPECT_FALSE(
        DZMRAIDResizeProperties::create(parameters({{"width", "0"}, {"height", "0"}}), kScreen));
    EXPECT_TRUE(DZMRAIDResizeProperties::create(
        parameters({{"width", "50"}, {"height", "960"}, {"offsetX", "-960"}}), kScreen));
}

TEST(DZMRAIDResizeProperties, CloseButtonPlacesAndMasks) {
    using View = ui::View;
    struct Case {
        std::int64_t position;
        gfx::Point inBanner;  // frame (0, 0, 320, 50)
        gfx::Point inBox;     // frame (10, 20, 300, 200)
        unsigned mask;
    };
    const Case cases[] = {
        {0, {270, 0}, {260, 20}, View::kFlexibleLeftMargin | View::kFlexibleBottomMargin},
        {1, {135, 0}, {135, 20}, 37},
        {2, {0, 0}, {10, 20}, 36},
        {3, {135, 0}, {135, 95}, 45},
        {4, {270, 0}, {260, 170}, View::kFlexibleLeftMargin | View::kFlexibleTopMargin},
        {5, {135, 0}, {135, 170}, 13},
        {6, {0, 0}, {10, 170}, 12},
        {7, {0, 0}, {10, 20}, 0},
        {-1, {0, 0}, {10, 20}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DZMRAIDResizeProperties::closeButtonRectForPosition(c.position, {0, 0, 320, 50}),
                  (gfx::Rect{c.inBanner, {50, 50}}))
            << c.position;
        EXPECT_EQ(
            DZMRAIDResizeProperties::closeButtonRectForPosition(c.position, {10, 20, 300, 200}),
            (gfx::Rect{c.inBox, {50, 50}}))
            << c.position;
        EXPECT_EQ(DZMRAIDResizeProperties::autoresizingMaskForClosePosition(c.position), c.mask)
            << c.position;
    }
}

TEST(DZMRAIDResizeProperties, FrameValidity) {
    const gfx::Rect screen{0, 0, 320, 480};
    const gfx::Rect inside{20, 20, 300, 250};
    const gfx::Rect partlyOff{-100, 100, 300, 250};  // the right half stays on screen
    EXPECT_TRUE(DZMRAIDResizeProperties::isContentFrameValid(inside, screen, false, 0));
    EXPECT_FALSE(DZMRAIDResizeProperties::isContentFrameValid(partlyOff, screen, false, 0));
    EXPECT_TRUE(DZMRAIDResizeProperties::isContentFrameValid(partlyOff, screen, true, 0));
    EXPECT_FALSE(DZMRAIDResizeProperties::isContentFrameValid(partlyOff, screen, true, 2))
        << "a top-left button is off screen";

    // A frame smaller than its button would put the button beside it, off
    // screen here: never valid, whatever allowOffscreen says.
    const gfx::Rect tiny{0, 0, 12, 1};
    EXPECT_EQ(DZMRAIDResizeProperties::closeButtonRectForPosition(0, tiny).origin.x, -38);
    for (const bool allowOffscreen : {false, true})
        EXPECT_FALSE(DZMRAIDResizeProperties::isContentFrameValid(tiny, screen, allowOffscreen, 0))
            << allowOffscreen;
}
