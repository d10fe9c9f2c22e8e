#pragma once
// The share sheet, presented modally over the screen: a panel with a
// preview of the first image and the activities the presenter has not
// excluded, and a "Cancel" button that dismisses it. When it first appears
// it leaves its items and the excluded types in the share outbox
// (ShareOutbox), written on a serial queue of its own; a failed write is
// a console line. On the pad idiom it carries a popover anchor for the
// presenter to set; while the anchor is in a window the sheet is a popover
// kPopoverWidth wide next to it, the panel above the Cancel button, with an
// arrow pointing at the anchor, over the undimmed screen.
//
// In the desktop window the sheet offers only what the desktop can do with
// its items: Mail, which a tap hands to the desktop's mail client (the
// images as PNG attachments, the texts as the body; DesktopMailClient). A
// desktop has no service for text messages, nor for the other types. Once
// the client took the mail the sheet dismisses itself; when it did not, the
// reason goes to the console and the sheet stays. One activity runs at a
// time: taps while one runs do nothing. Elsewhere (headless runs, tests) the
// sheet offers every type not excluded, a tap does nothing, and the outbox
// is the record of the share. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/ActivityItem.h"
#include "store/ActivityType.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class Control;
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

    // Heard when an activity the person chose has ended: whether it was
    // done, else the reason.
    using CompletionHandler = std::function<void(const ActivityType& type, bool completed,
                                                 const std::optional<std::string>& error)>;

    [[nodiscard]] static std::shared_ptr<ActivityViewController>
    create(std::vector<ActivityItem> items);
    // Whether sheets stand in the desktop window (the tool says so).
    [[nodiscard]] static bool performsOnDesktop();
    static void setPerformsOnDesktop(bool performs);
    // The types a sheet can do in the desktop window, in the sheet's order.
    [[nodiscard]] static const std::vector<ActivityType>& desktopActivityTypes();

    ActivityViewController(Token, std::vector<ActivityItem> items);

    [[nodiscard]] const std::vector<ActivityItem>& activityItems() const { return items_; }
    [[nodiscard]] const std::vector<ActivityType>& excludedActivityTypes() const {
        return excluded_;
    }
    // Set before the sheet is shown.
    void setExcludedActivityTypes(std::vector<ActivityType> types) { excluded_ = std::move(types); }
    // The known types not excluded, in the sheet's order; in the desktop
    // window only those it can do.
    [[nodiscard]] std::vector<ActivityType> availableActivityTypes() const;
    void setCompletionHandler(CompletionHandler handler) { completion_ = std::move(handler); }
    // What a tap on the type's icon does.
    void performActivity(const ActivityType& type);
    // Whether an activity the person chose is under way.
    [[nodiscard]] bool isPerformingActivity() const { return performing_; }

    // Made on first call on the pad idiom and kept; nullptr elsewhere.
    [[nodiscard]] std::shared_ptr<ui::PopoverPresentationController>
    popoverPresentationController();

    // Valid once the view is loaded.
    [[nodiscard]] const std::shared_ptr<ui::View>& panel() const { return panel_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& cancelButton() const { return cancel_; }
    // One per available type, in that order.
    [[nodiscard]] const std::vector<std::shared_ptr<ui::Control>>& activityViews() const {
        return activityViews_;
    }
    // The popover's arrow while the sheet is shown as a popover, else nullptr.
    [[nodiscard]] std::shared_ptr<ui::PopoverArrowView> arrow() const;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

private:
    void addActivityViews();
    void writeOutbox();
    void handToMailClient();
    void activityEnded(const ActivityType& type, const std::optional<std::string>& error);

    std::vector<ActivityItem> items_;
    std::vector<ActivityType> excluded_;
    std::shared_ptr<ui::PopoverPresentationController> popover_;
    std::shared_ptr<ui::View> panel_;
    std::shared_ptr<ui::ImageView> preview_;
    std::vector<std::shared_ptr<ui::Control>> activityViews_;
    std::shared_ptr<ui::PopoverArrowView> arrow_;
    std::shared_ptr<ui::Button> cancel_;
    bool written_ = false;
    bool performing_ = false;
    CompletionHandler completion_;
};

}  // namespace store
