#pragma once
// One tappable row of an alert box: the action's title centred (bold for
// cancel, red for destructive), a hairline along its top edge (and its left
// edge when it sits beside another row), grey while a finger is down on it.
// Main thread only.

#include <string>

#include "ui/AlertAction.h"
#include "ui/Control.h"

namespace ui {

class AlertActionRow : public Control {
public:
    AlertActionRow(std::string title, AlertActionStyle style, size_t index);

    [[nodiscard]] const std::string& title() const { return title_; }
    [[nodiscard]] AlertActionStyle style() const { return style_; }
    // The action's index in the alert's actions (rows may be reordered).
    [[nodiscard]] size_t index() const { return index_; }
    void setDrawsLeftHairline(bool draws) { leftHairline_ = draws; }

    void setHighlighted(bool highlighted) override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    std::string title_;
    AlertActionStyle style_;
    size_t index_;
    bool leftHairline_ = false;
};

}  // namespace ui
