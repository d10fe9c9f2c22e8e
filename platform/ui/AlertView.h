#pragma once
// The root view of an alert controller: a full-screen dimming layer (black
// at 40%) holding the alert box, centred for an alert and 8 points above the
// bottom safe area for an action sheet. Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/AlertAction.h"
#include "ui/AlertController.h"
#include "ui/View.h"

namespace ui {

class AlertBoxView;

class AlertView : public View {
public:
    AlertView(gfx::Rect frame, AlertControllerStyle style);

    void setContent(std::string title, std::string message,
                    const std::vector<AlertAction>& actions);
    // Called with the action's index when its row is tapped.
    void setSelectionHandler(std::function<void(size_t index)> handler);
    [[nodiscard]] std::shared_ptr<AlertBoxView> box() const { return box_; }
    [[nodiscard]] AlertControllerStyle style() const { return style_; }

    void layoutSubviews() override;

private:
    AlertControllerStyle style_;
    std::shared_ptr<AlertBoxView> box_;
};

}  // namespace ui
