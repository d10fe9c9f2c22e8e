#include "ui/ViewAnimations.h"

#include <algorithm>
#include <limits>

#include "core/Clock.h"
#include "ui/View.h"

namespace ui {

namespace {

// The views that have had animations, for the questions about all of them.
std::vector<std::weak_ptr<View>> tracked;

// The latest end of anything that moved, and the clock it is on.
struct Motion {
    std::weak_ptr<core::Clock> clock;
    double until = 0;
};
Motion motion;

bool sameClock(const std::weak_ptr<core::Clock>& clock) {
    const auto locked = clock.lock();
    return locked && locked == core::Clock::current();
}

}  // namespace

AnimatedValue AnimatedValue::of(gfx::Point point) {
    return {{point.x, point.y}};
}

AnimatedValue AnimatedValue::of(const gfx::Rect& rect) {
    return {{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}};
}

AnimatedValue AnimatedValue::of(const gfx::AffineTransform& t) {
    return {{t.a, t.b, t.c, t.d, t.tx, t.ty}};
}

AnimatedValue AnimatedValue::of(double number) {
    return {{number}};
}

AnimatedValue AnimatedValue::of(gfx::Color color) {
    return {{color.red, color.green, color.blue, color.alpha}};
}

AnimatedValue AnimatedValue::mixed(const AnimatedValue& to, double progress) const {
    AnimatedValue result;
    for (size_t i = 0; i < c.size(); ++i) result.c[i] = c[i] + (to.c[i] - c[i]) * progress;
    return result;
}

double ViewAnimations::now() {
    return core::Clock::current()->monotonicSeconds();
}

double ViewAnimations::localTime(const PropertyAnimation& animation, double clockNow) const {
    return animation.timeline ? animation.timeline->time(clockNow) : clockNow;
}

bool ViewAnimations::hasEnded(const PropertyAnimation& animation, double clockNow) const {
    if (!sameClock(animation.clock)) return true;
    return localTime(animation, clockNow) >= animation.begin + animation.duration;
}

void ViewAnimations::add(PropertyAnimation animation) {
    const double clockNow = now();
    animation.clock = core::Clock::current();
    if (!animation.beginFromCurrentState) {
        // A property set twice in one animate block is one animation of it,
        // not a takeover.
        std::erase_if(running_, [&](const PropertyAnimation& earlier) {
            if (earlier.property != animation.property) return false;
            const bool sameBlock = !earlier.groups.empty() && !animation.groups.empty() &&
                                   earlier.groups.back() == animation.groups.back();
            if (!sameBlock && !hasEnded(earlier, clockNow)) {
                for (const auto& group : earlier.groups) group->takenOver = true;
            }
            return true;
        });
    }
    const bool held = animation.timeline && animation.timeline->isHeld();
    if (!held) {
        const double end =
            clockNow + (animation.begin + animation.duration - localTime(animation, clockNow));
        noteMotionUntil(end);
    }
    running_.push_back(std::move(animation));
    settle(clockNow);
}

void ViewAnimations::remove(AnimatedProperty property) {
    const double clockNow = now();
    if (std::any_of(running_.begin(), running_.end(),
                    [property](const auto& a) { return a.property == property; })) {
        noteMotionUntil(clockNow);
    }
    std::erase_if(running_, [&](const PropertyAnimation& animation) {
        if (animation.property != property) return false;
        if (!hasEnded(animation, clockNow)) {
            for (const auto& group : animation.groups) group->takenOver = true;
        }
        return true;
    });
}

void ViewAnimations::removeAll() {
    for (const auto property :
         {AnimatedProperty::Center, AnimatedProperty::Bounds, AnimatedProperty::Transform,
          AnimatedProperty::Alpha, AnimatedProperty::BackgroundColor}) {
        remove(property);
    }
}

std::optional<AnimatedValue> ViewAnimations::value(AnimatedProperty property) {
    const double clockNow = now();
    settle(clockNow);
    return stack(property, running_.size(), clockNow);
}

bool ViewAnimations::isAnimating() {
    settle(now());
    return !running_.empty();
}

bool ViewAnimations::blocksUserInteraction() {
    settle(now());
    return std::any_of(running_.begin(), running_.end(),
                       [](const auto& animation) { return !animation.allowsUserInteraction; });
}

std::optional<AnimatedValue> ViewAnimations::stack(AnimatedProperty property, size_t count,
                                                   double clockNow) const {
    size_t index = count;
    while (index > 0 && running_[index - 1].property != property) --index;
    if (index == 0) return std::nullopt;
    const PropertyAnimation& animation = running_[index - 1];
    if (hasEnded(animation, clockNow)) return animation.to;
    const double time = localTime(animation, clockNow);
    if (animation.beginFromCurrentState && time < animation.begin) {
        // Still in its delay: what runs below it shows.
        if (auto below = stack(property, index - 1, clockNow)) return below;
        return animation.from;
    }
    const double fraction =
        animation.duration > 0 ? (time - animation.begin) / animation.duration : 1;
    return animation.from.mixed(animation.to,
                                animation.timing.progress(fraction, animation.duration));
}

void ViewAnimations::settle(double clockNow) {
    // Animations that begin from the current state take over as they begin.
    for (size_t j = 0; j < running_.size(); ++j) {
        PropertyAnimation& animation = running_[j];
        if (!animation.beginFromCurrentState || !sameClock(animation.clock)) continue;
        const double time = localTime(animation, clockNow);
        if (time < animation.begin) continue;
        const double clockAtBegin = clockNow - (time - animation.begin);
        if (auto below = stack(animation.property, j, clockAtBegin)) animation.from = *below;
        animation.beginFromCurrentState = false;
        const AnimatedProperty property = animation.property;
        size_t removed = 0;
        for (size_t i = 0; i < j; ++i) {
            const PropertyAnimation& earlier = running_[i - removed];
            if (earlier.property != property) continue;
            if (!hasEnded(earlier, clockAtBegin)) {
                for (const auto& group : earlier.groups) group->takenOver = true;
            }
            running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i - removed));
            ++removed;
        }
        j -= removed;
    }
    // A property whose last animation has ended shows its model value.
    std::vector<AnimatedProperty> ended;
    for (size_t j = running_.size(); j-- > 0;) {
        const AnimatedProperty property = running_[j].property;
        const bool later = std::any_of(running_.begin() + static_cast<std::ptrdiff_t>(j) + 1,
                                       running_.end(),
                                       [property](const auto& a) { return a.property == property; });
        if (!later && hasEnded(running_[j], clockNow)) ended.push_back(property);
    }
    if (ended.empty()) return;
    std::erase_if(running_, [&ended](const PropertyAnimation& animation) {
        return std::find(ended.begin(), ended.end(), animation.property) != ended.end();
    });
    // One more frame shows the end.
    noteMotionUntil(clockNow);
}

void ViewAnimations::track(const std::shared_ptr<View>& view) {
    for (const auto& known : tracked) {
        if (known.lock() == view) return;
    }
    tracked.push_back(view);
}

bool ViewAnimations::anyAnimating() {
    bool any = false;
    std::erase_if(tracked, [&any](const std::weak_ptr<View>& weak) {
        const auto view = weak.lock();
        ViewAnimations* animations = view ? view->runningAnimations() : nullptr;
        if (!animations || !animations->isAnimating()) return true;
        any = true;
        return false;
    });
    return any;
}

double ViewAnimations::animatedUntil() {
    if (anyAnimating()) return std::numeric_limits<double>::infinity();
    return sameClock(motion.clock) ? motion.until : 0;
}

void ViewAnimations::noteMotionUntil(double clockTime) {
    if (!sameClock(motion.clock)) motion = {core::Clock::current(), clockTime};
    motion.until = std::max(motion.until, clockTime);
}

}  // namespace ui
