#pragma once
// The base of the SDK's full-screen controllers. A controller joins its
// slot's intermission while on screen, presents itself through an overlay
// presenter (the modal one unless another is set), gives the screen back,
// and records the landing-page dismissal time in the slot's ad's
// statistics when it is freed.
//
// While on screen the controller keeps itself alive (retainCycle), so that
// it outlives its creator's references; giving the screen back drops that.
// A presentation that does not go ahead (no presenting controller, presenter
// not ready, the platform refusing) leaves nothing behind: no intermission,
// no self-reference, user interaction as it was.
//
// Each relinquishScreenWithCompletion is also recorded in DZCallLog
// ("DZViewController.relinquishScreenWithCompletion:") and counted. Main
// thread.

#include <functional>
#include <memory>

#include "ads/presentation/fullscreen/DZIntermitting.h"
#include "ui/ViewController.h"

namespace ads {

class DZIntermission;
class DZOverlayPresenting;
class DZSlot;

class DZViewController : public ui::ViewController, public DZIntermitting {
public:
    static constexpr const char* kNoPresentingControllerMessage =
        "No UIViewController supplied to the ad. Cannot continue.";
    static constexpr unsigned long kDefaultSupportedOrientations = 30;

    DZViewController();
    ~DZViewController() override;

    [[nodiscard]] std::shared_ptr<DZIntermission> intermission() const override {
        return intermission_;
    }
    [[nodiscard]] unsigned long supportedInterfaceOrientations() const override {
        return supportedInterfaceOrientations_;
    }
    void setSupportedInterfaceOrientations(unsigned long mask) {
        supportedInterfaceOrientations_ = mask;
    }
    // A mask of 0 is ignored.
    void setSupportedOrientations(unsigned long mask);

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    virtual void setSlot(const std::shared_ptr<DZSlot>& slot) { slot_ = slot; }
    [[nodiscard]] const std::shared_ptr<DZOverlayPresenting>& presenter() const {
        return presenter_;
    }
    // Also makes this controller the presenter's presented controller.
    void setPresenter(std::shared_ptr<DZOverlayPresenting> presenter);
    [[nodiscard]] bool retainsItself() const { return retainCycle_ != nullptr; }
    void setDismissalCompletion(std::function<void()> completion) {
        dismissalCompletion_ = std::move(completion);
    }
    [[nodiscard]] bool hasDismissalCompletion() const { return bool(dismissalCompletion_); }
    [[nodiscard]] const std::function<void()>& dismissalCompletion() const {
        return dismissalCompletion_;
    }

    // Forwarded to the presenter's presentation controller when that is
    // another controller (a transparent overlay presents nothing itself).
    bool presentViewController(const std::shared_ptr<ui::ViewController>& controller,
                               bool animated, std::function<void()> completion = {}) override;
    void dismissViewController(bool animated, std::function<void()> completion = {}) override;

    void addToCurrentIntermission();
    bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion) override;
    void relinquishScreenWithCompletion(std::function<void()> completion) override;
    [[nodiscard]] bool shouldDismissOnApplicationEnteringForeground() override { return true; }
    virtual void finishAppearing();
    virtual void finishDismissal();
    // Subclasses react to a forced or changed orientation.
    virtual void viewChangedToOrientation(long /*orientation*/) {}
    void recordDismissal();

    [[nodiscard]] bool prefersStatusBarHidden() const override { return true; }
    [[nodiscard]] bool shouldAutorotate() const override { return true; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    [[nodiscard]] int relinquishCount() const { return relinquishCount_; }

protected:
    [[nodiscard]] std::shared_ptr<DZViewController> sharedSelf() {
        return std::static_pointer_cast<DZViewController>(shared_from_this());
    }

private:
    void finishDismissalOnce();

    std::shared_ptr<DZIntermission> intermission_;
    unsigned long supportedInterfaceOrientations_ = kDefaultSupportedOrientations;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZViewController> retainCycle_;
    std::shared_ptr<DZOverlayPresenting> presenter_;
    std::function<void()> dismissalCompletion_;
    int relinquishCount_ = 0;
    // A dismissal has started and finishDismissal has not run for it yet.
    bool dismissalPending_ = false;
};

}  // namespace ads
