#pragma once
// The root of a view tree on the screen. A window has a root view
// controller whose view fills it, can be made key and visible, lays out its
// tree, delivers injected touches through hit testing and gesture
// recognizers, and keeps the first responder. Main thread only.

#include <memory>
#include <optional>
#include <vector>

#include "ui/Touch.h"
#include "ui/View.h"

namespace gfx {
class Bitmap;
}

namespace ui {

class GestureRecognizer;
class ViewController;

class Window : public View {
public:
    // An empty frame means the screen's bounds. A new window is hidden
    // until makeKeyAndVisible(); touch injection and the renderer still
    // address it directly.
    explicit Window(gfx::Rect frame = {});
    ~Window() override;

    [[nodiscard]] std::shared_ptr<ViewController> rootViewController() const { return root_; }
    // Installs the controller's view as the window's content (sized to the
    // window); when the window is visible the controller gets its
    // appearance callbacks.
    void setRootViewController(std::shared_ptr<ViewController> controller);
    // Shows the window, makes it the application's key window and sends the
    // root controller viewWillAppear then viewDidAppear.
    void makeKeyAndVisible();
    [[nodiscard]] bool isKeyWindow() const;

    // The root controller followed through presentedViewController to the
    // last one.
    [[nodiscard]] std::shared_ptr<ViewController> topViewController() const;
    // The root controller and what it presents, each followed by its child
    // controllers (depth first): the controllers the window shows.
    [[nodiscard]] std::vector<std::shared_ptr<ViewController>> shownViewControllers() const;
    // Resizes the window (its origin kept), as the system does when the
    // screen turns or is shared: the controllers it shows get
    // viewWillTransitionToSize, the views presented over the whole window
    // follow it, and the tree is laid out.
    void transitionToSize(gfx::Size size);

    [[nodiscard]] Responder* firstResponder() const { return firstResponder_; }
    void setFirstResponder(Responder* responder) { firstResponder_ = responder; }

    // Touch injection, in window coordinates. Each call delivers one phase
    // of one touch (identified by the returned or given touch) and lays out
    // afterwards. The higher-level gestures live in TouchInjector.
    std::shared_ptr<Touch> touchDown(gfx::Point location);
    void touchMove(const std::shared_ptr<Touch>& touch, gfx::Point location);
    void touchUp(const std::shared_ptr<Touch>& touch, gfx::Point location);
    void touchCancel(const std::shared_ptr<Touch>& touch);

    // Whether what the window shows may have changed since the flag was
    // last cleared: views set it through setNeedsDisplay(), which their
    // geometry, appearance, order and layout changes call, or, for a part
    // of themselves, setNeedsDisplayInRect(). It stays set while anything
    // animates (views, layer transitions), until a frame is drawn after the
    // last motion has ended. The desktop window redraws when it is set.
    [[nodiscard]] bool needsDisplay() const;
    // What changed, in window coordinates, when only parts were marked
    // since the flag was cleared; nullopt when all of it may have.
    [[nodiscard]] std::optional<gfx::Rect> needsDisplayRect() const;
    void markNeedsDisplay();
    void markNeedsDisplay(const gfx::Rect& rect);
    void clearNeedsDisplay();

    // The surface the renderer draws this window's frames into, kept from
    // one frame to the next (see Renderer::drawFrame).
    [[nodiscard]] const std::shared_ptr<gfx::Bitmap>& frameSurface() const { return frameSurface_; }
    void setFrameSurface(std::shared_ptr<gfx::Bitmap> surface) {
        frameSurface_ = std::move(surface);
    }

    // Lays the whole tree out (layoutIfNeeded from the window down).
    void layoutTree();
    // Asks for one layout pass of the tree on the main run loop's next turn
    // (coalesced), the way the platform lays out after each turn of events.
    void scheduleLayoutPass();

    [[nodiscard]] Responder* nextResponder() const override;
    // Keeps the root controller's view filling the window.
    void layoutSubviews() override;
    // Like View's, but a hidden or transparent window is still searched:
    // touches are injected into a window explicitly.
    [[nodiscard]] std::shared_ptr<View> hitTest(gfx::Point point) override;

private:
    void deliver(const std::shared_ptr<Touch>& touch, TouchPhase phase);
    // The first recognizer to begin or recognize wins the touches it shares
    // with the others.
    void failRivalsOf(const GestureRecognizer& winner);
    void cancelViewsOfRecognizedTouches();
    void appearRoot();

    std::shared_ptr<ViewController> root_;
    Responder* firstResponder_ = nullptr;
    bool layoutPassScheduled_ = false;
    bool needsDisplay_ = true;
    std::optional<gfx::Rect> needsDisplayRect_;  // set while only parts are marked
    std::optional<double> clearedAt_;            // on the clock
    [[nodiscard]] bool animationsMoving() const;
    std::shared_ptr<gfx::Bitmap> frameSurface_;
    struct Tracking;
    std::vector<std::shared_ptr<Tracking>> tracking_;
    // The last touch that ended, for tap counts.
    gfx::Point lastTapLocation_;
    double lastTapTime_ = -1;
    int lastTapCount_ = 0;
};

}  // namespace ui
