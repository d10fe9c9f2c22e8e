#include "ui/Window.h"

#include "core/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Clock.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/GestureRecognizer.h"
#include "ui/ViewAnimations.h"
#include "ui/ViewController.h"

namespace ui {

namespace {

// Touches that end this close in time and place count as repeated taps.
constexpr double kTapInterval = 0.35;
constexpr double kTapDistance = 40;

double now() {
    return core::Clock::current()->monotonicSeconds();
}

bool hasRecognized(const GestureRecognizer& recognizer) {
    const GestureState state = recognizer.state();
    return state == GestureState::Began || state == GestureState::Changed ||
           state == GestureState::Recognized;
}

bool isFinished(const GestureRecognizer& recognizer) {
    const GestureState state = recognizer.state();
    return state == GestureState::Failed || state == GestureState::Ended ||
           state == GestureState::Cancelled;
}

}  // namespace

// One touch being delivered: the view it began in (weakly: it may be the
// window itself) and the recognizers that watch it, innermost first.
struct Window::Tracking {
    std::shared_ptr<Touch> touch;
    std::weak_ptr<View> view;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    bool viewCancelled = false;

    [[nodiscard]] bool watchedBy(const GestureRecognizer* recognizer) const {
        return std::any_of(recognizers.begin(), recognizers.end(),
                           [recognizer](const auto& r) { return r.get() == recognizer; });
    }
};

Window::Window(gfx::Rect frame)
    : View(frame.isEmpty() ? DeviceProfile::current().screenBounds() : frame) {
    window_ = this;
    setHidden(true);
}

Window::~Window() = default;

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (controller == root_) return;
    const bool visible = !isHidden();
    if (const auto old = std::exchange(root_, nullptr); old && old->isViewLoaded()) {
        const auto oldView = old->view();
        if (oldView->superview().get() == this) {
            if (visible) old->beginAppearanceTransition(false, false);
            oldView->detachFromSuperview();
            if (visible) old->endAppearanceTransition();
        }
    }
    root_ = std::move(controller);
    if (!root_) return;
    const auto view = root_->view();
    view->setFrame(bounds());
    addSubview(view);
    if (visible) appearRoot();
}

void Window::makeKeyAndVisible() {
    const auto self = std::static_pointer_cast<Window>(shared_from_this());
    Application& application = Application::shared();
    application.registerWindow(self);
    application.makeKeyWindow(self);
    if (!isHidden()) return;
    setHidden(false);
    appearRoot();
}

void Window::appearRoot() {
    if (!root_) {
        layoutTree();
        return;
    }
    const auto root = root_;
    root->beginAppearanceTransition(true, false);
    layoutTree();
    root->endAppearanceTransition();
}

bool Window::isKeyWindow() const {
    return Application::shared().keyWindow().get() == this;
}

std::shared_ptr<ViewController> Window::topViewController() const {
    auto top = root_;
    while (top && top->presentedViewController()) top = top->presentedViewController();
    return top;
}

namespace {

void appendWithChildren(const std::shared_ptr<ViewController>& controller,
                        std::vector<std::shared_ptr<ViewController>>& list) {
    list.push_back(controller);
    for (const auto& child : controller->childViewControllers()) appendWithChildren(child, list);
}

}  // namespace

std::vector<std::shared_ptr<ViewController>> Window::shownViewControllers() const {
    std::vector<std::shared_ptr<ViewController>> shown;
    for (auto controller = root_; controller; controller = controller->presentedViewController()) {
        appendWithChildren(controller, shown);
    }
    return shown;
}

void Window::transitionToSize(gfx::Size size) {
    const gfx::Rect old = bounds();
    const gfx::Rect frame = this->frame();
    setFrame({frame.origin, size});
    const auto controllers = shownViewControllers();
    for (const auto& controller : controllers) controller->viewWillTransitionToSize(size);
    for (auto presented = root_ ? root_->presentedViewController() : nullptr; presented;
         presented = presented->presentedViewController()) {
        const auto view = presented->view();
        if (view->superview().get() == this && view->frame() == old) view->setFrame(bounds());
    }
    layoutTree();
}

bool Window::needsDisplay() const {
    return needsDisplay_ || animationsMoving();
}

bool Window::animationsMoving() const {
    // Until a frame has been drawn at or after the end of the latest motion.
    return !clearedAt_ || *clearedAt_ < ViewAnimations::animatedUntil();
}

std::optional<gfx::Rect> Window::needsDisplayRect() const {
    if (animationsMoving()) return std::nullopt;
    return needsDisplay_ ? needsDisplayRect_ : std::nullopt;
}

void Window::markNeedsDisplay() {
    needsDisplay_ = true;
    needsDisplayRect_.reset();
}

void Window::markNeedsDisplay(const gfx::Rect& rect) {
    if (rect.isEmpty()) return;
    if (!needsDisplay_) {
        needsDisplay_ = true;
        needsDisplayRect_ = rect;
    } else if (needsDisplayRect_) {
        needsDisplayRect_ = needsDisplayRect_->united(rect);
    }
}

void Window::clearNeedsDisplay() {
    needsDisplay_ = false;
    clearedAt_ = ViewAnimations::now();
    needsDisplayRect_.reset();
}

void Window::layoutSubviews() {
    if (!root_ || !root_->isViewLoaded()) return;
    const auto view = root_->view();
    if (view->superview().get() == this) view->setFrame(bounds());
}

void Window::layoutTree() {
    layoutIfNeeded();
}

void Window::scheduleLayoutPass() {
    if (layoutPassScheduled_) return;
    layoutPassScheduled_ = true;
    std::weak_ptr<View> weakSelf = weak_from_this();
    core::RunLoop::main().post([weakSelf] {
        auto self = std::static_pointer_cast<Window>(weakSelf.lock());
        if (!self) return;
        self->layoutPassScheduled_ = false;
        self->layoutTree();
    });
}

