#pragma once
// One modal presentation, from its presenting transition to the end of its
// dismissal: owned by the presenter while it presents, it moves the
// presented view in and out of the window, sends both controllers their
// appearance callbacks in order, and serialises dismissals against the
// running transition. ViewController::presentViewController and
// dismissViewController are its only entry points. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/ViewController.h"

namespace ui {

class TransitionContext;

class PresentationController : public std::enable_shared_from_this<PresentationController> {
public:
    static constexpr double kTransitionDuration = 0.3;

    enum class Phase { Presenting, Presented, Dismissing };

    PresentationController(const std::shared_ptr<ViewController>& presenter,
                           std::shared_ptr<ViewController> presented);

    // Presents from `source`'s outermost parent, or logs why it cannot
    // (false).
    static bool present(const std::shared_ptr<ViewController>& source,
                        const std::shared_ptr<ViewController>& controller, bool animated,
                        std::function<void()> completion);
    // Why present() would refuse, without logging; nullopt when it would
    // go ahead.
    [[nodiscard]] static std::optional<std::string>
    refusal(const std::shared_ptr<ViewController>& source,
            const std::shared_ptr<ViewController>& controller);
    void dismiss(bool animated, std::function<void()> completion);

    [[nodiscard]] Phase phase() const { return phase_; }
    [[nodiscard]] ModalPresentationStyle style() const { return style_; }

private:
    [[nodiscard]] bool coversPresenter() const {
        return style_ == ModalPresentationStyle::FullScreen;
    }
    void didPresent(bool completed, const std::function<void()>& completion);
    void didDismiss(bool completed, const std::function<void()>& completion);
    // Turns the interface for the new top controller, then runs the
    // completion: at once when the transition ended after the call that
    // started it, else on the next turn of the run loop.
    void finish(const std::shared_ptr<ViewController>& presenter,
                const std::function<void()>& completion) const;
    // Removes whatever the presented controller presents itself, at once.
    void tearDownNested();
    void unlink();

    std::weak_ptr<ViewController> presenter_;
    std::shared_ptr<ViewController> presented_;
    ModalPresentationStyle style_;
    Phase phase_ = Phase::Presenting;
    std::shared_ptr<TransitionContext> transition_;
    std::vector<std::function<void()>> afterPresenting_;
    // Set while present() or dismiss() is starting the transition.
    bool starting_ = false;
};

}  // namespace ui
