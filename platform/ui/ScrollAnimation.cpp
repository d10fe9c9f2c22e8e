#include "ui/ScrollAnimation.h"

#include <algorithm>
#include <cmath>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "ui/AnimationActivity.h"

namespace ui {

struct ScrollAnimation::Run {
    gfx::Point from;
    gfx::Point to;
    double start = 0;
    double duration = 0;
    int frames = 1;
    int frame = 0;
    Curve curve = Curve::EaseInOut;
    Frame onFrame;
    Finish onFinish;
    std::shared_ptr<core::Timer> timer;
    bool cancelled = false;
    ScrollAnimation* owner = nullptr;
};

ScrollAnimation::~ScrollAnimation() {
    cancel();
}

double ScrollAnimation::progress(Curve curve, double t) {
    t = std::clamp(t, 0.0, 1.0);
    switch (curve) {
    case Curve::EaseInOut:
        return t < 0.5 ? 4 * t * t * t : 1 - std::pow(2 - 2 * t, 3) / 2;
    case Curve::EaseOut:
        return 1 - std::pow(1 - t, 3);
    }
    return t;
}

void ScrollAnimation::start(gfx::Point from, gfx::Point to, double duration, Curve curve,
                            Frame frame, Finish finish) {
    cancel();
    auto run = std::make_shared<Run>();
    run->from = from;
    run->to = to;
    run->start = core::Clock::current()->monotonicSeconds();
    run->duration = std::max(duration, 0.0);
    run->frames = std::max(1, static_cast<int>(std::lround(run->duration * kFramesPerSecond)));
    run->curve = curve;
    run->onFrame = std::move(frame);
    run->onFinish = std::move(finish);
    run->owner = this;
    // A hair under duration / frames, so that rounding in the timer's
    // accumulated fire dates never pushes the last frame past the duration.
    const double interval = run->duration / run->frames - 1e-7;
    run_ = run;
    AnimationActivity::began();
    run->timer = core::Timer::schedule(core::RunLoop::main(), std::max(interval, 1e-4), true,
                                       [run](core::Timer&) { step(run); });
}

void ScrollAnimation::cancel() {
    if (!run_) return;
    run_->cancelled = true;
    run_->owner = nullptr;
    if (run_->timer) run_->timer->invalidate();
    run_.reset();
    AnimationActivity::ended();
}

void ScrollAnimation::step(const std::shared_ptr<Run>& run) {
    if (run->cancelled) return;
    run->frame += 1;
    const double elapsed = core::Clock::current()->monotonicSeconds() - run->start;
    double t = static_cast<double>(run->frame) / run->frames;
    if (run->duration > 0) t = std::max(t, elapsed / run->duration);
    const bool last = t >= 1;
    gfx::Point point = run->to;
    if (!last) {
        const double p = progress(run->curve, t);
        point = {run->from.x + (run->to.x - run->from.x) * p,
                 run->from.y + (run->to.y - run->from.y) * p};
    } else {
        run->timer->invalidate();
        // Finished before the callbacks, so a start() from inside them is a
        // fresh animation rather than a cancellation of this one.
        run->cancelled = true;
        if (run->owner) run->owner->run_.reset();
        run->owner = nullptr;
        AnimationActivity::ended();
    }
    if (run->onFrame) run->onFrame(point);
    if (last && run->onFinish) run->onFinish();
}

}  // namespace ui
