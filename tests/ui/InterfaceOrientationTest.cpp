#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "RecordingController.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"

using gfx::Rect;
using testsupport::EventLog;
using Events = std::vector<std::string>;

namespace {

// Puts the device profile in use before the test back afterwards.
class ProfileRestore {
public:
    ProfileRestore() : saved_(ui::DeviceProfile::current()) {}
    ~ProfileRestore() { ui::DeviceProfile::overrideForTesting(saved_); }
    ProfileRestore(const ProfileRestore&) = delete;
    ProfileRestore& operator=(const ProfileRestore&) = delete;

private:
    ui::DeviceProfile saved_;
};

// Logs the rotation callbacks with what it sees then, and allows the
// orientations it is given.
class TurningController : public testsupport::RecordingController {
public:
    TurningController(std::string name, std::shared_ptr<EventLog> log, unsigned long mask)
        : RecordingController(name, log), name_(std::move(name)), log_(std::move(log)),
          mask_(mask) {}

    [[nodiscard]] unsigned long supportedInterfaceOrientations() const override { return mask_; }
    [[nodiscard]] bool shouldAutorotate() const override { return autorotates; }
    void willRotateToInterfaceOrientation(long orientation, double duration) override {
        log_->add(name_ + " willRotate " + std::to_string(orientation) + " from " +
                  std::to_string(interfaceOrientation()) + " in " + std::to_string(duration));
    }
    void viewWillTransitionToSize(gfx::Size size) override {
        log_->add(name_ + " size " + std::to_string(static_cast<int>(size.width)) + "x" +
                  std::to_string(static_cast<int>(size.height)));
    }
    void didRotateFromInterfaceOrientation(long from) override {
        log_->add(name_ + " didRotate from " + std::to_string(from));
    }
    void viewWillAppear(bool animated) override {
        RecordingController::viewWillAppear(animated);
        flags("willAppear");
    }
    void viewDidAppear(bool animated) override {
        RecordingController::viewDidAppear(animated);
        flags("didAppear");
    }
    void viewWillDisappear(bool animated) override {
        RecordingController::viewWillDisappear(animated);
        flags("willDisappear");
    }
    void viewDidDisappear(bool animated) override {
        RecordingController::viewDidDisappear(animated);
        flags("didDisappear");
    }

    bool autorotates = true;
    std::vector<std::string> presentationFlags;

private:
    void flags(const std::string& moment) {
        presentationFlags.push_back(moment + (isBeingPresented() ? " presented" : "") +
                                    (isBeingDismissed() ? " dismissed" : ""));
    }

    std::string name_;
    std::shared_ptr<EventLog> log_;
    unsigned long mask_;
};

class OrientationsDelegate : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application&) override { return true; }
    std::optional<unsigned long>
    supportedInterfaceOrientationsForWindow(ui::Application&, const ui::Window*) override {
        return mask;
    }
    [[nodiscard]] std::shared_ptr<ui::Window> window() const override { return window_; }

    unsigned long mask = ui::kOrientationMaskAll;
    std::shared_ptr<ui::Window> window_;
};

class InterfaceOrientationTest : public testing::Test {
protected:
    ProfileRestore restore;
    testsupport::ManualClockScope clock;
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<TurningController> root =
        std::make_shared<TurningController>("R", log, ui::kOrientationMaskAllButUpsideDown);
    std::shared_ptr<OrientationsDelegate> delegate = std::make_shared<OrientationsDelegate>();
    testsupport::VisibleWindow window{root};
    ui::Application& application = ui::Application::shared();

    void SetUp() override {
        (void)application.launch(delegate);
        log->take();
    }
    std::shared_ptr<TurningController> turning(const std::string& name, unsigned long mask) {
        auto controller = std::make_shared<TurningController>(name, log, mask);
        (void)controller->view();
        return controller;
    }
    [[nodiscard]] long orientation() const { return application.statusBarOrientation(); }
};

