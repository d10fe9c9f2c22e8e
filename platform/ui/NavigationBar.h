#pragma once
// The bar a navigation controller lays over the top of its content, below
// the status bar: a light translucent strip with a hairline at its bottom and
// the top controller's title centred in 17-point semibold. The title is read
// from the title source each time it is drawn, so it follows title changes.
// Main thread only.

#include <functional>
#include <string>

#include "ui/View.h"

namespace ui {

class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;

    using TitleSource = std::function<std::string()>;

    explicit NavigationBar(gfx::Rect frame = {});

    void setTitleSource(TitleSource source) {
        titleSource_ = std::move(source);
        setNeedsDisplay();
    }
    [[nodiscard]] std::string title() const {
        return titleSource_ ? titleSource_() : std::string();
    }

    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    TitleSource titleSource_;
};

}  // namespace ui
