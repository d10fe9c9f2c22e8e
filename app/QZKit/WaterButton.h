#pragma once
// A button with an image view over its whole area, kept the size of the
// button at every layout. `wImage` is a slot for callers; the button does
// not read it. Main thread only.

#include <memory>

#include "gfx/Image.h"
#include "ui/Button.h"

namespace ui {
class ImageView;
}

namespace app {

class WaterButton : public ui::Button {
public:
    // A button of `frame` carrying its image view.
    [[nodiscard]] static std::shared_ptr<WaterButton> create(gfx::Rect frame);

    void layoutSubviews() override;

    [[nodiscard]] const gfx::ImagePtr& wImage() const { return wImage_; }
    void setWImage(gfx::ImagePtr image) { wImage_ = std::move(image); }
    [[nodiscard]] const std::shared_ptr<ui::ImageView>& wImageView() const { return wImageView_; }

    explicit WaterButton(gfx::Rect frame) : ui::Button(frame) {}

private:
    gfx::ImagePtr wImage_;
    std::shared_ptr<ui::ImageView> wImageView_;
};

}  // namespace app
