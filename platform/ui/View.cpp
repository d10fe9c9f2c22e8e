#include "ui/View.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/Console.h"
#include "ui/ConstraintSolver.h"
#include "ui/DeviceProfile.h"
#include "ui/GestureRecognizer.h"
#include "ui/ViewAnimations.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ui {

namespace {

bool isWindow(const View& view) {
    return dynamic_cast<const Window*>(&view) != nullptr;
}

// Visits the view and its descendants top-down, leaving out nested windows
// (their trees belong to them). Works on copies of the subview lists, so a
// visit may change the hierarchy.
void walkTree(View& root, const std::function<void(View&)>& visit) {
    visit(root);
    const auto subviews = root.subviews();
    for (const auto& subview : subviews) {
        if (!isWindow(*subview)) walkTree(*subview, visit);
    }
}

// Solves the bounds size whose transformed bounding box has the given size;
// nullopt when the transform does not determine it.
std::optional<gfx::Size> untransformedSize(const gfx::AffineTransform& t, gfx::Size size) {
    const double a = std::abs(t.a), b = std::abs(t.b), c = std::abs(t.c), d = std::abs(t.d);
    const double det = a * d - b * c;
    if (std::abs(det) < 1e-9) return std::nullopt;
    const gfx::Size solved{(d * size.width - c * size.height) / det,
                           (a * size.height - b * size.width) / det};
    if (solved.width < 0 || solved.height < 0) return std::nullopt;
    return solved;
}

}  // namespace

View::View(gfx::Rect frame) {
    setFrame(frame);
}

View::~View() {
    for (const auto& recognizer : gestureRecognizers_) recognizer->setView(nullptr);
    for (const auto& subview : subviews_) {
        subview->superview_.reset();
        walkTree(*subview, [](View& view) { view.window_ = nullptr; });
    }
    if (window_ && static_cast<View*>(window_) != this && window_->firstResponder() == this) {
        window_->setFirstResponder(nullptr);
    }
}

// MARK: geometry

gfx::Rect View::frame() const {
    const gfx::Rect local(-bounds_.size.width / 2, -bounds_.size.height / 2, bounds_.size.width,
                          bounds_.size.height);
    const gfx::Rect moved = transform_.isIdentity() ? local : transform_.apply(local);
    return moved.offset(center_.x, center_.y);
}

void View::setFrame(const gfx::Rect& frame) {
    const gfx::Rect f = frame.standardized();
    gfx::Size size = f.size;
    if (!transform_.isIdentity())
        size = untransformedSize(transform_, f.size).value_or(bounds_.size);
    setCenter(f.center());
    View::setBounds({bounds_.origin, size});
}

void View::setBounds(const gfx::Rect& bounds) {
    const gfx::Size oldSize = bounds_.size;
    if (bounds.size != bounds_.size) setNeedsLayout();
    if (bounds != bounds_) {
        setNeedsDisplay();
        animateChange(AnimatedProperty::Bounds, AnimatedValue::of(bounds_),
                      AnimatedValue::of(bounds));
    }
    bounds_ = bounds;
    if (bounds_.size == oldSize) return;
    const auto subviews = subviews_;
    for (const auto& subview : subviews) subview->resizeWithOldSuperviewSize(oldSize);
}

namespace {

// Shares `change` out among the flexible parts of one axis (margin before,
// length, margin after), in proportion to their current sizes.
void shareOut(double change, std::array<double, 3>& parts, const std::array<bool, 3>& flexible) {
    double total = 0;
    int count = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!flexible[i]) continue;
        total += parts[i];
        ++count;
    }
    if (count == 0) return;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (flexible[i]) parts[i] += total > 0 ? change * parts[i] / total : change / count;
    }
}

}  // namespace

