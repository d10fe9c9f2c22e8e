#include "app/services/Common.h"

#include "core/Queue.h"
#include "ui/AlertController.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace app {

namespace {
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

}  // namespace app

