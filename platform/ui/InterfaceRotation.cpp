// Application: turning the interface, and the orientations the app allows.

#include <array>
#include <string_view>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ui {

unsigned long Application::infoSupportedInterfaceOrientations() {
    static constexpr std::array<std::string_view, 4> kNames{
        "UIInterfaceOrientationPortrait", "UIInterfaceOrientationPortraitUpsideDown",
        "UIInterfaceOrientationLandscapeRight", "UIInterfaceOrientationLandscapeLeft"};
    const auto bundle = core::Bundle::main();
    if (!bundle) return 0;
    const core::Array* listed =
        bundle->infoDictionary()["UISupportedInterfaceOrientations"].array();
    if (!listed) return 0;
    unsigned long mask = 0;
    for (const core::Value& name : *listed) {
        const std::string* text = name.string();
        if (!text) continue;
        for (size_t index = 0; index < kNames.size(); ++index) {
            if (*text == kNames[index]) mask |= orientationMask(static_cast<long>(index) + 1);
        }
    }
    return mask;
}

void Application::rotateInterface(long orientation) {
    const DeviceProfile& before = DeviceProfile::current();
    const long from = before.interfaceOrientation;
    if (!isValidOrientation(orientation) || orientation == from) return;
    const gfx::Rect oldScreen = before.screenBounds();

    const auto shownWindows = windows();
    std::vector<std::shared_ptr<ViewController>> controllers;
    for (const auto& window : shownWindows) {
        const auto shown = window->shownViewControllers();
        controllers.insert(controllers.end(), shown.begin(), shown.end());
    }
    for (const auto& controller : controllers) {
        controller->willRotateToInterfaceOrientation(orientation,
                                                     kStatusBarOrientationAnimationDuration);
    }
    DeviceProfile::setInterfaceOrientation(orientation);
    const gfx::Size screen = DeviceProfile::current().screenSize;
    for (const auto& window : shownWindows) {
        if (window->frame() == oldScreen) window->transitionToSize(screen);
    }
    core::NotificationCenter::defaultCenter().post(
        DeviceProfile::StatusBarOrientationDidChangeNotification);
    for (const auto& controller : controllers) controller->didRotateFromInterfaceOrientation(from);
}

void Application::turnDevice(long orientation) {
    const auto window = keyWindow();
    const auto top = window ? window->topViewController() : nullptr;
    if (!top || !top->shouldAutorotate()) return;
    const unsigned long allowed = top->supportedInterfaceOrientations() &
                                  supportedInterfaceOrientationsForWindow(window.get());
    if (allowed & orientationMask(orientation)) rotateInterface(orientation);
}

void Application::enforceSupportedOrientation(const Window& window) {
    const auto top = window.topViewController();
    if (!top) return;
    const unsigned long allowed =
        top->supportedInterfaceOrientations() & supportedInterfaceOrientationsForWindow(&window);
    if (allowed == 0) {
        core::Console::log("Warning: " + top->description() +
                           " allows no orientation the application supports");
        return;
    }
    if (allowed & orientationMask(statusBarOrientation())) return;
    rotateInterface(firstOrientationInMask(allowed));
}

}  // namespace ui