void View::resizeWithOldSuperviewSize(gfx::Size oldSize) {
    if (autoresizingMask_ == 0 || !translatesAutoresizingMask_) return;
    const auto superview = superview_.lock();
    if (!superview) return;
    const gfx::Size newSize = superview->bounds_.size;
    const gfx::Rect f = frame();
    std::array<double, 3> across{f.minX(), f.width(), oldSize.width - f.maxX()};
    std::array<double, 3> down{f.minY(), f.height(), oldSize.height - f.maxY()};
    shareOut(newSize.width - oldSize.width, across,
             {(autoresizingMask_ & kFlexibleLeftMargin) != 0,
              (autoresizingMask_ & kFlexibleWidth) != 0,
              (autoresizingMask_ & kFlexibleRightMargin) != 0});
    shareOut(newSize.height - oldSize.height, down,
             {(autoresizingMask_ & kFlexibleTopMargin) != 0,
              (autoresizingMask_ & kFlexibleHeight) != 0,
              (autoresizingMask_ & kFlexibleBottomMargin) != 0});
    setFrame({across[0], down[0], std::max(0.0, across[1]), std::max(0.0, down[1])});
}

void View::setCenter(gfx::Point center) {
    if (center != center_) {
        setNeedsDisplay();
        animateChange(AnimatedProperty::Center, AnimatedValue::of(center_),
                      AnimatedValue::of(center));
    }
    center_ = center;
}

void View::setTransform(const gfx::AffineTransform& transform) {
    if (transform != transform_) {
        setNeedsDisplay();
        animateChange(AnimatedProperty::Transform, AnimatedValue::of(transform_),
                      AnimatedValue::of(transform));
    }
    transform_ = transform;
}

// MARK: appearance

void View::setHidden(bool hidden) {
    if (hidden != hidden_) setNeedsDisplay();
    hidden_ = hidden;
}

void View::setAlpha(double alpha) {
    const double clamped = std::clamp(alpha, 0.0, 1.0);
    if (clamped != alpha_) {
        setNeedsDisplay();
        animateChange(AnimatedProperty::Alpha, AnimatedValue::of(alpha_),
                      AnimatedValue::of(clamped));
    }
    alpha_ = clamped;
}

void View::setBackgroundColor(std::optional<gfx::Color> color) {
    if (color != backgroundColor_) {
        // No colour moves as the other one made clear.
        const gfx::Color other = color ? *color : backgroundColor_.value_or(gfx::Color::clear());
        animateChange(AnimatedProperty::BackgroundColor,
                      AnimatedValue::of(backgroundColor_.value_or(other.withAlpha(0))),
                      AnimatedValue::of(color.value_or(other.withAlpha(0))));
    }
    backgroundColor_ = color;
    setNeedsDisplay();
}

void View::setCornerRadius(double radius) {
    cornerRadius_ = std::max(0.0, radius);
    setNeedsDisplay();
}

void View::setClipsToBounds(bool clips) {
    clipsToBounds_ = clips;
    setNeedsDisplay();
}

void View::setBorderWidth(double width) {
    borderWidth_ = std::max(0.0, width);
    setNeedsDisplay();
}

std::optional<gfx::Color> View::borderColor() const {
    if (borderColor_) return borderColor_;
    if (borderWidth_ > 0) return gfx::Color::black();
    return std::nullopt;
}

void View::setBorderColor(gfx::Color color) {
    borderColor_ = color;
    setNeedsDisplay();
}

// MARK: hierarchy

void View::addSubview(const std::shared_ptr<View>& view) {
    attach(view, subviews_.size());
}

void View::insertSubview(const std::shared_ptr<View>& view, size_t index) {
    attach(view, index);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling) {
    attach(view, indexAmongOthers(sibling, view.get()));
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling) {
    const size_t index = indexAmongOthers(sibling, view.get());
    attach(view, index == subviews_.size() ? index : index + 1);
}

size_t View::indexAmongOthers(const View* sibling, const View* excluded) const {
    size_t index = 0;
    for (const auto& subview : subviews_) {
        if (subview.get() == sibling) return index;
        if (subview.get() != excluded) ++index;
    }
    return subviews_.size();
}

