#pragma once
// A view that shows a blurred, tinted copy of what lies beneath it inside
// its frame, like frosted glass; the renderer takes the backdrop from what it
// has drawn so far. Its alpha fades the whole effect, so 0.5 shows half the
// blur over the sharp backdrop; at alpha 1 it is opaque. Content goes into
// contentView(), which fills the view above the effect. Made with
// std::make_shared. Main thread only.

#include <memory>

#include "gfx/Color.h"
#include "ui/View.h"

namespace ui {

enum class BlurEffectStyle { ExtraLight, Light, Dark };

class VisualEffectView : public View {
public:
    // The blur's standard deviation in points.
    static constexpr double kBlurRadius = 20;

    explicit VisualEffectView(BlurEffectStyle style);

    [[nodiscard]] BlurEffectStyle style() const { return style_; }
    [[nodiscard]] const std::shared_ptr<View>& contentView();
    // Painted under the blurred backdrop, so that the effect is opaque.
    [[nodiscard]] gfx::Color baseColor() const;
    // Painted over the blurred backdrop.
    [[nodiscard]] gfx::Color tintColor() const;

    void layoutSubviews() override;

private:
    BlurEffectStyle style_;
    std::shared_ptr<View> contentView_;
};

}  // namespace ui
