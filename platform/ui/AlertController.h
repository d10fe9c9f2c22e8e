#pragma once
// A modal alert (a centred box) or action sheet (a box at the bottom) over a
// dimmed screen, with a title, a message and one row per action. Tapping a
// row dismisses the alert, then calls the action's handler; only the first
// tap counts. An alert without actions is the app's toast: a small rounded
// box around its title, dismissed by code. Presented over the full screen,
// so the presenter stays shown and gets no appearance callbacks.
//
// On the pad idiom an action sheet carries a popover anchor (source view
// and rectangle) for the presenting code to set; on a phone it has none.
//
// Made with create(); main thread only.

#include <memory>
#include <string>
#include <vector>

#include "ui/AlertAction.h"
#include "ui/ViewController.h"

namespace ui {

class AlertView;
class PopoverPresentationController;

enum class AlertControllerStyle { Alert, ActionSheet };

class AlertController : public ViewController {
public:
    AlertController(std::string title, std::string message, AlertControllerStyle style);

    [[nodiscard]] static std::shared_ptr<AlertController> create(
        std::string title, std::string message = {},
        AlertControllerStyle style = AlertControllerStyle::Alert);

    [[nodiscard]] AlertControllerStyle preferredStyle() const { return style_; }
    [[nodiscard]] const std::string& message() const { return message_; }
    void setMessage(std::string message);
    void setTitle(std::string title) override;

    void addAction(AlertAction action);
    [[nodiscard]] const std::vector<AlertAction>& actions() const { return actions_; }

    // Does what a tap on the action's row does. When the alert is not
    // presented the handler runs at once.
    void selectAction(size_t index);

    // The anchor of an action sheet on the pad idiom (made on first call and
    // kept); nullptr for alerts and on other idioms.
    [[nodiscard]] std::shared_ptr<PopoverPresentationController> popoverPresentationController();

    // The view made by loadView (nullptr when a subclass made another);
    // loads it.
    [[nodiscard]] std::shared_ptr<AlertView> alertView();

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    void reloadContent();

    std::string message_;
    AlertControllerStyle style_;
    std::vector<AlertAction> actions_;
    bool selecting_ = false;
    std::shared_ptr<PopoverPresentationController> popover_;
};

}  // namespace ui