TEST_F(InterfaceOrientationTest, RotationTurnsTheScreenAndTellsEveryShownController) {
    const auto child = turning("C", ui::kOrientationMaskAll);
    root->addChildViewController(child);
    const auto modal = turning("M", ui::kOrientationMaskAll);
    root->presentViewController(modal, false);
    log->take();
    int posted = 0;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        ui::DeviceProfile::StatusBarOrientationDidChangeNotification, nullptr, nullptr,
        [&](const core::Notification&) {
            ++posted;
            log->add("posted");
        });

    application.rotateInterface(ui::kOrientationLandscapeRight);
    EXPECT_EQ(log->take(),
              (Events{"R willRotate 3 from 1 in 0.300000", "C willRotate 3 from 1 in 0.300000",
                      "M willRotate 3 from 1 in 0.300000", "R size 667x375", "C size 667x375",
                      "M size 667x375", "posted", "R didRotate from 1", "C didRotate from 1",
                      "M didRotate from 1"}));
    EXPECT_EQ(orientation(), 3);
    EXPECT_EQ(ui::DeviceProfile::current().screenBounds(), Rect(0, 0, 667, 375));
    EXPECT_EQ(window->frame(), Rect(0, 0, 667, 375));
    EXPECT_EQ(root->view()->frame(), Rect(0, 0, 667, 375));
    EXPECT_EQ(modal->view()->frame(), Rect(0, 0, 667, 375));
    EXPECT_EQ(application.applicationFrame(), Rect(0, 20, 667, 355));

    application.rotateInterface(ui::kOrientationLandscapeLeft);
    EXPECT_EQ(ui::DeviceProfile::current().screenBounds(), Rect(0, 0, 667, 375))
        << "landscape to landscape keeps the bounds";
    application.rotateInterface(ui::kOrientationLandscapeLeft);
    application.rotateInterface(7);
    EXPECT_EQ(posted, 2) << "the same or an unknown orientation does nothing";
    core::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(InterfaceOrientationTest, PresentationsTurnToTheFirstOrientationTheTopControllerAllows) {
    const auto landscape = turning("L", ui::kOrientationMaskLandscape);
    root->presentViewController(landscape, false);
    EXPECT_EQ(orientation(), ui::kOrientationLandscapeRight) << "first allowed of mask 24";

    landscape->dismissViewController(false);
    EXPECT_EQ(orientation(), ui::kOrientationLandscapeRight) << "the root allows landscape";

    const auto left = turning("Left", ui::kOrientationMaskLandscapeLeft);
    root->presentViewController(left, true);
    EXPECT_EQ(orientation(), ui::kOrientationLandscapeRight) << "turns when the transition ends";
    clock.advance(0.3);
    EXPECT_EQ(orientation(), ui::kOrientationLandscapeLeft);
    left->dismissViewController(false);

    const auto portrait = turning("P", ui::kOrientationMaskPortrait);
    root->presentViewController(portrait, false);
    EXPECT_EQ(orientation(), ui::kOrientationPortrait);
    portrait->dismissViewController(false);

    // Nothing the application supports: left as it is, with a warning.
    delegate->mask = ui::kOrientationMaskPortrait;
    const core::Console::Capture console;
    root->presentViewController(turning("X", ui::kOrientationMaskLandscape), false);
    EXPECT_EQ(orientation(), ui::kOrientationPortrait);
    EXPECT_TRUE(console.contains("allows no orientation the application supports"));
}

TEST_F(InterfaceOrientationTest, TheDeviceTurnsTheInterfaceOnlyWhereAllowed) {
    application.turnDevice(ui::kOrientationPortraitUpsideDown);
    EXPECT_EQ(orientation(), ui::kOrientationPortrait) << "the root excludes upside down";
    root->autorotates = false;
    application.turnDevice(ui::kOrientationLandscapeLeft);
    EXPECT_EQ(orientation(), ui::kOrientationPortrait);
    root->autorotates = true;
    delegate->mask = ui::kOrientationMaskPortrait;
    application.turnDevice(ui::kOrientationLandscapeLeft);
    EXPECT_EQ(orientation(), ui::kOrientationPortrait) << "the application excludes it";
    delegate->mask = ui::kOrientationMaskAll;
    application.turnDevice(ui::kOrientationLandscapeLeft);
    EXPECT_EQ(orientation(), ui::kOrientationLandscapeLeft);
}

