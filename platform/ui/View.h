#pragma once
// A rectangle on screen: a node of the view tree with a frame in its
// superview's coordinates, bounds in its own, an optional transform about its
// centre, appearance (hidden, alpha, background colour, corner radius,
// clipping), ordered subviews (later ones draw above), a layout pass, hit
// testing and point/rect conversion between any two views of one tree.
//
// Views are made with std::make_shared (subclasses likewise) and live in
// std::shared_ptr; a superview owns its subviews, a subview knows its
// superview weakly. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Font.h"
#include "gfx/Geometry.h"
#include "ui/AnimationTiming.h"
#include "ui/LayerTransition.h"
#include "ui/Responder.h"

namespace gfx {
class Canvas;
class Image;
}  // namespace gfx

namespace ui {

class GestureRecognizer;
class ViewAnimations;
class ViewController;
class Window;
struct PropertyAnimation;
enum class AnimatedProperty;
struct AnimatedValue;

// View::AnimationOptions (outside the class, so that it can be a default
// argument of View::animate).
struct ViewAnimationOptions {
    double delay = 0;
    // Touches reach the animated views while they move (else they are
    // ignored until the animations end).
    bool allowUserInteraction = false;
    AnimationCurve curve = AnimationCurve::EaseInOut;
    // Lets a running animation of the same property go on through this
    // one's delay; this one then starts from what is on screen as it
    // begins. (Without it, it takes over at once, from what is on screen.)
    bool beginFromCurrentState = false;
};

// A layout rule: item.attribute (relation) toItem.toAttribute * multiplier +
// constant. Without a toItem (or with NotAnAttribute) the right side is the
// constant alone. Leading and trailing are left and right (text runs left to
// right here). A constraint is held by one view (View::addConstraint), which
// applies it in its layout pass to an item that is one of its subviews; a
// subview's own constraints on itself alone (a constant width, an aspect
// ratio) are applied by its superview too. toItem may be the holder (its
// bounds), a sibling (its frame) or any view of the tree (converted).
enum class LayoutAttribute {
    Width,
    Height,
    CenterX,
    CenterY,
    Top,
    Bottom,
    Left,
    Right,
    Leading,
    Trailing,
    NotAnAttribute,
};

enum class LayoutRelation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

class View;

// What a view shows as text, for code that describes views: each part the
// view has (a label: all three; see the view classes).
struct DisplayedText {
    std::optional<std::string> text;
    std::optional<gfx::Font> font;
    std::optional<gfx::Color> textColor;
};

class LayoutConstraint {
public:
    LayoutConstraint(std::weak_ptr<View> item, LayoutAttribute attribute,
                     std::weak_ptr<View> toItem, LayoutAttribute toAttribute,
                     double multiplier = 1.0, double constant = 0.0,
                     LayoutRelation relation = LayoutRelation::Equal);
    // item.attribute (relation) constant.
    [[nodiscard]] static LayoutConstraint
    toConstant(std::weak_ptr<View> item, LayoutAttribute attribute, double constant,
               LayoutRelation relation = LayoutRelation::Equal);

    [[nodiscard]] std::shared_ptr<View> item() const { return item_.lock(); }
    [[nodiscard]] LayoutAttribute attribute() const { return attribute_; }
    [[nodiscard]] LayoutRelation relation() const { return relation_; }
    [[nodiscard]] std::shared_ptr<View> toItem() const { return toItem_.lock(); }
    [[nodiscard]] LayoutAttribute toAttribute() const { return toAttribute_; }
    [[nodiscard]] double multiplier() const { return multiplier_; }
    [[nodiscard]] double constant() const { return constant_; }
    // Changes the constant and marks the holder for layout.
    void setConstant(double constant);
    // The view that holds the constraint, while one does.
    [[nodiscard]] std::shared_ptr<View> holder() const { return holder_.lock(); }

private:
    friend class View;

    std::weak_ptr<View> item_;
    LayoutAttribute attribute_;
    std::weak_ptr<View> toItem_;
    LayoutAttribute toAttribute_;
    double multiplier_;
    double constant_;
    LayoutRelation relation_;
    std::weak_ptr<View> holder_;
};

using LayoutConstraintPtr = std::shared_ptr<LayoutConstraint>;

class View : public Responder, public std::enable_shared_from_this<View> {
public:
    explicit View(gfx::Rect frame = {});
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Geometry. The frame is derived from centre, bounds size and transform;
    // setting it with a non-identity transform keeps the transform.
    [[nodiscard]] gfx::Rect frame() const;
    virtual void setFrame(const gfx::Rect& frame);
    [[nodiscard]] gfx::Rect bounds() const { return bounds_; }
    virtual void setBounds(const gfx::Rect& bounds);
    [[nodiscard]] gfx::Point center() const { return center_; }
    void setCenter(gfx::Point center);
    [[nodiscard]] gfx::AffineTransform transform() const { return transform_; }
    void setTransform(const gfx::AffineTransform& transform);