void View::bringSubviewToFront(const View* view) {
    const auto found = std::find_if(subviews_.begin(), subviews_.end(),
                                    [view](const auto& subview) { return subview.get() == view; });
    if (found != subviews_.end()) std::rotate(found, found + 1, subviews_.end());
    setNeedsDisplay();
}

void View::sendSubviewToBack(const View* view) {
    const auto found = std::find_if(subviews_.begin(), subviews_.end(),
                                    [view](const auto& subview) { return subview.get() == view; });
    if (found != subviews_.end()) std::rotate(subviews_.begin(), found, found + 1);
    setNeedsDisplay();
}

void View::attach(const std::shared_ptr<View>& view, size_t index) {
    if (!view || isDescendantOf(view.get())) {
        core::Console::log("View: cannot add a view to itself or to one of its descendants");
        return;
    }
    const std::shared_ptr<View> keep = view;
    const auto eraseFrom = [&view](std::vector<std::shared_ptr<View>>& list) {
        list.erase(std::find(list.begin(), list.end(), view));
    };
    const auto oldSuperview = view->superview();
    if (oldSuperview.get() == this) {
        eraseFrom(subviews_);
        subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
        setNeedsDisplay();
        return;
    }

    Window* const newWindow = window_;
    const bool windowChanges = view->window_ != newWindow && !isWindow(*view);
    view->willMoveToSuperview(this);
    if (windowChanges) walkTree(*view, [newWindow](View& v) { v.willMoveToWindow(newWindow); });
    if (oldSuperview) {
        oldSuperview->willRemoveSubview(view.get());
        eraseFrom(oldSuperview->subviews_);
        oldSuperview->setNeedsLayout();
    }
    subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
    view->superview_ = weak_from_this();
    if (windowChanges) {
        view->moveToWindow(newWindow);
        walkTree(*view, [](View& v) { v.didMoveToWindow(); });
    }
    view->didMoveToSuperview();
    didAddSubview(view.get());
    setNeedsLayout();
    view->setNeedsLayout();
}

void View::removeFromSuperview() {
    detachFromSuperview();
}

void View::detachFromSuperview() {
    const auto superview = superview_.lock();
    if (!superview) return;
    const auto keep = shared_from_this();
    const bool windowChanges = window_ != nullptr && !isWindow(*this);
    superview->willRemoveSubview(this);
    willMoveToSuperview(nullptr);
    if (windowChanges) walkTree(*this, [](View& v) { v.willMoveToWindow(nullptr); });
    auto& siblings = superview->subviews_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), keep));
    superview_.reset();
    superview->setNeedsLayout();
    if (windowChanges) {
        moveToWindow(nullptr);
        walkTree(*this, [](View& v) { v.didMoveToWindow(); });
    }
    didMoveToSuperview();
}

void View::moveToWindow(Window* window) {
    walkTree(*this, [window](View& view) {
        Window* const old = view.window_;
        if (old == window) return;
        if (old && old->firstResponder() == &view) {
            (void)view.resignFirstResponder();
            if (old->firstResponder() == &view) old->setFirstResponder(nullptr);
        }
        view.window_ = window;
        // A view made first responder before it had a window is its
        // window's first responder once it has one.
        if (window && view.isFirstResponder()) window->setFirstResponder(&view);
    });
}

std::shared_ptr<Window> View::window() const {
    if (!window_) return nullptr;
    return std::static_pointer_cast<Window>(window_->weak_from_this().lock());
}

bool View::isDescendantOf(const View* view) const {
    if (!view) return false;
    for (const View* current = this; current;) {
        if (current == view) return true;
        const auto next = current->superview_.lock();
        current = next.get();
    }
    return false;
}

std::shared_ptr<View> View::viewWithTag(int tag) {
    if (tag_ == tag) return shared_from_this();
    for (const auto& subview : subviews_) {
        if (auto found = subview->viewWithTag(tag)) return found;
    }
    return nullptr;
}

