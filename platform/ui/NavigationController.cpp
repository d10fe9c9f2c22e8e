#include "ui/NavigationController.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "core/Console.h"
#include "ui/DeviceProfile.h"
#include "ui/NavigationBar.h"
#include "ui/StandardTransitions.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"

namespace ui {

namespace {

using ControllerList = std::vector<std::shared_ptr<ViewController>>;

// The navigation controller's root view: lays the content and the bar out
// whenever the view tree is laid out.
class NavigationContainerView : public View {
public:
    using View::View;
    std::function<void()> onLayout;

    void layoutSubviews() override {
        View::layoutSubviews();
        if (onLayout) onLayout();
    }
};

bool contains(const ControllerList& list, const std::shared_ptr<ViewController>& controller) {
    return std::find(list.begin(), list.end(), controller) != list.end();
}

ControllerList missingFrom(const ControllerList& list, const ControllerList& other) {
    ControllerList missing;
    for (const auto& controller : list) {
        if (!contains(other, controller)) missing.push_back(controller);
    }
    return missing;
}

std::shared_ptr<View> loadedView(const std::shared_ptr<ViewController>& controller) {
    return controller && controller->isViewLoaded() ? controller->view() : nullptr;
}

}  // namespace

struct NavigationController::Change {
    ControllerList oldStack;
    std::shared_ptr<ViewController> from;
    std::shared_ptr<ViewController> to;
    ControllerList added;
    ControllerList removed;
    bool shown = false;       // views moved and the delegate told
    bool appearance = false;  // appearance callbacks sent
    bool animated = false;
};

NavigationController::NavigationController() = default;

NavigationController::~NavigationController() = default;

std::shared_ptr<NavigationController> NavigationController::create(
    std::shared_ptr<ViewController> root) {
    auto navigation = std::make_shared<NavigationController>();
    if (root) navigation->pushViewController(root, false);
    return navigation;
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return presented;
    return topViewController();
}

// MARK: stack operations

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller,
                                              bool animated) {
    if (transition_) transition_->completeTransition(true);
    const auto parent = controller ? controller->parentViewController() : nullptr;
    if (!controller || controller.get() == this || contains(stack_, controller) ||
        (parent && parent.get() != this)) {
        core::Console::log("Warning: " + description() + " cannot push " +
                           (controller ? controller->description() : std::string("nothing")) +
                           ": it is already in a navigation stack or has another parent");
        return;
    }
    auto stack = stack_;
    stack.push_back(controller);
    changeStack(std::move(stack), NavigationOperation::Push, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
    if (transition_) transition_->completeTransition(true);
    if (stack_.size() < 2) return nullptr;
    auto popped = stack_.back();
    changeStack(ControllerList(stack_.begin(), stack_.end() - 1), NavigationOperation::Pop,
                animated);
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(
    const std::shared_ptr<ViewController>& controller, bool animated) {
    if (transition_) transition_->completeTransition(true);
    const auto found = std::find(stack_.begin(), stack_.end(), controller);
    if (found == stack_.end() || found + 1 == stack_.end()) return {};
    ControllerList popped(found + 1, stack_.end());
    changeStack(ControllerList(stack_.begin(), found + 1), NavigationOperation::Pop, animated);
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(
    bool animated) {
    if (stack_.empty()) return {};
    const auto root = stack_.front();
    return popToViewController(root, animated);
}

void NavigationController::setViewControllers(ControllerList controllers, bool animated) {
    if (transition_) transition_->completeTransition(true);
    ControllerList stack;
    for (auto& controller : controllers) {
        if (!controller || controller.get() == this || contains(stack, controller)) continue;
        const auto parent = controller->parentViewController();
        if (parent && parent.get() != this) {
            core::Console::log("Warning: " + description() + " cannot stack " +
                               controller->description() + ": it has another parent");
            continue;
        }
        stack.push_back(std::move(controller));
    }
    const auto oldTop = topViewController();
    const auto newTop = stack.empty() ? nullptr : stack.back();
    NavigationOperation operation = NavigationOperation::Push;
    if (newTop == oldTop) {
        operation = NavigationOperation::None;
    } else if (contains(stack_, newTop)) {
        operation = NavigationOperation::Pop;
    }
    changeStack(std::move(stack), operation, animated);
}

// MARK: transitions

void NavigationController::changeStack(ControllerList stack, NavigationOperation operation,
                                       bool animated) {
    Change change;
    change.oldStack = stack_;
    change.from = topViewController();
    change.to = stack.empty() ? nullptr : stack.back();
    change.added = missingFrom(stack, stack_);
    change.removed = missingFrom(stack_, stack);
    for (const auto& controller : change.added) addChildViewController(controller);
    for (const auto& controller : change.removed)
        controller->willMoveToParentViewController(nullptr);
    stack_ = std::move(stack);

    if (!isViewLoaded() || change.from == change.to) {
        finishChange(change, true);
        return;
    }
    const auto container = view();
    change.shown = true;
    change.animated = animated && container->window() != nullptr;
    const auto fromView = loadedView(change.from);
    const auto toView = change.to ? change.to->view() : nullptr;
    const gfx::Rect frame = contentFrame();
    if (toView) {
        toView->setFrame(frame);
        if (operation == NavigationOperation::Pop && fromView &&
            fromView->superview() == container) {
            container->insertSubviewBelow(toView, fromView.get());
        } else {
            container->insertSubviewBelow(toView, bar_.get());
        }
    }
    const auto delegate = delegate_.lock();
    if (delegate && change.to) delegate->willShowViewController(*this, change.to, change.animated);
    change.appearance = isAppeared();
    if (change.appearance) {
        if (change.from) change.from->beginAppearanceTransition(false, change.animated);
        if (change.to) change.to->beginAppearanceTransition(true, change.animated);
    }

    std::shared_ptr<AnimatedTransitioning> animator;
    std::shared_ptr<InteractiveTransitioning> interaction;
    if (delegate && change.animated && change.from && change.to) {
        animator = delegate->animationController(*this, operation, change.from, change.to);
        if (animator) interaction = delegate->interactionController(*this, animator);
    }
    const std::weak_ptr<NavigationController> weak =
        std::static_pointer_cast<NavigationController>(shared_from_this());
    const auto transition = std::make_shared<TransitionContext>(
        container,
        TransitionContext::Side{change.from, fromView, fromView ? fromView->frame() : gfx::Rect(),
                                gfx::Rect()},
        TransitionContext::Side{change.to, toView, gfx::Rect(), frame}, change.animated,
        [weak, change](bool completed) {
            if (const auto self = weak.lock()) self->finishChange(change, completed);
        });
    transition_ = transition;
    transition->setStandardAnimation(
        [fromView, toView, push = operation != NavigationOperation::Pop](double duration) {
            standard::navigation(fromView.get(), toView.get(), push, duration);
        });
    transition->start(std::move(animator), std::move(interaction), kTransitionDuration);
}

void NavigationController::finishChange(const Change& change, bool completed) {
    transition_.reset();
    const auto container = isViewLoaded() ? view() : nullptr;
    const auto removeFromContainer = [&container](const std::shared_ptr<ViewController>& owner) {
        const auto view = loadedView(owner);
        if (container && view && view->superview() == container) view->removeFromSuperview();
    };
    if (completed) {
        if (change.shown) removeFromContainer(change.from);
        if (change.appearance) {
            if (change.from) change.from->endAppearanceTransition();
            if (change.to) change.to->endAppearanceTransition();
        }
        for (const auto& controller : change.removed) controller->removeFromParentViewController();
        for (const auto& controller : change.added) controller->didMoveToParentViewController(this);
        const auto delegate = delegate_.lock();
        if (change.shown && delegate && change.to) {
            delegate->didShowViewController(*this, change.to, change.animated);
        }
    } else {
        stack_ = change.oldStack;
        if (change.shown) removeFromContainer(change.to);
        if (change.appearance) {
            if (change.to) change.to->beginAppearanceTransition(false, change.animated);
            if (change.from) change.from->beginAppearanceTransition(true, change.animated);
            if (change.to) change.to->endAppearanceTransition();
            if (change.from) change.from->endAppearanceTransition();
        }
        for (const auto& controller : change.added) {
            controller->willMoveToParentViewController(nullptr);
            controller->removeFromParentViewController();
        }
        for (const auto& controller : change.removed)
            controller->didMoveToParentViewController(this);
    }
    layoutContent();
}

// MARK: view and bar

void NavigationController::loadView() {
    const std::weak_ptr<NavigationController> weak =
        std::static_pointer_cast<NavigationController>(shared_from_this());
    auto container =
        std::make_shared<NavigationContainerView>(DeviceProfile::current().screenBounds());
    container->onLayout = [weak] {
        if (const auto self = weak.lock()) self->layoutContent();
    };
    bar_ = std::make_shared<NavigationBar>();
    bar_->setTitleSource([weak] {
        const auto self = weak.lock();
        const auto top = self ? self->topViewController() : nullptr;
        return top ? top->title() : std::string();
    });
    if (const auto top = topViewController()) container->addSubview(top->view());
    container->addSubview(bar_);
    setView(container);
    layoutContent();
}

std::shared_ptr<NavigationBar> NavigationController::navigationBar() {
    (void)view();
    return bar_;
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    if (bar_) bar_->setHidden(hidden);
}

gfx::Rect NavigationController::contentFrame() {
    return isViewLoaded() ? view()->bounds() : DeviceProfile::current().screenBounds();
}

void NavigationController::layoutContent() {
    if (!isViewLoaded() || !bar_) return;
    const auto container = view();
    const gfx::Rect bounds = container->bounds();
    bar_->setFrame({bounds.minX(), bounds.minY() + DeviceProfile::current().statusBarHeight,
                    bounds.width(), NavigationBar::kHeight});
    bar_->setHidden(barHidden_);
    container->bringSubviewToFront(bar_.get());
    if (transition_) return;
    if (const auto top = loadedView(topViewController())) {
        if (top->superview() == container) top->setFrame(contentFrame());
    }
}

std::vector<std::shared_ptr<ViewController>>
NavigationController::childViewControllersForAppearance() {
    const auto top = topViewController();
    const auto topView = loadedView(top);
    if (!topView || !isViewLoaded() || !topView->isDescendantOf(view().get())) return {};
    return {top};
}

}  // namespace ui
