#pragma once
// A view that fills its bounds with a linear gradient between two points
// given in unit coordinates of the bounds (top centre to bottom centre by
// default). Colours without locations are spread evenly. It takes no
// touches. Made with std::make_shared. Main thread only.

#include <utility>
#include <vector>

#include "gfx/Color.h"
#include "gfx/LinearGradient.h"
#include "ui/View.h"

namespace ui {

class GradientView : public View {
public:
    explicit GradientView(gfx::Rect frame = {});

    [[nodiscard]] const std::vector<gfx::Color>& colors() const { return colors_; }
    void setColors(std::vector<gfx::Color> colors) {
        colors_ = std::move(colors);
        setNeedsDisplay();
    }
    [[nodiscard]] const std::vector<double>& locations() const { return locations_; }
    // Ignored unless there is one per colour.
    void setLocations(std::vector<double> locations) {
        locations_ = std::move(locations);
        setNeedsDisplay();
    }
    [[nodiscard]] gfx::Point startPoint() const { return start_; }
    void setStartPoint(gfx::Point unit) {
        start_ = unit;
        setNeedsDisplay();
    }
    [[nodiscard]] gfx::Point endPoint() const { return end_; }
    void setEndPoint(gfx::Point unit) {
        end_ = unit;
        setNeedsDisplay();
    }

    // The gradient in bounds coordinates.
    [[nodiscard]] gfx::LinearGradient gradient() const;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    std::vector<gfx::Color> colors_;
    std::vector<double> locations_;
    gfx::Point start_{0.5, 0};
    gfx::Point end_{0.5, 1};
};

}  // namespace ui