std::shared_ptr<View> Window::hitTest(gfx::Point point) {
    if (!isUserInteractionEnabled() || !pointInside(point)) return nullptr;
    const auto subviews = this->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        const auto inverse = (*it)->transformToSuperview().inverted();
        if (!inverse) continue;
        if (auto hit = (*it)->hitTest(inverse->apply(point))) return hit;
    }
    return shared_from_this();
}

Responder* Window::nextResponder() const {
    return &Application::shared();
}

// MARK: touches

std::shared_ptr<Touch> Window::touchDown(gfx::Point location) {
    const auto self = std::static_pointer_cast<Window>(shared_from_this());
    const double time = now();
    auto hit = hitTest(location);
    auto touch = std::make_shared<Touch>(self, hit, location, time);
    if (lastTapTime_ >= 0 && time - lastTapTime_ <= kTapInterval &&
        std::hypot(location.x - lastTapLocation_.x, location.y - lastTapLocation_.y) <=
            kTapDistance) {
        touch->setTapCount(lastTapCount_ + 1);
    }

    auto tracking = std::make_shared<Tracking>();
    tracking->touch = touch;
    tracking->view = hit;
    for (auto view = hit; view; view = view->superview()) {
        for (const auto& recognizer : view->gestureRecognizers()) {
            if (recognizer->isEnabled()) tracking->recognizers.push_back(recognizer);
        }
        if (view.get() == this) break;
    }
    tracking_.push_back(tracking);
    deliver(touch, TouchPhase::Began);
    return touch;
}

void Window::touchMove(const std::shared_ptr<Touch>& touch, gfx::Point location) {
    if (!touch) return;
    touch->update(TouchPhase::Moved, location, now());
    deliver(touch, TouchPhase::Moved);
}

void Window::touchUp(const std::shared_ptr<Touch>& touch, gfx::Point location) {
    if (!touch) return;
    touch->update(TouchPhase::Ended, location, now());
    lastTapLocation_ = location;
    lastTapTime_ = touch->timestamp();
    lastTapCount_ = touch->tapCount();
    deliver(touch, TouchPhase::Ended);
}

void Window::touchCancel(const std::shared_ptr<Touch>& touch) {
    if (!touch) return;
    touch->update(TouchPhase::Cancelled, touch->locationInView(nullptr), now());
    deliver(touch, TouchPhase::Cancelled);
}

namespace {

template <typename Receiver>
void send(Receiver& receiver, TouchPhase phase, const TouchSet& touches, const Event& event) {
    switch (phase) {
    case TouchPhase::Began:
        receiver.touchesBegan(touches, event);
        break;
    case TouchPhase::Moved:
    case TouchPhase::Stationary:
        receiver.touchesMoved(touches, event);
        break;
    case TouchPhase::Ended:
        receiver.touchesEnded(touches, event);
        break;
    case TouchPhase::Cancelled:
        receiver.touchesCancelled(touches, event);
        break;
    }
}

}  // namespace

void Window::deliver(const std::shared_ptr<Touch>& touch, TouchPhase phase) {
    const auto found = std::find_if(tracking_.begin(), tracking_.end(),
                                    [&touch](const auto& t) { return t->touch == touch; });
    if (found == tracking_.end()) return;
    const auto tracking = *found;
    const auto keep = shared_from_this();
    const TouchSet touches{touch};
    const Event event(touch->timestamp());

    for (const auto& recognizer : tracking->recognizers) {
        if (!recognizer->isEnabled() || isFinished(*recognizer)) continue;
        const bool wasPossible = recognizer->state() == GestureState::Possible;
        send(*recognizer, phase, touches, event);
        if (wasPossible && hasRecognized(*recognizer)) failRivalsOf(*recognizer);
    }
    cancelViewsOfRecognizedTouches();
    if (const auto view = tracking->view.lock(); view && !tracking->viewCancelled) {
        send(*view, phase, touches, event);
    }

    if (phase == TouchPhase::Ended || phase == TouchPhase::Cancelled) {
        std::erase(tracking_, tracking);
        for (const auto& recognizer : tracking->recognizers) {
            const bool stillWatching =
                std::any_of(tracking_.begin(), tracking_.end(), [&recognizer](const auto& t) {
                    return t->watchedBy(recognizer.get());
                });
            if (!stillWatching && recognizer->state() != GestureState::Possible)
                recognizer->reset();
        }
    }
    layoutTree();
}

void Window::failRivalsOf(const GestureRecognizer& winner) {
    for (const auto& tracking : tracking_) {
        if (!tracking->watchedBy(&winner)) continue;
        for (const auto& rival : tracking->recognizers) {
            if (rival.get() == &winner || rival->state() != GestureState::Possible) continue;
            if (rival->recognizesSimultaneouslyWith(winner) ||
                winner.recognizesSimultaneouslyWith(*rival)) {
                continue;
            }
            rival->fail();
        }
    }
}

void Window::cancelViewsOfRecognizedTouches() {
    const auto all = tracking_;
    for (const auto& tracking : all) {
        const auto view = tracking->view.lock();
        if (!view || tracking->viewCancelled) continue;
        const bool taken = std::any_of(
            tracking->recognizers.begin(), tracking->recognizers.end(),
            [](const auto& r) { return r->cancelsTouchesInView() && hasRecognized(*r); });
        if (!taken) continue;
        tracking->viewCancelled = true;
        view->touchesCancelled({tracking->touch}, Event(tracking->touch->timestamp()));
    }
}

}  // namespace ui
