#include "ui/Application.h"

#include <algorithm>

#include "core/Fatal.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"
#include "ui/NavigationController.h"
#include "ui/Window.h"

namespace ui {

namespace {

void post(const char* name, const Application& application) {
    core::NotificationCenter::defaultCenter().post(name, &application);
}

}  // namespace

Application& Application::shared() {
    static Application* const application = new Application;
    return *application;
}

bool Application::launch(std::shared_ptr<ApplicationDelegate> delegate) {
    if (launched_) core::fatal("Application::launch called twice");
    if (!delegate) core::fatal("Application::launch needs a delegate");
    launched_ = true;
    delegate_ = std::move(delegate);
    const auto keep = delegate_;
    const bool launched = keep->didFinishLaunching(*this);
    post(DidFinishLaunchingNotification, *this);
    becomeActive();
    return launched;
}

void Application::resignActive() {
    if (state_ != ApplicationState::Active) return;
    if (const auto delegate = delegate_) delegate->willResignActive(*this);
    state_ = ApplicationState::Inactive;
    post(WillResignActiveNotification, *this);
}

void Application::enterBackground() {
    resignActive();
    if (state_ == ApplicationState::Background) return;
    state_ = ApplicationState::Background;
    startBackgroundTime();
    if (const auto delegate = delegate_) delegate->didEnterBackground(*this);
    post(DidEnterBackgroundNotification, *this);
}

void Application::enterForeground() {
    if (state_ != ApplicationState::Background) return;
    stopBackgroundTime();
    if (const auto delegate = delegate_) delegate->willEnterForeground(*this);
    state_ = ApplicationState::Inactive;
    post(WillEnterForegroundNotification, *this);
}

void Application::becomeActive() {
    enterForeground();
    if (state_ == ApplicationState::Active) return;
    state_ = ApplicationState::Active;
    if (const auto delegate = delegate_) delegate->didBecomeActive(*this);
    post(DidBecomeActiveNotification, *this);
}

void Application::terminate() {
    if (const auto delegate = delegate_) delegate->willTerminate(*this);
    post(WillTerminateNotification, *this);
    core::RunLoop::main().stop();
}

BackgroundTaskIdentifier Application::beginBackgroundTask(std::function<void()> expirationHandler) {
    const BackgroundTaskIdentifier identifier = ++lastBackgroundTask_;
    backgroundTasks_.emplace(identifier, std::move(expirationHandler));
    return identifier;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
    backgroundTasks_.erase(identifier);
}

void Application::expireBackgroundTasks() {
    stopBackgroundTime();
    // Handlers may begin or end tasks; only those held now expire.
    std::vector<BackgroundTaskIdentifier> held;
    for (const auto& [identifier, handler] : backgroundTasks_) held.push_back(identifier);
    for (const BackgroundTaskIdentifier identifier : held) {
        const auto task = backgroundTasks_.find(identifier);
        if (task == backgroundTasks_.end()) continue;
        const std::function<void()> handler = std::move(task->second);
        backgroundTasks_.erase(task);
        if (handler) handler();
    }
}

void Application::startBackgroundTime() {
    stopBackgroundTime();
    backgroundTimeLimit_ =
        core::Timer::schedule(core::RunLoop::main(), kBackgroundTimeAllowance, false,
                              [this](core::Timer&) { expireBackgroundTasks(); });
}

void Application::stopBackgroundTime() {
    if (backgroundTimeLimit_) backgroundTimeLimit_->invalidate();
    backgroundTimeLimit_.reset();
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> alive;
    for (const auto& window : windows_) {
        if (auto strong = window.lock()) alive.push_back(std::move(strong));
    }
    return alive;
}

void Application::registerWindow(const std::shared_ptr<Window>& window) {
    if (!window) return;
    std::erase_if(windows_, [](const auto& w) { return w.expired(); });
    const bool known = std::any_of(windows_.begin(), windows_.end(),
                                   [&window](const auto& w) { return w.lock() == window; });
    if (!known) windows_.push_back(window);
}

void Application::makeKeyWindow(const std::shared_ptr<Window>& window) {
    registerWindow(window);
    keyWindow_ = window;
}

std::shared_ptr<Window> Application::mainWindow() const {
    if (delegate_) {
        if (auto window = delegate_->window()) return window;
    }
    return keyWindow();
}

bool Application::isSplitScreen() const {
    const auto window = mainWindow();
    return window && window->bounds().size != DeviceProfile::current().screenSize;
}

double Application::statusBarHeight() const {
    // A hidden status bar has no height: the flag, or the controller shown
    // on top of the key window, hides it.
    if (statusBarHidden_) return 0;
    if (const auto window = keyWindow()) {
        auto shown = window->topViewController();
        if (const auto navigation = std::dynamic_pointer_cast<NavigationController>(shown)) {
            if (auto top = navigation->topViewController()) shown = top;
        }
        if (shown && shown->prefersStatusBarHidden()) return 0;
    }
    return DeviceProfile::current().statusBarHeight;
}

void Application::setStatusBarHidden(bool hidden) {
    if (hidden == statusBarHidden_) return;
    statusBarHidden_ = hidden;
    // Top layout guides follow the bar.
    for (const auto& window : windows()) {
        for (const auto& controller : window->shownViewControllers()) {
            if (controller->isViewLoaded()) controller->view()->setNeedsLayout();
        }
    }
}

gfx::Rect Application::applicationFrame() const {
    const gfx::Rect screen = DeviceProfile::current().screenBounds();
    const double bar = statusBarHeight();
    return {screen.minX(), screen.minY() + bar, screen.width(), screen.height() - bar};
}

long Application::statusBarOrientation() const {
    return DeviceProfile::current().interfaceOrientation;
}

unsigned long Application::supportedInterfaceOrientationsForWindow(const Window* window) {
    if (const auto delegate = delegate_) {
        if (const auto mask = delegate->supportedInterfaceOrientationsForWindow(*this, window))
            return *mask;
    }
    const unsigned long listed = infoSupportedInterfaceOrientations();
    return listed != 0 ? listed : kOrientationMaskPortrait;
}

void Application::resetForTesting() {
    delegate_.reset();
    state_ = ApplicationState::Inactive;
    launched_ = false;
    windows_.clear();
    keyWindow_.reset();
    stopBackgroundTime();
    backgroundTasks_.clear();
    statusBarHidden_ = false;
    idleTimerDisabled_ = false;
}

int ApplicationMain(int, char**,
                    const std::function<std::shared_ptr<ApplicationDelegate>()>& makeDelegate) {
    core::RunLoop::bindMainToCurrentThread();
    (void)Application::shared().launch(makeDelegate());
    core::RunLoop::main().run();
    return 0;
}

}  // namespace ui
