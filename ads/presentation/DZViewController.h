#pragma once
// The base of the SDK's full-screen controllers. Full-screen presentation is
// not built yet: what the SDK needs of it now is the presenter a controller
// is shown with (none: the default modal one) and giving the screen back,
// which is recorded in DZCallLog ("DZViewController.relinquishScreenWithCompletion:")
// and counted; the completion, when given, runs at once. Main thread.

#include <cstdint>
#include <functional>
#include <memory>

#include "ui/ViewController.h"

namespace ads {

class DZOverlayPresenting;
class DZSlot;

class DZViewController : public ui::ViewController {
public:
    virtual void relinquishScreenWithCompletion(std::function<void()> completion);
    [[nodiscard]] int relinquishCount() const { return relinquishCount_; }

    [[nodiscard]] const std::shared_ptr<DZOverlayPresenting>& presenter() const {
        return presenter_;
    }
    void setPresenter(std::shared_ptr<DZOverlayPresenting> presenter) {
        presenter_ = std::move(presenter);
    }

    // The slot whose ad the controller shows, held weakly.
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }
    // The interface orientations the controller allows (a mask).
    [[nodiscard]] std::uint64_t supportedOrientations() const { return supportedOrientations_; }
    void setSupportedOrientations(std::uint64_t mask) { supportedOrientations_ = mask; }
    // Runs once the controller has left the screen.
    [[nodiscard]] const std::function<void()>& dismissalCompletion() const {
        return dismissalCompletion_;
    }
    void setDismissalCompletion(std::function<void()> completion) {
        dismissalCompletion_ = std::move(completion);
    }

private:
    std::shared_ptr<DZOverlayPresenting> presenter_;
    std::weak_ptr<DZSlot> slot_;
    std::uint64_t supportedOrientations_ = 30;
    std::function<void()> dismissalCompletion_;
    int relinquishCount_ = 0;
};

}  // namespace ads
