#include "app/services/Common.h"

#include <deque>

#include "core/Queue.h"
#include "ui/AlertController.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace app {

namespace {
constexpr double kToastRetrySeconds = 0.1;

struct WaitingToast {
    std::string message;
    std::weak_ptr<ui::ViewController> controller;
    double delay = 0;
};

// Main queue only.
std::deque<WaitingToast>& waitingToasts() {
    static auto* toasts = new std::deque<WaitingToast>();
    return *toasts;
}

// The screen that would present: the controller or its outermost parent.
bool isPresenting(const std::shared_ptr<ui::ViewController>& controller) {
    std::shared_ptr<ui::ViewController> presenter = controller;
    while (const auto parent = presenter->parentViewController()) presenter = parent;
    return presenter->presentedViewController() != nullptr;
}

void showWaitingToasts() {
    auto& toasts = waitingToasts();
    while (!toasts.empty()) {
        const auto controller = toasts.front().controller.lock();
        if (!controller) {
            toasts.pop_front();
            continue;
        }
        if (isPresenting(controller)) {
            core::Queue::main()->after(kToastRetrySeconds, showWaitingToasts);
            return;
        }
        const WaitingToast toast = std::move(toasts.front());
        toasts.pop_front();
        showToast(toast.message, controller, toast.delay);
    }
}

gfx::EdgeInsets firstWindowInsets() {
    const auto windows = ui::Application::shared().windows();
    if (windows.empty()) return {};
    return windows.front()->safeAreaInsets();
}
}  // namespace

double CommonValues::safeAreaBottomInset() {
    static const double inset = firstWindowInsets().bottom;
    return inset;
}

double CommonValues::safeAreaTopInset() {
    static const double inset = firstWindowInsets().top;
    return inset;
}

double CommonValues::statusBarHeight() {
    static const double height = ui::Application::shared().statusBarHeight();
    return height;
}

bool CommonValues::isIPhoneX() {
    static const bool isX = safeAreaBottomInset() > 0.0;
    return isX;
}

Common& Common::shared() {
    static Common* common = new Common();
    return *common;
}

void Common::commonToast(const std::shared_ptr<ui::ViewController>& controller,
                         const std::string& message, double delay) {
    showToast(message, controller, delay);
}

void showToast(const std::string& message, const std::shared_ptr<ui::ViewController>& controller,
               double delay) {
    if (!controller) return;
    auto alert = ui::AlertController::create(message, "", ui::AlertControllerStyle::Alert);
    controller->presentViewController(alert, true);
    core::Queue::main()->after(delay, [alert] { alert->dismissViewController(true); });
}

void showToastWhenFree(const std::string& message,
                       const std::shared_ptr<ui::ViewController>& controller, double delay) {
    if (!controller) return;
    waitingToasts().push_back({message, controller, delay});
    showWaitingToasts();
}

}  // namespace app