void View::willMoveToSuperview(View*) {}
void View::didMoveToSuperview() {}
void View::willMoveToWindow(Window*) {}
void View::didMoveToWindow() {}
void View::didAddSubview(View*) {}
void View::willRemoveSubview(View*) {}

// MARK: layout

void View::setNeedsLayout() {
    needsLayout_ = true;
    setNeedsDisplay();
    if (window_) window_->scheduleLayoutPass();
}

LayoutConstraint::LayoutConstraint(std::weak_ptr<View> item, LayoutAttribute attribute,
                                   std::weak_ptr<View> toItem, LayoutAttribute toAttribute,
                                   double multiplier, double constant, LayoutRelation relation)
    : item_(std::move(item)), attribute_(attribute), toItem_(std::move(toItem)),
      toAttribute_(toAttribute), multiplier_(multiplier), constant_(constant), relation_(relation) {
}

LayoutConstraint LayoutConstraint::toConstant(std::weak_ptr<View> item, LayoutAttribute attribute,
                                              double constant, LayoutRelation relation) {
    return {std::move(item), attribute, {}, LayoutAttribute::NotAnAttribute, 1.0,
            constant,        relation};
}

void LayoutConstraint::setConstant(double constant) {
    constant_ = constant;
    if (const auto holder = holder_.lock()) holder->setNeedsLayout();
}

LayoutConstraintPtr View::addConstraint(LayoutConstraint constraint) {
    auto shared = std::make_shared<LayoutConstraint>(std::move(constraint));
    addConstraint(shared);
    return shared;
}

void View::addConstraint(const LayoutConstraintPtr& constraint) {
    if (!constraint) return;
    if (const auto holder = constraint->holder()) {
        if (holder.get() == this) return;
        holder->removeConstraint(constraint.get());
    }
    constraint->holder_ = weak_from_this();
    constraints_.push_back(constraint);
    setNeedsLayout();
}

void View::removeConstraint(const LayoutConstraint* constraint) {
    const auto found = std::find_if(constraints_.begin(), constraints_.end(),
                                    [constraint](const auto& c) { return c.get() == constraint; });
    if (found == constraints_.end()) return;
    (*found)->holder_.reset();
    constraints_.erase(found);
    setNeedsLayout();
}

void View::removeConstraints(const std::vector<LayoutConstraintPtr>& constraints) {
    // A copy: the list may be this view's own.
    const auto removed = constraints;
    for (const auto& constraint : removed) removeConstraint(constraint.get());
}

void View::layoutIfNeeded() {
    const auto keep = weak_from_this().lock();
    if (needsLayout_) {
        needsLayout_ = false;
        const auto controller = viewController();
        if (controller) controller->prepareLayoutGuides();
        if (controller) controller->viewWillLayoutSubviews();
        applyConstraints(*this);
        layoutSubviews();
        if (controller) controller->viewDidLayoutSubviews();
    }
    const auto subviews = subviews_;
    for (const auto& subview : subviews) {
        if (subview->superview_.lock().get() == this) subview->layoutIfNeeded();
    }
}

void View::layoutSubviews() {}

gfx::Size View::sizeThatFits(gfx::Size) const {
    return bounds_.size;
}

gfx::Size View::intrinsicContentSize() const {
    return {-1, -1};
}

void View::sizeToFit() {
    const gfx::Size size = sizeThatFits(bounds_.size);
    if (transform_.isIdentity()) {
        setFrame({frame().origin, size});
    } else {
        setBounds({bounds_.origin, size});
    }
}

void View::draw(gfx::Canvas&, const gfx::Rect&) const {}

void View::setNeedsDisplay() {
    if (window_) window_->markNeedsDisplay();
}

void View::setNeedsDisplayInRect(const gfx::Rect& rect) {
    if (window_) window_->markNeedsDisplay(convertRectTo(rect, nullptr));
}

bool View::scrollWheel(gfx::Point, gfx::Point) {
    return false;
}

// MARK: hit testing and conversion

