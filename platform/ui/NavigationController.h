#pragma once
// A stack of controllers of which the top one is shown, filling the
// navigation controller's view, with a navigation bar laid over its top.
// Push and pop change the stack at once; the views and appearance callbacks
// follow through a transition (0.35 s on the clock when animated, at once
// when not, or whatever the delegate's animator does): the outgoing top gets
// will-disappear and the incoming one will-appear at the start; at the end
// the outgoing view is removed, then did-disappear, then did-appear.
// Appearance callbacks are sent only while the navigation controller itself
// is shown, and its own appearance callbacks go to its top controller only.
// A push or pop made while a transition runs first completes that
// transition. Stack members are the navigation controller's children.
// Main thread only.

#include <memory>
#include <vector>

#include "ui/ViewController.h"

namespace ui {

class AnimatedTransitioning;
class InteractiveTransitioning;
class NavigationBar;
class NavigationController;
class TransitionContext;

enum class NavigationOperation { None, Push, Pop };

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;

    virtual void willShowViewController(NavigationController&,
                                        const std::shared_ptr<ViewController>& /*shown*/,
                                        bool /*animated*/) {}
    virtual void didShowViewController(NavigationController&,
                                       const std::shared_ptr<ViewController>& /*shown*/,
                                       bool /*animated*/) {}
    // A custom animator for an animated push or pop; nullptr: the standard
    // transition.
    [[nodiscard]] virtual std::shared_ptr<AnimatedTransitioning> animationController(
        NavigationController&, NavigationOperation /*operation*/,
        const std::shared_ptr<ViewController>& /*from*/,
        const std::shared_ptr<ViewController>& /*to*/) {
        return nullptr;
    }
    // Asked only when animationController gave an animator.
    [[nodiscard]] virtual std::shared_ptr<InteractiveTransitioning> interactionController(
        NavigationController&, const std::shared_ptr<AnimatedTransitioning>& /*animator*/) {
        return nullptr;
    }
};

class NavigationController : public ViewController {
public:
    static constexpr double kTransitionDuration = 0.35;

    NavigationController();
    ~NavigationController() override;

    // A navigation controller with `root` pushed without animation.
    [[nodiscard]] static std::shared_ptr<NavigationController> create(
        std::shared_ptr<ViewController> root);

    [[nodiscard]] const std::vector<std::shared_ptr<ViewController>>& viewControllers() const {
        return stack_;
    }
    [[nodiscard]] std::shared_ptr<ViewController> topViewController() const;
    // What the user sees: the top controller, or what this presents.
    [[nodiscard]] std::shared_ptr<ViewController> visibleViewController() const;

    // Pushing nullptr, a controller already in the stack or one with
    // another parent is refused with a console warning.
    void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    // The popped controller; nullptr (and nothing happens) at the root.
    std::shared_ptr<ViewController> popViewController(bool animated);
    // The popped controllers, bottom first; empty when `controller` is the
    // top or not in the stack.
    std::vector<std::shared_ptr<ViewController>> popToViewController(
        const std::shared_ptr<ViewController>& controller, bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewController(bool animated);
    // Replaces the stack; shown as a push when the new top is new to the
    // stack, as a pop when it was below the old top. Null entries and
    // duplicates are dropped.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers,
                            bool animated);

    [[nodiscard]] std::shared_ptr<NavigationBar> navigationBar();
    [[nodiscard]] bool isNavigationBarHidden() const { return barHidden_; }
    // Takes effect at once, animated or not (the end state of an animation).
    void setNavigationBarHidden(bool hidden, bool animated);

    [[nodiscard]] std::shared_ptr<NavigationControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(const std::shared_ptr<NavigationControllerDelegate>& delegate) {
        delegate_ = delegate;
    }
    // Whether a push or pop transition has started and not completed.
    [[nodiscard]] bool isTransitioning() const { return transition_ != nullptr; }

    void loadView() override;

protected:
    std::vector<std::shared_ptr<ViewController>> childViewControllersForAppearance() override;

private:
    struct Change;

    void changeStack(std::vector<std::shared_ptr<ViewController>> stack,
                     NavigationOperation operation, bool animated);
    void finishChange(const Change& change, bool completed);
    void layoutContent();
    [[nodiscard]] gfx::Rect contentFrame();

    std::vector<std::shared_ptr<ViewController>> stack_;
    std::shared_ptr<NavigationBar> bar_;
    bool barHidden_ = false;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    std::shared_ptr<TransitionContext> transition_;
};

}  // namespace ui
