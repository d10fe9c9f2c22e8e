// The desktop window's keys for page history: Alt with Left or Right, alone
// and not held down, steps back or forward in the screen shown.

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "display/DesktopWindow.h"
#include "ui/Application.h"
#include "ui/HistoryNavigating.h"
#include "ui/ViewController.h"
#include "ui/Window.h"
#include "web/HeadlessDisplay.h"

namespace {

class HistoryScreen : public ui::ViewController, public ui::HistoryNavigating {
public:
    std::vector<ui::HistoryStep> taken;

    bool canStepInHistory(ui::HistoryStep) const override { return true; }
    bool stepInHistory(ui::HistoryStep step) override {
        taken.push_back(step);
        return true;
    }
};

void pushKey(SDL_Keycode key, Uint16 modifiers, bool repeat = false) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

TEST(DesktopWindowKeysService, AltAndAnArrowStepInTheHistoryOfTheScreenShown) {
    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    // Under the browser presented, a screen with a history of its own too.
    const auto root = std::make_shared<HistoryScreen>();
    const auto browser = std::make_shared<HistoryScreen>();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 200, 200));
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->presentViewController(browser, false);
    auto desktop = display::DesktopWindow::create(window, "keys", &error);
    ASSERT_TRUE(desktop) << error;

    pushKey(SDLK_LEFT, KMOD_NONE);
    pushKey(SDLK_LEFT, KMOD_LALT);
    pushKey(SDLK_LEFT, KMOD_LALT, true);  // held down: one step
    pushKey(SDLK_LEFT, KMOD_LALT | KMOD_LCTRL);
    pushKey(SDLK_RIGHT, KMOD_LSHIFT | KMOD_RALT);
    pushKey(SDLK_RIGHT, KMOD_RALT);
    const auto started = std::chrono::steady_clock::now();
    const auto check = core::Timer::schedule(core::RunLoop::main(), 0.05, true, [&](core::Timer&) {
        if (browser->taken.size() >= 2 ||
            std::chrono::steady_clock::now() - started > std::chrono::seconds(20))
            ui::Application::shared().terminate();
    });
    desktop->run();
    check->invalidate();
    EXPECT_EQ(browser->taken,
              (std::vector<ui::HistoryStep>{ui::HistoryStep::Back, ui::HistoryStep::Forward}));
    EXPECT_TRUE(root->taken.empty());
    desktop.reset();
    ui::Application::shared().resetForTesting();
}

}  // namespace
