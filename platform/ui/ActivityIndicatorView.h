#pragma once
// A spinner: twelve spokes around the centre, one brighter than the rest.
// While animating, the bright spoke follows the current clock, a turn a
// second, so successive renders show it turning; no timer runs, so an idle
// app still sleeps. With hidesWhenStopped (the default) the view is hidden
// whenever it is not animating, from creation on. Made with
// std::make_shared, sized for its style. Main thread only.

#include <optional>

#include "gfx/Color.h"
#include "ui/View.h"

namespace ui {

enum class ActivityIndicatorViewStyle { White, WhiteLarge, Gray };

class ActivityIndicatorView : public View {
public:
    static constexpr double kSize = 20;
    static constexpr double kLargeSize = 37;
    static constexpr int kSpokes = 12;

    explicit ActivityIndicatorView(
        ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);

    [[nodiscard]] ActivityIndicatorViewStyle style() const { return style_; }
    // Resizes the view to the style's size about its centre.
    void setStyle(ActivityIndicatorViewStyle style);
    // The spoke colour: the one set, else white for the white styles and
    // grey for Gray.
    [[nodiscard]] gfx::Color color() const;
    void setColor(std::optional<gfx::Color> color);

    void startAnimating();
    void stopAnimating();
    [[nodiscard]] bool isAnimating() const { return animating_; }
    [[nodiscard]] bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    // The brightest spoke (0 points up, counting clockwise): turning with
    // the clock while animating, 0 when stopped.
    [[nodiscard]] int leadingSpoke() const;

    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    [[nodiscard]] double styleSize() const;

    ActivityIndicatorViewStyle style_;
    std::optional<gfx::Color> color_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    double startTime_ = 0;
};

}  // namespace ui
