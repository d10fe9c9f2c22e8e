#include "ads/web/intercept/DZMRAIDResizeProperties.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ui/View.h"

namespace ads {

namespace {

enum class Column { Min, Mid, Max };

struct ClosePlacement {
    std::string_view name;
    Column x;
    Column y;
    unsigned mask;
};

constexpr unsigned kLeft = ui::View::kFlexibleLeftMargin;
constexpr unsigned kRight = ui::View::kFlexibleRightMargin;
constexpr unsigned kTop = ui::View::kFlexibleTopMargin;
constexpr unsigned kBottom = ui::View::kFlexibleBottomMargin;

// Indexed by position.
constexpr std::array<ClosePlacement, 7> kPlacements{{
    {"top-right", Column::Max, Column::Min, kLeft | kBottom},
    {"top-center", Column::Mid, Column::Min, kLeft | kRight | kBottom},
    {"top-left", Column::Min, Column::Min, kRight | kBottom},
    {"center", Column::Mid, Column::Mid, kLeft | kRight | kTop | kBottom},
    {"bottom-right", Column::Max, Column::Max, kLeft | kTop},
    {"bottom-center", Column::Mid, Column::Max, kLeft | kRight | kTop},
    {"bottom-left", Column::Min, Column::Max, kRight | kTop},
}};

const ClosePlacement* placementFor(std::int64_t position) {
    if (position < 0 || position >= std::int64_t(kPlacements.size())) return nullptr;
    return &kPlacements[size_t(position)];
}

// The button's coordinate along one axis of the frame.
double edge(Column column, double min, double mid, double max) {
    const double half = DZMRAIDResizeProperties::kCloseButtonSide / 2;
    switch (column) {
    case Column::Min:
        return min;
    case Column::Mid:
        return mid - half;
    case Column::Max:
        return max - DZMRAIDResizeProperties::kCloseButtonSide;
    }
    return min;
}

}  // namespace

std::shared_ptr<DZMRAIDResizeProperties>
DZMRAIDResizeProperties::create(const core::Value& dictionary) {
    return create(dictionary, DZDevice::sharedInstance()->standardizedPortraitScreenBounds().size);
}

std::shared_ptr<DZMRAIDResizeProperties>
DZMRAIDResizeProperties::create(const core::Value& dictionary, gfx::Size screen) {
    const core::Dictionary* parameters = dictionary.dictionary();
    if (!parameters) return nullptr;
    for (const char* key :
         {"width", "height", "offsetX", "offsetY", "customClosePosition", "allowOffscreen"}) {
        if (!parameters->contains(key)) return nullptr;
    }
    // Numbers only: a text that is no number is no size (not a size of 0).
    const auto width = DZNumericValue((*parameters)["width"]);
    const auto height = DZNumericValue((*parameters)["height"]);
    const auto offsetX = DZNumericValue((*parameters)["offsetX"]);
    const auto offsetY = DZNumericValue((*parameters)["offsetY"]);
    if (!width || !height || !offsetX || !offsetY) return nullptr;
    for (const double number : {*width, *height, *offsetX, *offsetY})
        if (!std::isfinite(number)) return nullptr;
    const double limit = kMaximumScreenMultiple * std::max(screen.width, screen.height);
    for (const double side : {*width, *height}) {
        if (side < kMinimumSide || side > limit) return nullptr;
    }
    for (const double distance : {*offsetX, *offsetY}) {
        if (std::fabs(distance) > limit) return nullptr;
    }
    const gfx::Size size{*width, *height};
    const gfx::Size offset{*offsetX, *offsetY};

    auto properties = std::make_shared<DZMRAIDResizeProperties>();
    properties->size_ = size;
    properties->offset_ = offset;
    properties->allowOffscreen_ = (*parameters)["allowOffscreen"].boolValue();
    if (const std::string* name = (*parameters)["customClosePosition"].string()) {
        for (size_t position = 0; position < kPlacements.size(); ++position) {
            if (kPlacements[position].name == *name) {
                properties->customClosePosition_ = std::int64_t(position);
            }
        }
    }
    return properties;
}

gfx::Rect DZMRAIDResizeProperties::closeButtonRectForPosition(std::int64_t position,
                                                              const gfx::Rect& frame) {
    const ClosePlacement* placement = placementFor(position);
    const gfx::Point origin =
        placement ? gfx::Point{edge(placement->x, frame.minX(), frame.midX(), frame.maxX()),
                               edge(placement->y, frame.minY(), frame.midY(), frame.maxY())}
                  : gfx::Point{frame.minX(), frame.minY()};
    return {origin, {kCloseButtonSide, kCloseButtonSide}};
}

unsigned DZMRAIDResizeProperties::autoresizingMaskForClosePosition(std::int64_t position) {
    const ClosePlacement* placement = placementFor(position);
    return placement ? placement->mask : 0;
}

bool DZMRAIDResizeProperties::isContentFrameValid(const gfx::Rect& contentFrame,
                                                  const gfx::Rect& bounds, bool allowOffscreen,
                                                  std::int64_t closeButtonPosition) {
    const auto onScreen = [&](const gfx::Rect& rect) { return rect.intersection(bounds) == rect; };
    // The close button must be reachable whatever else is allowed: a frame
    // smaller than the button would put it partly beside the frame.
    if (!onScreen(closeButtonRectForPosition(closeButtonPosition, contentFrame))) return false;
    return allowOffscreen || onScreen(contentFrame);
}

}  // namespace ads
