#pragma once
// The root view of an alert controller: a full-screen dimming layer (black
// at 40%) holding the alert box, centred for an alert and 8 points above the
// bottom safe area for an action sheet. An action sheet with a popover
// anchor in a window (the pad idiom) is a popover instead: the box,
// kPopoverWidth wide, next to its anchor with an arrow pointing at it, over
// the undimmed screen. Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/AlertAction.h"
#include "ui/AlertController.h"
#include "ui/View.h"

namespace ui {

class AlertBoxView;
class PopoverArrowView;
class PopoverPresentationController;

class AlertView : public View {
public:
    static constexpr double kPopoverWidth = 304;

    AlertView(gfx::Rect frame, AlertControllerStyle style);

    void setContent(std::string title, std::string message,
                    const std::vector<AlertAction>& actions);
    // Called with the action's index when its row is tapped.
    void setSelectionHandler(std::function<void(size_t index)> handler);
    [[nodiscard]] std::shared_ptr<AlertBoxView> box() const { return box_; }
    // The anchor an action sheet is shown at as a popover, while it has one.
    void setPopover(std::shared_ptr<PopoverPresentationController> popover);
    // The popover's arrow while the sheet is shown as a popover, else nullptr.
    [[nodiscard]] std::shared_ptr<PopoverArrowView> arrow() const;
    [[nodiscard]] AlertControllerStyle style() const { return style_; }

    void layoutSubviews() override;

private:
    // True when laid out as a popover.
    bool layoutAsPopover();

    AlertControllerStyle style_;
    std::shared_ptr<AlertBoxView> box_;
    std::shared_ptr<PopoverPresentationController> popover_;
    std::shared_ptr<PopoverArrowView> arrow_;
};

}  // namespace ui
