// View::animate: the end state is set at once in the model; the changes
// made in the block are drawn moving (ViewAnimations); the completion
// follows the clock. Nested blocks share the timing of the outermost one.

#include <algorithm>
#include <utility>
#include <vector>

#include "core/Queue.h"
#include "ui/AnimationActivity.h"
#include "ui/AnimationCompletionCapture.h"
#include "ui/View.h"
#include "ui/ViewAnimations.h"

namespace ui {

namespace {

// The timing of the animate blocks running now, innermost last (main
// thread only). Nested blocks copy the outermost one's timing and add a
// group of their own.
struct Block {
    double seconds = 0;  // from the call until the completion
    double begin = 0;    // on the timeline, else on the clock
    double duration = 0;
    AnimationTiming timing;
    ViewAnimationOptions options;
    std::shared_ptr<AnimationTimeline> timeline;
    std::vector<std::shared_ptr<AnimationGroup>> groups;
    bool animates = true;  // false inside performWithoutAnimation
};

std::vector<Block> blocks;
std::shared_ptr<AnimationTimeline> currentTimeline;

class BlockScope {
public:
    BlockScope(double duration, const AnimationTiming& timing, const ViewAnimationOptions& options) {
        Block block;
        if (blocks.empty()) {
            block.duration = std::max(0.0, duration);
            block.seconds = std::max(0.0, options.delay) + block.duration;
            block.timing = timing;
            block.options = options;
            block.timeline = currentTimeline;
            const double now = ViewAnimations::now();
            block.begin = (block.timeline ? block.timeline->time(now) : now) +
                          std::max(0.0, options.delay);
        } else {
            block = blocks.front();
            block.groups = blocks.back().groups;
            block.animates = blocks.back().animates;
        }
        block.groups.push_back(std::make_shared<AnimationGroup>());
        blocks.push_back(std::move(block));
    }
    ~BlockScope() { blocks.pop_back(); }
    BlockScope(const BlockScope&) = delete;
    BlockScope& operator=(const BlockScope&) = delete;

    [[nodiscard]] const Block& block() const { return blocks.back(); }
};

void run(double duration, const AnimationTiming& timing, const std::function<void()>& animations,
         std::function<void(bool finished)> completion, const ViewAnimationOptions& options) {
    double seconds = 0;
    std::shared_ptr<AnimationGroup> group;
    {
        const BlockScope scope(duration, timing, options);
        seconds = scope.block().seconds;
        group = scope.block().groups.back();
        if (animations) animations();
    }
    if (!completion) return;
    if (auto* capture = AnimationCompletionCapture::current()) {
        capture->add(std::move(completion));
        return;
    }
    AnimationActivity::began();
    auto finish = [completion = std::move(completion), group] {
        AnimationActivity::ended();
        // Settles takeovers that happened as later animations began.
        for (const auto& weak : group->views) {
            if (const auto view = weak.lock()) (void)view->isAnimating();
        }
        completion(!group->takenOver);
    };
    if (seconds > 0) {
        core::Queue::main()->after(seconds, std::move(finish));
    } else {
        core::Queue::main()->async(std::move(finish));
    }
}

}  // namespace

AnimationTimelineScope::AnimationTimelineScope(std::shared_ptr<AnimationTimeline> timeline)
    : outer_(std::exchange(currentTimeline, std::move(timeline))) {}

AnimationTimelineScope::~AnimationTimelineScope() {
    currentTimeline = std::move(outer_);
}

std::shared_ptr<AnimationTimeline> AnimationTimelineScope::current() {
    return currentTimeline;
}

void View::animate(double duration, const std::function<void()>& animations,
                   std::function<void(bool finished)> completion, AnimationOptions options) {
    AnimationTiming timing;
    timing.curve = options.curve;
    run(duration, timing, animations, std::move(completion), options);
}

void View::animateWithSpring(double duration, double damping, double initialVelocity,
                             const std::function<void()>& animations,
                             std::function<void(bool finished)> completion,
                             AnimationOptions options) {
    run(duration, AnimationTiming::spring(damping, initialVelocity), animations,
        std::move(completion), options);
}

void View::performWithoutAnimation(const std::function<void()>& changes) {
    Block block;
    block.animates = false;
    if (!blocks.empty()) block.groups = blocks.back().groups;
    blocks.push_back(std::move(block));
    struct Pop {
        ~Pop() { blocks.pop_back(); }
    } pop;
    if (changes) changes();
}

bool View::isInsideAnimation() {
    return !blocks.empty() && blocks.back().animates;
}

void View::animateChange(AnimatedProperty property, const AnimatedValue& before,
                         const AnimatedValue& after) {
    const Block* block = blocks.empty() ? nullptr : &blocks.back();
    const auto self = weak_from_this().lock();
    if (!block || !block->animates || block->duration <= 0 || !self) {
        if (animations_) animations_->remove(property);
        return;
    }
    AnimatedValue from = before;
    if (animations_) {
        if (auto shown = animations_->value(property)) from = *shown;
    } else {
        animations_ = std::make_unique<ViewAnimations>();
    }
    PropertyAnimation animation;
    animation.property = property;
    animation.from = from;
    animation.to = after;
    animation.begin = block->begin;
    animation.duration = block->duration;
    animation.timing = block->timing;
    animation.beginFromCurrentState = block->options.beginFromCurrentState;
    animation.allowsUserInteraction = block->options.allowUserInteraction;
    animation.timeline = block->timeline;
    animation.groups = block->groups;
    for (const auto& group : block->groups) group->views.push_back(self);
    animations_->add(std::move(animation));
    ViewAnimations::track(self);
}

void View::addAnimation(PropertyAnimation animation) {
    const auto self = weak_from_this().lock();
    if (!self) return;
    if (!animations_) animations_ = std::make_unique<ViewAnimations>();
    animations_->add(std::move(animation));
    ViewAnimations::track(self);
    setNeedsDisplay();
}

void View::removeAllAnimations() {
    if (animations_) animations_->removeAll();
    setNeedsDisplay();
}

bool View::isAnimating() const {
    return animations_ && animations_->isAnimating();
}

gfx::Point View::presentationCenter() const {
    if (!animations_) return center_;
    const auto value = animations_->value(AnimatedProperty::Center);
    return value ? value->point() : center_;
}

gfx::Rect View::presentationBounds() const {
    if (!animations_) return bounds_;
    const auto value = animations_->value(AnimatedProperty::Bounds);
    return value ? value->rect() : bounds_;
}

gfx::AffineTransform View::presentationTransform() const {
    if (!animations_) return transform_;
    const auto value = animations_->value(AnimatedProperty::Transform);
    return value ? value->transform() : transform_;
}

double View::presentationAlpha() const {
    if (!animations_) return alpha_;
    const auto value = animations_->value(AnimatedProperty::Alpha);
    return value ? std::clamp(value->number(), 0.0, 1.0) : alpha_;
}

std::optional<gfx::Color> View::presentationBackgroundColor() const {
    if (!animations_) return backgroundColor_;
    const auto value = animations_->value(AnimatedProperty::BackgroundColor);
    if (!value) return backgroundColor_;
    const gfx::Color color = value->color();
    return gfx::Color{std::clamp(color.red, 0.0, 1.0), std::clamp(color.green, 0.0, 1.0),
                      std::clamp(color.blue, 0.0, 1.0), std::clamp(color.alpha, 0.0, 1.0)};
}

}  // namespace ui
