#pragma once
// The bar at the top of the store's own screens (in-app browser, store
// page, composers): a light strip with a hairline border, a centred title
// and a button at either end. It is as tall as its frame; its content sits
// in the bottom kHeight points, so a screen may extend it under the status
// bar. Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "ui/View.h"

namespace ui {
class Button;
class Label;
}  // namespace ui

namespace store {

class SheetBar : public ui::View {
public:
    static constexpr double kHeight = 44;
    static constexpr double kButtonWidth = 60;
    static constexpr double kMargin = 8;

    enum class Side { Leading, Trailing };

    SheetBar();

    [[nodiscard]] const std::shared_ptr<ui::Label>& titleLabel() const { return title_; }
    void setTitle(std::string title);
    // A system button titled `title` at one end, calling `action` on a tap;
    // a second button on the same side replaces the first.
    std::shared_ptr<ui::Button> setButton(Side side, std::string title,
                                          std::function<void()> action);

    // Spans the top of `screen` down to kHeight below its safe area;
    // answers the bar's bottom edge, where the screen's content starts.
    double placeAtTopOf(const ui::View& screen);

    void layoutSubviews() override;

private:
    std::shared_ptr<ui::Label> title_;
    std::shared_ptr<ui::Button> leading_;
    std::shared_ptr<ui::Button> trailing_;
};

}  // namespace store
