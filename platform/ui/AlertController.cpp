#include "ui/AlertController.h"

#include <utility>

#include "ui/AlertView.h"
#include "ui/DeviceProfile.h"
#include "ui/PopoverPresentationController.h"

namespace ui {

AlertController::AlertController(std::string title, std::string message, AlertControllerStyle style)
    : message_(std::move(message)), style_(style) {
    ViewController::setTitle(std::move(title));
    setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
}

std::shared_ptr<AlertController> AlertController::create(std::string title, std::string message,
                                                         AlertControllerStyle style) {
    return std::make_shared<AlertController>(std::move(title), std::move(message), style);
}

void AlertController::setMessage(std::string message) {
    message_ = std::move(message);
    reloadContent();
}

void AlertController::setTitle(std::string title) {
    ViewController::setTitle(std::move(title));
    reloadContent();
}

void AlertController::addAction(AlertAction action) {
    actions_.push_back(std::move(action));
    reloadContent();
}

void AlertController::selectAction(size_t index) {
    if (selecting_ || index >= actions_.size()) return;
    selecting_ = true;
    const AlertAction action = actions_[index];
    const auto runHandler = [action] {
        if (action.handler) action.handler(action);
    };
    if (presentingViewController()) {
        dismissViewController(true, runHandler);
    } else {
        runHandler();
    }
}

std::shared_ptr<PopoverPresentationController> AlertController::popoverPresentationController() {
    if (style_ != AlertControllerStyle::ActionSheet ||
        DeviceProfile::current().idiom != UserInterfaceIdiom::Pad)
        return nullptr;
    if (!popover_) popover_ = std::make_shared<PopoverPresentationController>();
    return popover_;
}

std::shared_ptr<AlertView> AlertController::alertView() {
    return std::dynamic_pointer_cast<AlertView>(view());
}

void AlertController::loadView() {
    auto view = std::make_shared<AlertView>(DeviceProfile::current().screenBounds(), style_);
    const std::weak_ptr<AlertController> weak =
        std::static_pointer_cast<AlertController>(shared_from_this());
    view->setSelectionHandler([weak](size_t index) {
        if (const auto self = weak.lock()) self->selectAction(index);
    });
    view->setPopover(popoverPresentationController());
    setView(std::move(view));
    reloadContent();
}

void AlertController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    selecting_ = false;
}

void AlertController::reloadContent() {
    if (!isViewLoaded()) return;
    if (const auto view = alertView()) view->setContent(title(), message_, actions_);
}

}  // namespace ui