    // Appearance.
    [[nodiscard]] bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    [[nodiscard]] double alpha() const { return alpha_; }
    virtual void setAlpha(double alpha);
    [[nodiscard]] std::optional<gfx::Color> backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<gfx::Color> color);
    [[nodiscard]] double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    [[nodiscard]] bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips);
    // A border drawn inside the bounds along the corner radius, above the
    // subviews. Its colour is black until one is set.
    [[nodiscard]] double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    [[nodiscard]] std::optional<gfx::Color> borderColor() const;
    void setBorderColor(gfx::Color color);
    [[nodiscard]] int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    [[nodiscard]] bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    // A name for tests and diagnostics.
    [[nodiscard]] const std::string& accessibilityIdentifier() const { return identifier_; }
    void setAccessibilityIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // Hierarchy.
    [[nodiscard]] std::shared_ptr<View> superview() const { return superview_.lock(); }
    [[nodiscard]] const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    // Adding a view that has another superview moves it; adding it again to
    // the same superview brings it to the front.
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, size_t index);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling);
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    virtual void removeFromSuperview();
    [[nodiscard]] std::shared_ptr<Window> window() const;
    [[nodiscard]] bool isDescendantOf(const View* view) const;
    // Depth-first search of this view and its subviews.
    [[nodiscard]] std::shared_ptr<View> viewWithTag(int tag);

    // Hooks around hierarchy changes.
    virtual void willMoveToSuperview(View* newSuperview);
    virtual void didMoveToSuperview();
    virtual void willMoveToWindow(Window* newWindow);
    virtual void didMoveToWindow();
    virtual void didAddSubview(View* subview);
    virtual void willRemoveSubview(View* subview);

    // Layout: setNeedsLayout marks the view; layoutIfNeeded runs
    // layoutSubviews on marked views from here down. A bounds size change
    // marks the view. The window lays out before every render and after
    // every injected event.
    void setNeedsLayout();
    void layoutIfNeeded();
    virtual void layoutSubviews();
    [[nodiscard]] bool needsLayout() const { return needsLayout_; }
    [[nodiscard]] virtual gfx::Size sizeThatFits(gfx::Size size) const;
    [[nodiscard]] virtual gfx::Size intrinsicContentSize() const;
    void sizeToFit();

    // Drawing: the view's own content, in bounds coordinates, above its
    // background and below its subviews.
    virtual void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const;
    void setNeedsDisplay();
    // Only rect (in this view's coordinates) of what the view shows changed.
    void setNeedsDisplayInRect(const gfx::Rect& rect);
    // A new view, as large as this one's bounds, that shows what this view
    // and its subviews draw now, laid out (the only pending update there is,
    // so afterUpdates changes nothing), at this view's alpha and without its
    // transform. It is in no tree and takes no touches; nullptr when this
    // view has no area.
    [[nodiscard]] std::shared_ptr<View> snapshotViewAfterScreenUpdates(bool afterUpdates);

    // The part of the bounds visible on screen, in this view's coordinates:
    // inside the window's bounds, the screen and the bounds of every
    // ancestor that clips. Empty when the view is in no window, or it, an
    // ancestor or the window is hidden. Transforms give bounding boxes.
    [[nodiscard]] gfx::Rect visibleRect() const;

    // The text this view shows; nothing for a plain view.
    [[nodiscard]] virtual DisplayedText displayedText() const { return {}; }

    // Layer transitions, kept under their key (a new one replaces the one
    // of the same key) until their duration has passed on the clock. What
    // the view shows changes at once in its model; the renderer draws the
    // transition from what the view showed in the last frame drawn of it
    // (a view remembers that from its first transition on, or once
    // setRetainsLastDrawing is set) to what it shows now.
    void addTransition(const LayerTransition& transition, const std::string& key);
    [[nodiscard]] std::optional<LayerTransition> transitionForKey(const std::string& key) const;
    [[nodiscard]] std::vector<std::string> transitionKeys() const;
    void removeAllTransitions();

    // The desktop's wheel over the view, for content of its own that the
    // view scrolls (a web page): `location` in the view's coordinates,
    // `delta` in points the content moves by (positive: towards its end).
    // Answers whether the view took it; the default takes nothing.
    virtual bool scrollWheel(gfx::Point location, gfx::Point delta);

    // Hit testing: the deepest visible, interaction-enabled view containing
    // the point (in this view's coordinates), later subviews first.
    [[nodiscard]] virtual std::shared_ptr<View> hitTest(gfx::Point point);
    [[nodiscard]] virtual bool pointInside(gfx::Point point) const;

    // Conversion between the coordinates of two views of one tree
    // (nullptr: the window's), honouring every transform on the way.
    [[nodiscard]] gfx::Point convertPointTo(gfx::Point point, const View* view) const;
    [[nodiscard]] gfx::Point convertPointFrom(gfx::Point point, const View* view) const;
    [[nodiscard]] gfx::Rect convertRectTo(const gfx::Rect& rect, const View* view) const;
    [[nodiscard]] gfx::Rect convertRectFrom(const gfx::Rect& rect, const View* view) const;

    // Gesture recognizers see the touches of this view and its subviews
    // before the views do.
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const GestureRecognizer* recognizer);
    [[nodiscard]] const std::vector<std::shared_ptr<GestureRecognizer>>&
    gestureRecognizers() const {
        return gestureRecognizers_;
    }

    // The controller whose root view this is (set by the controller).
    [[nodiscard]] std::shared_ptr<ViewController> viewController() const {
        return viewController_.lock();
    }
    void setViewController(const std::shared_ptr<ViewController>& controller);

    // Autoresizing: when this view's bounds change size, each subview whose
    // mask has flexible parts shares the change out among them along each
    // axis, in proportion to their sizes before (equally when all are 0);
    // the other parts keep their size. Subviews that do not translate the
    // mask into constraints are left alone.
    static constexpr unsigned kFlexibleLeftMargin = 1;
    static constexpr unsigned kFlexibleWidth = 2;
    static constexpr unsigned kFlexibleRightMargin = 4;
    static constexpr unsigned kFlexibleTopMargin = 8;
    static constexpr unsigned kFlexibleHeight = 16;
    static constexpr unsigned kFlexibleBottomMargin = 32;
    [[nodiscard]] unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }

    // Constraints held by this view for its subviews, applied in each layout
    // pass before layoutSubviews (see LayoutConstraint). A view placed by
    // constraints should not translate its autoresizing mask. Adding a constraint another view
    // holds moves it here; adding or removing one marks this view for layout. Each item's axis is
    // solved once, after the siblings it refers to: two of its edges, centre and size give the
    // rest; with fewer, the size is the intrinsic content size when there is one, else the current
    // size, and the position the current one. Inequalities then clamp. Over-determined axes keep
    // the leading edge and the size.
    LayoutConstraintPtr addConstraint(LayoutConstraint constraint);
    void addConstraint(const LayoutConstraintPtr& constraint);
    void removeConstraint(const LayoutConstraint* constraint);
    void removeConstraints(const std::vector<LayoutConstraintPtr>& constraints);
    [[nodiscard]] const std::vector<LayoutConstraintPtr>& constraints() const {
        return constraints_;
    }
    [[nodiscard]] bool translatesAutoresizingMaskIntoConstraints() const {
        return translatesAutoresizingMask_;
    }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
        translatesAutoresizingMask_ = translates;
    }

    [[nodiscard]] Responder* nextResponder() const override;

    // The safe area of the device profile, in this view's coordinates,
    // limited to the part of the screen it covers.
    [[nodiscard]] gfx::EdgeInsets safeAreaInsets() const;

    // Animations: the block sets the end state at once (the model); the
    // frame, bounds, centre, transform, alpha and background colour it
    // changes are drawn moving from what was on screen to the end state
    // over the duration after the delay, along the curve (see
    // ViewAnimations). The completion runs on the main queue after delay +
    // duration on the current clock, with finished false when a later
    // animation of one of its properties took over. Nested animate calls
    // share the outer timing. Inside an AnimationCompletionCapture the
    // completion goes to the capture instead.
    using AnimationOptions = ViewAnimationOptions;
    static void animate(double duration, const std::function<void()>& animations,
                        std::function<void(bool finished)> completion = {},
                        AnimationOptions options = {});
    // Like animate, on a damped spring (see AnimationTiming).
    static void animateWithSpring(double duration, double damping, double initialVelocity,
                                  const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion = {},
                                  AnimationOptions options = {});
    // Changes made in the block are not animated, even inside an animate
    // block.
    static void performWithoutAnimation(const std::function<void()>& changes);
    // Whether an animate block is running (so a property change belongs to
    // an animation).
    [[nodiscard]] static bool isInsideAnimation();

    // What the view shows now: the model values, or while they animate
    // their presentation at the current clock time.
    [[nodiscard]] gfx::Point presentationCenter() const;
    [[nodiscard]] gfx::Rect presentationBounds() const;
    [[nodiscard]] gfx::AffineTransform presentationTransform() const;
    [[nodiscard]] double presentationAlpha() const;
    [[nodiscard]] std::optional<gfx::Color> presentationBackgroundColor() const;
    // Whether any property animation of the view runs or waits for its delay.
    [[nodiscard]] bool isAnimating() const;
    // Adds an animation of the presentation alone (the model stays): from
    // and to as given, then the model value again.
    void addAnimation(PropertyAnimation animation);
    // Drops every running animation; the view shows its model values.
    void removeAllAnimations();
    // nullptr while the view has never animated.
    [[nodiscard]] ViewAnimations* runningAnimations() const { return animations_.get(); }

    // The last drawing of the view and its subviews within its bounds, for
    // the layer transitions it will show (see addTransition).
    [[nodiscard]] bool retainsLastDrawing() const { return retainsLastDrawing_; }
    void setRetainsLastDrawing(bool retains);
    [[nodiscard]] const std::shared_ptr<const gfx::Image>& lastDrawing() const {
        return lastDrawing_;
    }
    // Set by the renderer (drawing does not change the view).
    void setLastDrawing(std::shared_ptr<const gfx::Image> image) const {
        lastDrawing_ = std::move(image);
    }
    // A transition of what the view shows that the renderer draws now.
    struct ShownTransition {
        LayerTransition transition;
        double progress = 0;  // along its timing
        std::shared_ptr<const gfx::Image> before;
    };
    [[nodiscard]] std::optional<ShownTransition> shownTransition() const;

