#pragma once
// The parameters of an MRAID ad's "resize" request (new size, offset from
// the ad's position, where the close button goes, whether the ad may leave
// the screen) and the geometry rules that the presenters of resized and
// expanded ads share: where the 50 x 50 point close button sits for each
// named position, how it stays pinned when its container changes size, and
// whether a proposed content frame is acceptable.
//
// A plain value object: made on the main thread by the MRAID handler, read
// by whoever it is handed to.

#include <cstdint>
#include <memory>

#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ads {

class DZMRAIDResizeProperties {
public:
    // Close positions, by their MRAID names.
    static constexpr std::int64_t kTopRight = 0;      // "top-right"
    static constexpr std::int64_t kTopCenter = 1;     // "top-center"
    static constexpr std::int64_t kTopLeft = 2;       // "top-left"
    static constexpr std::int64_t kCenter = 3;        // "center"
    static constexpr std::int64_t kBottomRight = 4;   // "bottom-right"
    static constexpr std::int64_t kBottomCenter = 5;  // "bottom-center"
    static constexpr std::int64_t kBottomLeft = 6;    // "bottom-left"
    static constexpr double kCloseButtonSide = 50;
    // A resized ad is never smaller than its close button, nor larger (or
    // moved further) than this many times the screen's longer side.
    static constexpr double kMinimumSide = kCloseButtonSide;
    static constexpr double kMaximumScreenMultiple = 2;

    // From the message's text parameters "width", "height", "offsetX",
    // "offsetY", "customClosePosition" and "allowOffscreen", all required.
    // The four numbers must be finite numbers (numbers or texts that are
    // wholly one); the width and height from kMinimumSide to the screen
    // limit, the offsets within the limit either way (an ad may move up or
    // left). nullptr otherwise. An unknown close position (names match
    // exactly) is "top-right". The screen is the device's, in portrait.
    [[nodiscard]] static std::shared_ptr<DZMRAIDResizeProperties>
    create(const core::Value& dictionary);
    [[nodiscard]] static std::shared_ptr<DZMRAIDResizeProperties>
    create(const core::Value& dictionary, gfx::Size screen);

    // The button's rectangle inside the content frame; a position outside
    // 0 to 6 puts it at the frame's origin.
    [[nodiscard]] static gfx::Rect closeButtonRectForPosition(std::int64_t position,
                                                              const gfx::Rect& contentFrame);
    // The autoresizing flags that keep the button at its place; 0 for a
    // position outside 0 to 6.
    [[nodiscard]] static unsigned autoresizingMaskForClosePosition(std::int64_t position);
    // The close button must lie within the bounds; without allowOffscreen
    // the whole frame as well.
    [[nodiscard]] static bool isContentFrameValid(const gfx::Rect& contentFrame,
                                                  const gfx::Rect& bounds, bool allowOffscreen,
                                                  std::int64_t closeButtonPosition);

    [[nodiscard]] bool allowOffscreen() const { return allowOffscreen_; }
    void setAllowOffscreen(bool allow) { allowOffscreen_ = allow; }
    [[nodiscard]] std::int64_t customClosePosition() const { return customClosePosition_; }
    void setCustomClosePosition(std::int64_t position) { customClosePosition_ = position; }
    [[nodiscard]] gfx::Size size() const { return size_; }
    void setSize(gfx::Size size) { size_ = size; }
    // Horizontal offset in width, vertical in height.
    [[nodiscard]] gfx::Size offset() const { return offset_; }
    void setOffset(gfx::Size offset) { offset_ = offset; }

private:
    bool allowOffscreen_ = false;
    std::int64_t customClosePosition_ = kTopRight;
    gfx::Size size_;
    gfx::Size offset_;
};

}  // namespace ads
