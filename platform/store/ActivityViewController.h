#pragma once
// The share sheet, presented modally over the screen: a panel with a
// preview of the first image and the activities the presenter has not
// excluded, and a "Cancel" button that dismisses it. When it first appears
// it leaves its items and the excluded types in the share outbox
// (ShareOutbox), written on a serial queue of its own; a failed write is
// a console line. On the pad idiom it carries a popover anchor for the
// presenter to set; while the anchor is in a window the sheet is a popover
// kPopoverWidth wide next to it, the panel above the Cancel button, with an
// arrow pointing at the anchor, over the undimmed screen. Main thread only.

#include <memory>
#include <vector>

#include "store/ActivityItem.h"
#include "store/ActivityType.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class ImageView;
class PopoverArrowView;
class PopoverPresentationController;
}  // namespace ui

namespace store {

class ActivityViewController : public ui::ViewController {
    struct Token {};

public:
    static constexpr double kMargin = 8;
    static constexpr double kCancelHeight = 57;
    static constexpr double kPopoverWidth = 320;
    static constexpr double kPreviewHeight = 120;
    static constexpr double kActivityWidth = 76;
    static constexpr double kActivityHeight = 84;

    [[nodiscard]] static std::shared_ptr<ActivityViewController>
    create(std::vector<ActivityItem> items);
    ActivityViewController(Token, std::vector<ActivityItem> items);

    [[nodiscard]] const std::vector<ActivityItem>& activityItems() const { return items_; }
    [[nodiscard]] const std::vector<ActivityType>& excludedActivityTypes() const {
        return excluded_;
    }
    // Set before the sheet is shown.
    void setExcludedActivityTypes(std::vector<ActivityType> types) { excluded_ = std::move(types); }
    // The known types not excluded, in the sheet's order.
    [[nodiscard]] std::vector<ActivityType> availableActivityTypes() const;

    // Made on first call on the pad idiom and kept; nullptr elsewhere.
    [[nodiscard]] std::shared_ptr<ui::PopoverPresentationController>
    popoverPresentationController();

    // Valid once the view is loaded.
    [[nodiscard]] const std::shared_ptr<ui::View>& panel() const { return panel_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& cancelButton() const { return cancel_; }
    // The popover's arrow while the sheet is shown as a popover, else nullptr.
    [[nodiscard]] std::shared_ptr<ui::PopoverArrowView> arrow() const;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

private:
    void addActivityViews();
    void writeOutbox();

    std::vector<ActivityItem> items_;
    std::vector<ActivityType> excluded_;
    std::shared_ptr<ui::PopoverPresentationController> popover_;
    std::shared_ptr<ui::View> panel_;
    std::shared_ptr<ui::ImageView> preview_;
    std::vector<std::shared_ptr<ui::View>> activityViews_;
    std::shared_ptr<ui::PopoverArrowView> arrow_;
    std::shared_ptr<ui::Button> cancel_;
    bool written_ = false;
};

}  // namespace store
