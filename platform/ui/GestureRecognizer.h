#pragma once
// Gesture recognizers watch the touches that hit their view or its subviews
// before the views get them, and turn them into taps, pans and pinches.
// When a recognizer that cancels touches in its view recognizes, the views
// that were getting those touches receive touchesCancelled instead of the
// rest of the sequence. By default one recognizer wins a touch sequence:
// when one begins or recognizes, the window fails the others on the same
// touches that are still possible, unless either allows recognizing
// simultaneously. Main thread only.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "gfx/Geometry.h"
#include "ui/Touch.h"

namespace ui {

class View;

enum class GestureState { Possible, Began, Changed, Ended, Cancelled, Failed, Recognized = Ended };

class GestureRecognizer;

// Decides for a recognizer, next to its predicates: whether it may begin
// and whether it may recognize together with another one.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(const GestureRecognizer&) { return true; }
    virtual bool
    shouldRecognizeSimultaneouslyWithGestureRecognizer(const GestureRecognizer& /*recognizer*/,
                                                       const GestureRecognizer& /*other*/) {
        return false;
    }
};

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer&)>;

    explicit GestureRecognizer(Action action = {});
    virtual ~GestureRecognizer() = default;

    void addAction(Action action);
    [[nodiscard]] GestureState state() const { return state_; }
    [[nodiscard]] View* view() const { return view_; }
    [[nodiscard]] bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    [[nodiscard]] bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    // Location of the gesture (the centroid of its touches) in a view.
    [[nodiscard]] virtual gfx::Point locationInView(const View* view) const;
    [[nodiscard]] size_t numberOfTouches() const { return touches_.size(); }

    // Called by the window while delivering.
    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);
    // Back to Possible once every touch has ended (the window calls it when
    // the touches of a recognizer that left Possible have all ended).
    virtual void reset();

    using Predicate = std::function<bool(const GestureRecognizer& recognizer)>;
    // Asked when the recognizer is about to leave Possible for Began or
    // Recognized; false fails it instead.
    void setShouldBegin(Predicate predicate) { shouldBegin_ = std::move(predicate); }
    // Asked with the other recognizer when one of the two wins.
    void setRecognizesSimultaneously(Predicate predicate) { simultaneous_ = std::move(predicate); }
    // The predicate's yes, else the delegate's answer.
    [[nodiscard]] bool recognizesSimultaneouslyWith(const GestureRecognizer& other) const;
    // Held weakly; asked after the predicates.
    [[nodiscard]] std::shared_ptr<GestureRecognizerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(const std::shared_ptr<GestureRecognizerDelegate>& delegate) {
        delegate_ = delegate;
    }
    // Fails a recognizer that is still Possible (the window, when another one wins).
    void fail();

    // Set by View::addGestureRecognizer.
    void setView(View* view) { view_ = view; }

protected:
    // Moves to the state and calls the actions for Began, Changed, Ended
    // (Recognized) and Cancelled.
    void setState(GestureState state);
    // Asked first when the recognizer is about to leave Possible for Began
    // or Recognized, before the predicate and the delegate: a subclass that
    // holds back for reasons of its own answers false, which fails it.
    [[nodiscard]] virtual bool canBegin() { return true; }
    [[nodiscard]] const TouchSet& touches() const { return touches_; }

    // The centroid of the touches in window coordinates (of the last ones
    // when all have ended).
    [[nodiscard]] gfx::Point centroid() const;
    // Seconds on the current clock.
    [[nodiscard]] static double now();

private:
    void noteCentroid();

    std::vector<Action> actions_;
    GestureState state_ = GestureState::Possible;
    View* view_ = nullptr;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    TouchSet touches_;
    gfx::Point lastCentroid_;
    Predicate shouldBegin_;
    Predicate simultaneous_;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
};

// Recognizes after the given number of taps (each a touch that ends within
// 10 points of where it began).
class TapGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    int numberOfTapsRequired = 1;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

private:
    gfx::Point start_;
    int taps_ = 0;
    gfx::Point firstTapLocation_;
    double lastTapEnd_ = 0;
};

// Begins once a touch has moved 10 points; reports translation and velocity
// (points per second on the clock).
class PanGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    [[nodiscard]] gfx::Point translationInView(const View* view) const;
    void setTranslation(gfx::Point translation, const View* view);
    [[nodiscard]] gfx::Point velocityInView(const View* view) const;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

private:
    // Keeps the translation continuous when a finger is added or lifted.
    void shiftStart(gfx::Point centroidBefore);
    void noteMove(gfx::Point position);

    gfx::Point start_;  // window coordinates
    gfx::Point last_;   // where the velocity was last measured
    gfx::Point current_;
    gfx::Point velocity_;  // window coordinates, points per second
    double lastTime_ = 0;
};

// One finger moving quickly in one of the allowed directions: recognizes
// once it has moved kMinimumDistance that way within kMaximumDuration on the
// clock, straying sideways at most half as far as it went; fails when it
// ends short, strays, turns away by more than kSlack or takes too long.
class SwipeGestureRecognizer : public GestureRecognizer {
public:
    // Direction bits.
    static constexpr unsigned kRight = 1;
    static constexpr unsigned kLeft = 2;
    static constexpr unsigned kUp = 4;
    static constexpr unsigned kDown = 8;
    static constexpr double kMinimumDistance = 30;
    static constexpr double kMaximumDuration = 0.5;
    static constexpr double kSlack = 10;

    using GestureRecognizer::GestureRecognizer;
    unsigned direction = kRight;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

private:
    // Recognizes or fails from where the touch has got to.
    void evaluate(bool ended);

    gfx::Point start_;  // window coordinates
    double startTime_ = 0;
};

// Two fingers moving apart or together. Begins once the distance between
// the first two touches has changed by 5% or by 10 points; reports the
// scale (current distance over the distance when the second finger came
// down) and its velocity (scale per second on the clock). The location is
// the centroid of the touches. Ends when a finger lifts.
class PinchGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kBeginFraction = 0.05;
    static constexpr double kBeginDistance = 10;

    using GestureRecognizer::GestureRecognizer;
    [[nodiscard]] double scale() const { return scale_; }
    void setScale(double scale);
    [[nodiscard]] double velocity() const { return velocity_; }
    // The centroid when the second finger came down, where the scale is 1.
    [[nodiscard]] gfx::Point startLocationInView(const View* view) const;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

private:
    // Between the first two touches; 0 with fewer.
    [[nodiscard]] double distance() const;

    double startDistance_ = 0;
    gfx::Point startCentroid_;  // window coordinates
    double scale_ = 1;
    double velocity_ = 0;
    double lastTime_ = 0;
};

}  // namespace ui