private:
    friend class Window;

    // Sets the window of this subtree (nested windows keep their own) and
    // resigns a first responder that leaves its window.
    void moveToWindow(Window* window);
    void detachFromSuperview();
    // Inserts at index (clamped) among the subviews other than `view`.
    void attach(const std::shared_ptr<View>& view, size_t index);
    [[nodiscard]] size_t indexAmongOthers(const View* sibling, const View* excluded) const;
    // Follows the superview's size change from oldSize (autoresizing).
    void resizeWithOldSuperviewSize(gfx::Size oldSize);
    // Animates a property change inside an animate block, else drops the
    // property's running animations.
    void animateChange(AnimatedProperty property, const AnimatedValue& before,
                       const AnimatedValue& after);
    // Maps this view's coordinates to its superview's.
    [[nodiscard]] gfx::AffineTransform transformToSuperview() const;
    // Maps this view's coordinates to those of the root of its tree (its
    // window when it has one).
    [[nodiscard]] gfx::AffineTransform transformToRoot() const;

    gfx::Point center_;
    gfx::Rect bounds_;
    gfx::AffineTransform transform_ = gfx::AffineTransform::identity();
    bool hidden_ = false;
    double alpha_ = 1;
    std::optional<gfx::Color> backgroundColor_;
    double cornerRadius_ = 0;
    bool clipsToBounds_ = false;
    double borderWidth_ = 0;
    std::optional<gfx::Color> borderColor_;
    int tag_ = 0;
    bool userInteractionEnabled_ = true;
    bool needsLayout_ = true;
    bool translatesAutoresizingMask_ = true;
    unsigned autoresizingMask_ = 0;
    std::vector<LayoutConstraintPtr> constraints_;
    struct RecordedTransition {
        std::string key;
        LayerTransition transition;
        std::uint64_t serial;
        double begin = 0;  // on the clock
        std::shared_ptr<const gfx::Image> before;
    };
    std::vector<RecordedTransition> transitions_;
    std::string identifier_;
    std::unique_ptr<ViewAnimations> animations_;
    bool retainsLastDrawing_ = false;
    mutable std::shared_ptr<const gfx::Image> lastDrawing_;

    std::weak_ptr<View> superview_;
    std::vector<std::shared_ptr<View>> subviews_;
    Window* window_ = nullptr;
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
    std::weak_ptr<ViewController> viewController_;
};

}  // namespace ui
