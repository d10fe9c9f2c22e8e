#pragma once
// A bar of items along the bottom of a screen: a light strip with a
// hairline on top, its items laid out left to right between edge margins,
// kItemSpacing apart, each as wide as its width (or its natural width) and
// as tall as the bar, at most kHeight at its top (a bar may reach under the
// screen's bottom inset); flexible spaces share what is left. Custom views keep
// their own size and are centred in their slot. Image and system items
// draw in the tint colour. Main thread only.

#include <memory>
#include <vector>

#include "gfx/Color.h"
#include "ui/BarButtonItem.h"
#include "ui/View.h"

namespace ui {

class Toolbar : public View {
public:
    static constexpr double kHeight = 44;
    static constexpr double kEdgeMargin = 12;
    static constexpr double kItemSpacing = 8;
    static constexpr gfx::Color kDefaultTintColor{0, 0.478, 1, 1};

    explicit Toolbar(gfx::Rect frame = {});

    [[nodiscard]] const std::vector<std::shared_ptr<BarButtonItem>>& items() const {
        return items_;
    }
    // Replaces the items (and their views) at once.
    void setItems(std::vector<std::shared_ptr<BarButtonItem>> items);

    [[nodiscard]] gfx::Color tintColor() const { return tint_; }
    void setTintColor(gfx::Color color);

    // The frame each item's slot gets in the last layout, in item order
    // (flexible spaces included).
    [[nodiscard]] const std::vector<gfx::Rect>& itemFrames() const { return frames_; }

    void layoutSubviews() override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    std::vector<std::shared_ptr<BarButtonItem>> items_;
    std::vector<std::shared_ptr<View>> itemViews_;
    std::vector<gfx::Rect> frames_;
    gfx::Color tint_ = kDefaultTintColor;
};

}  // namespace ui
