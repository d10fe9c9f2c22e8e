#pragma once
// A screen presented modally with its own top bar (a grey band 64 points
// high holding the title and a "back" button) that slides in from the
// right and goes back the same way: through the back button, or by a pan
// to the right that is past 0.3 of its damped progress when released. It
// is its own transitioning delegate, with one PresentTransition for both
// ways and an InteractiveTransition handed out only while a pan drives the
// dismissal. Its title follows "LanguageChanged" notifications.
//
// Made with std::make_shared. Main thread only.

#include <memory>
#include <string>

#include "app/QZKit/InteractiveTransition.h"
#include "app/QZKit/PresentTransition.h"
#include "ui/TransitioningDelegate.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class Label;
}  // namespace ui

namespace app {

class QZSlideBackViewController : public ui::ViewController, public ui::TransitioningDelegate {
public:
    static constexpr double kNavBarHeight = 64;
    static constexpr double kBackButtonLeft = 15;
    static constexpr const char* kLanguageChangedNotification = "LanguageChanged";

    explicit QZSlideBackViewController(std::string titleLable = {});
    ~QZSlideBackViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // Shows titleLable in the bar and "back" on the button (once loaded).
    void refreshUI();
    void backAction();

    [[nodiscard]] std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForPresented(const std::shared_ptr<ui::ViewController>& presented,
                                    const std::shared_ptr<ui::ViewController>& presenting,
                                    const std::shared_ptr<ui::ViewController>& source) override;
    [[nodiscard]] std::shared_ptr<ui::AnimatedTransitioning>
    animationControllerForDismissed(const std::shared_ptr<ui::ViewController>& dismissed) override;
    [[nodiscard]] std::shared_ptr<ui::InteractiveTransitioning> interactionControllerForDismissal(
        const std::shared_ptr<ui::AnimatedTransitioning>& animator) override;

    [[nodiscard]] const std::shared_ptr<ui::Label>& navTitle() const { return navTitle_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& backButton() const { return backButton_; }
    [[nodiscard]] const std::string& titleLable() const { return titleLable_; }
    void setTitleLable(std::string title) { titleLable_ = std::move(title); }
    [[nodiscard]] const std::shared_ptr<ui::View>& navBar() const { return navBar_; }
    [[nodiscard]] const std::shared_ptr<InteractiveTransition>& interactiveTransition() const {
        return interactiveTransition_;
    }
    [[nodiscard]] const std::shared_ptr<PresentTransition>& pbTransition() const {
        return pbTransition_;
    }

private:
    void setUpNavBar();

    std::shared_ptr<ui::Label> navTitle_;
    std::shared_ptr<ui::Button> backButton_;
    std::string titleLable_;
    std::shared_ptr<ui::View> navBar_;
    std::shared_ptr<InteractiveTransition> interactiveTransition_;
    std::shared_ptr<PresentTransition> pbTransition_;
};

}  // namespace app