std::shared_ptr<View> View::hitTest(gfx::Point point) {
    if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_ || !pointInside(point)) return nullptr;
    // A view moving in an animation that does not allow interaction takes
    // no touches, nor do its subviews.
    if (animations_ && animations_->blocksUserInteraction()) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        const auto inverse = (*it)->transformToSuperview().inverted();
        if (!inverse) continue;
        if (auto hit = (*it)->hitTest(inverse->apply(point))) return hit;
    }
    return shared_from_this();
}

bool View::pointInside(gfx::Point point) const {
    return bounds_.contains(point);
}

gfx::AffineTransform View::transformToSuperview() const {
    const gfx::Point middle = bounds_.center();
    return gfx::AffineTransform::translation(-middle.x, -middle.y)
        .concat(transform_)
        .concat(gfx::AffineTransform::translation(center_.x, center_.y));
}

gfx::AffineTransform View::transformToRoot() const {
    gfx::AffineTransform result;
    const View* view = this;
    std::shared_ptr<View> superview;
    while (!isWindow(*view) && (superview = view->superview_.lock())) {
        result = result.concat(view->transformToSuperview());
        view = superview.get();
    }
    return result;
}

namespace {

// Maps a view's coordinates to another's through their roots.
gfx::AffineTransform between(const gfx::AffineTransform& fromToRoot,
                             const gfx::AffineTransform& toToRoot) {
    return fromToRoot.concat(toToRoot.inverted().value_or(gfx::AffineTransform::identity()));
}

}  // namespace

gfx::Point View::convertPointTo(gfx::Point point, const View* view) const {
    const auto target = view ? view->transformToRoot() : gfx::AffineTransform::identity();
    return between(transformToRoot(), target).apply(point);
}

gfx::Point View::convertPointFrom(gfx::Point point, const View* view) const {
    const auto source = view ? view->transformToRoot() : gfx::AffineTransform::identity();
    return between(source, transformToRoot()).apply(point);
}

gfx::Rect View::convertRectTo(const gfx::Rect& rect, const View* view) const {
    const auto target = view ? view->transformToRoot() : gfx::AffineTransform::identity();
    return between(transformToRoot(), target).apply(rect);
}

gfx::Rect View::convertRectFrom(const gfx::Rect& rect, const View* view) const {
    const auto source = view ? view->transformToRoot() : gfx::AffineTransform::identity();
    return between(source, transformToRoot()).apply(rect);
}

// MARK: gestures, responders, safe area

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (View* owner = recognizer->view(); owner && owner != this) {
        owner->removeGestureRecognizer(recognizer.get());
    }
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) ==
        gestureRecognizers_.end()) {
        gestureRecognizers_.push_back(recognizer);
    }
    recognizer->setView(this);
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer) {
    const auto found = std::find_if(gestureRecognizers_.begin(), gestureRecognizers_.end(),
                                    [recognizer](const auto& r) { return r.get() == recognizer; });
    if (found == gestureRecognizers_.end()) return;
    const auto removed = *found;
    gestureRecognizers_.erase(found);
    removed->setView(nullptr);
}

void View::setViewController(const std::shared_ptr<ViewController>& controller) {
    viewController_ = controller;
}

Responder* View::nextResponder() const {
    if (const auto controller = viewController_.lock()) return controller.get();
    return superview_.lock().get();
}

gfx::EdgeInsets View::safeAreaInsets() const {
    if (!window_) return {};
    const DeviceProfile& profile = DeviceProfile::current();
    const gfx::Rect safe = profile.screenBounds().inset(profile.safeAreaInsets);
    const gfx::Rect mine = convertRectTo(bounds_, nullptr);
    const auto overlap = [](double amount, double limit) { return std::clamp(amount, 0.0, limit); };
    return {overlap(safe.minY() - mine.minY(), mine.height()),
            overlap(safe.minX() - mine.minX(), mine.width()),
            overlap(mine.maxY() - safe.maxY(), mine.height()),
            overlap(mine.maxX() - safe.maxX(), mine.width())};
}

}  // namespace ui
