#pragma once
// What a view shows while its properties animate (its presentation) as
// against what they are (its model values, which take their end value at
// once). A view keeps its running animations here, in the order they were
// added; the renderer asks for the presentation of each property at the
// current clock time.
//
// A property's animation that starts while another of the same property
// runs takes over: it starts from what is on screen at that moment and the
// earlier one counts as not finished. One that asks to begin from the
// current state (beginFromCurrentState) lets the earlier ones run on
// through its delay and takes over when it begins, from what is on screen
// then. Setting a property without an animation drops its running ones.
//
// Animations follow the clock they were made on (a clock installed since
// ends them), or a timeline of their own that a gesture drives.
// Main thread only.

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "ui/AnimationTiming.h"

namespace core {
class Clock;
}

namespace ui {

class View;

enum class AnimatedProperty { Center, Bounds, Transform, Alpha, BackgroundColor };

// A property's value as numbers that interpolate one by one.
struct AnimatedValue {
    std::array<double, 6> c{};

    [[nodiscard]] static AnimatedValue of(gfx::Point point);
    [[nodiscard]] static AnimatedValue of(const gfx::Rect& rect);
    [[nodiscard]] static AnimatedValue of(const gfx::AffineTransform& transform);
    [[nodiscard]] static AnimatedValue of(double number);
    [[nodiscard]] static AnimatedValue of(gfx::Color color);
    [[nodiscard]] gfx::Point point() const { return {c[0], c[1]}; }
    [[nodiscard]] gfx::Rect rect() const { return {c[0], c[1], c[2], c[3]}; }
    [[nodiscard]] gfx::AffineTransform transform() const {
        return {c[0], c[1], c[2], c[3], c[4], c[5]};
    }
    [[nodiscard]] double number() const { return c[0]; }
    [[nodiscard]] gfx::Color color() const { return {c[0], c[1], c[2], c[3]}; }
    [[nodiscard]] AnimatedValue mixed(const AnimatedValue& to, double progress) const;

    friend bool operator==(const AnimatedValue&, const AnimatedValue&) = default;
};

// A time of its own for animations a gesture drives: held at a moment, or
// running on from where it was held.
class AnimationTimeline {
public:
    explicit AnimationTimeline(double clockNow) : heldAt_(clockNow) {}
    [[nodiscard]] double time(double clockNow) const {
        return held_ ? heldAt_ : clockNow - shift_;
    }
    [[nodiscard]] bool isHeld() const { return held_; }
    void holdAt(double time) {
        held_ = true;
        heldAt_ = time;
    }
    void resume(double clockNow) {
        if (!held_) return;
        shift_ = clockNow - heldAt_;
        held_ = false;
    }

private:
    bool held_ = true;
    double heldAt_;
    double shift_ = 0;
};

// While one lives, the animate blocks that begin run on its timeline (an
// interactive transition holds them at the gesture's progress). Scopes nest.
class AnimationTimelineScope {
public:
    explicit AnimationTimelineScope(std::shared_ptr<AnimationTimeline> timeline);
    ~AnimationTimelineScope();
    AnimationTimelineScope(const AnimationTimelineScope&) = delete;
    AnimationTimelineScope& operator=(const AnimationTimelineScope&) = delete;

    [[nodiscard]] static std::shared_ptr<AnimationTimeline> current();

private:
    std::shared_ptr<AnimationTimeline> outer_;
};

// What one animate call made, for its completion: taken over when any of
// its animations was.
struct AnimationGroup {
    bool takenOver = false;
    std::vector<std::weak_ptr<View>> views;
};

struct PropertyAnimation {
    AnimatedProperty property = AnimatedProperty::Alpha;
    AnimatedValue from;
    AnimatedValue to;
    double begin = 0;  // on the timeline, else on the clock
    double duration = 0;
    AnimationTiming timing;
    bool beginFromCurrentState = false;  // `from` is settled when it begins
    bool allowsUserInteraction = false;
    std::shared_ptr<AnimationTimeline> timeline;
    std::vector<std::shared_ptr<AnimationGroup>> groups;
    std::weak_ptr<core::Clock> clock;  // set by ViewAnimations::add
};

class ViewAnimations {
public:
    // Seconds on the current clock.
    [[nodiscard]] static double now();

    void add(PropertyAnimation animation);
    // Drops the property's animations (taken over when still running).
    void remove(AnimatedProperty property);
    void removeAll();
    // The property's presentation while any of its animations runs.
    [[nodiscard]] std::optional<AnimatedValue> value(AnimatedProperty property);
    // Whether anything runs or waits for its delay.
    [[nodiscard]] bool isAnimating();
    // Whether a running animation was made without allowUserInteraction.
    [[nodiscard]] bool blocksUserInteraction();

    // The process's views with animations: whether any still runs, and the
    // clock time by which every one made so far on the current clock has
    // ended (one held by a gesture counts as running).
    static void track(const std::shared_ptr<View>& view);
    [[nodiscard]] static bool anyAnimating();
    [[nodiscard]] static double animatedUntil();
    // Layer transitions and other drawing that moves until a clock time.
    static void noteMotionUntil(double clockTime);

private:
    [[nodiscard]] double localTime(const PropertyAnimation& animation, double clockNow) const;
    [[nodiscard]] bool hasEnded(const PropertyAnimation& animation, double clockNow) const;
    [[nodiscard]] std::optional<AnimatedValue> stack(AnimatedProperty property, size_t count,
                                                     double clockNow) const;
    void settle(double clockNow);

    std::vector<PropertyAnimation> running_;
};

}  // namespace ui