TEST_F(InterfaceOrientationTest, BeingPresentedAndDismissedHoldDuringTheAppearanceCallbacks) {
    const auto modal = turning("M", ui::kOrientationMaskAll);
    EXPECT_EQ(modal->modalTransitionStyle(), ui::ModalTransitionStyle::CoverVertical);
    root->presentViewController(modal, true);
    clock.advance(0.3);
    EXPECT_FALSE(modal->isBeingPresented());
    modal->dismissViewController(true);
    clock.advance(0.3);
    EXPECT_FALSE(modal->isBeingDismissed());
    EXPECT_EQ(modal->presentationFlags,
              (Events{"willAppear presented", "didAppear presented", "willDisappear dismissed",
                      "didDisappear dismissed"}));
    EXPECT_EQ(root->presentationFlags, (Events{"willAppear", "didAppear", "willDisappear",
                                               "didDisappear", "willAppear", "didAppear"}));
}

TEST_F(InterfaceOrientationTest, ApplicationFacts) {
    EXPECT_EQ(application.applicationFrame(), Rect(0, 20, 375, 647));
    application.setStatusBarHidden(true);
    EXPECT_TRUE(application.isStatusBarHidden());
    EXPECT_EQ(application.statusBarHeight(), 0);
    EXPECT_EQ(application.applicationFrame(), Rect(0, 0, 375, 667));

    EXPECT_FALSE(application.isIdleTimerDisabled());
    application.setIdleTimerDisabled(true);
    EXPECT_TRUE(application.isIdleTimerDisabled());
    EXPECT_EQ(application.statusBarOrientationAnimationDuration(), 0.3);

    EXPECT_EQ(application.mainWindow(), window.get()) << "the key window without a delegate's";
    EXPECT_FALSE(application.isSplitScreen());
    window->transitionToSize({320, 667});
    EXPECT_EQ(log->take(), Events{"R size 320x667"});
    EXPECT_EQ(root->view()->frame(), Rect(0, 0, 320, 667));
    EXPECT_TRUE(application.isSplitScreen());

    delegate->window_ = std::make_shared<ui::Window>();
    EXPECT_EQ(application.mainWindow(), delegate->window_);

    application.resetForTesting();
    EXPECT_FALSE(application.isStatusBarHidden());
    EXPECT_FALSE(application.isIdleTimerDisabled());
}

TEST(InfoOrientationsTest, TheApplicationsOrientationsComeFromInfoJSON) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("vantor-info-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Info.json") << R"({"UISupportedInterfaceOrientations": [
        "UIInterfaceOrientationPortrait", "UIInterfaceOrientationLandscapeLeft", "Sideways", 3]})";
    const char* previous = std::getenv("VANTOR_RESOURCES");
    const std::string saved = previous ? previous : "";
    setenv("VANTOR_RESOURCES", folder.c_str(), 1);
    ui::Application& application = ui::Application::shared();
    const unsigned long listed = ui::Application::infoSupportedInterfaceOrientations();
    const unsigned long forWindow = application.supportedInterfaceOrientationsForWindow(nullptr);
    std::ofstream(folder / "Info.json") << "{}";
    setenv("VANTOR_RESOURCES", "/nonexistent-vantor-resources", 1);
    const unsigned long without = application.supportedInterfaceOrientationsForWindow(nullptr);
    if (previous) {
        setenv("VANTOR_RESOURCES", saved.c_str(), 1);
    } else {
        unsetenv("VANTOR_RESOURCES");
    }
    std::filesystem::remove_all(folder);

    EXPECT_EQ(listed, ui::kOrientationMaskPortrait | ui::kOrientationMaskLandscapeLeft);
    EXPECT_EQ(forWindow, listed);
    EXPECT_EQ(without, ui::kOrientationMaskPortrait);
}

}  // namespace
