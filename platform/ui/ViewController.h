#pragma once
// Manages one screen: a lazily loaded root view (loadView then viewDidLoad
// on first access), appearance callbacks (viewWillAppear, viewDidAppear,
// viewWillDisappear, viewDidDisappear, forwarded to child controllers whose
// views are shown), child containment, modal presentation, the interface
// orientations it allows and the rotation callbacks (sent by
// Application::rotateInterface), and the top layout guide.
//
// Controllers are made with std::make_shared (or a subclass's static
// create) and live in std::shared_ptr; view() must not be called from a
// constructor (it needs shared_from_this). Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/Responder.h"
#include "ui/View.h"

namespace ui {

class NavigationController;
class PresentationController;
class TransitioningDelegate;

enum class ModalPresentationStyle { FullScreen, OverFullScreen, OverCurrentContext, Custom };
// Recorded for the controller's own use; presentations slide as they do.
enum class ModalTransitionStyle { CoverVertical, FlipHorizontal, CrossDissolve, PartialCurl };

class ViewController : public Responder, public std::enable_shared_from_this<ViewController> {
public:
    ViewController();
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // The root view, loaded on first access.
    [[nodiscard]] std::shared_ptr<View> view();
    [[nodiscard]] bool isViewLoaded() const { return view_ != nullptr; }
    // Replaces the root view (from loadView, or later).
    void setView(std::shared_ptr<View> view);

    // Makes a plain view with the screen's bounds; override to make another.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}

    // Sends the appearance callbacks to this controller and its children
    // (used by containers and windows; keeps every controller's appearance
    // state consistent so no callback is sent twice in a row).
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    [[nodiscard]] bool isAppeared() const;

    [[nodiscard]] const std::string& title() const { return title_; }
    virtual void setTitle(std::string title) { title_ = std::move(title); }

    // Containment.
    [[nodiscard]] std::shared_ptr<ViewController> parentViewController() const {
        return parent_.lock();
    }
    [[nodiscard]] const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const {
        return children_;
    }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* parent);
    virtual void didMoveToParentViewController(ViewController* parent);
    // The nearest navigation controller above (or this one).
    [[nodiscard]] std::shared_ptr<NavigationController> navigationController() const;

    [[nodiscard]] virtual bool prefersStatusBarHidden() const { return false; }

    // Orientations (see InterfaceOrientation.h). The mask defaults to all
    // but upside down on a phone, all on other devices. After each
    // presentation and dismissal the interface turns to the first
    // orientation the top controller allows when it excludes the current
    // one (Application::enforceSupportedOrientation); a device turn follows
    // only when the top controller shouldAutorotate.
    [[nodiscard]] virtual unsigned long supportedInterfaceOrientations() const;
    [[nodiscard]] virtual bool shouldAutorotate() const { return true; }
    // The status bar's orientation.
    [[nodiscard]] long interfaceOrientation() const;
    // Around an interface rotation: willRotate while the old orientation is
    // still current, viewWillTransitionToSize with the window's new size
    // once the screen has turned, didRotate after the views are laid out.
    // viewWillTransitionToSize also comes when the window alone is resized.
    virtual void willRotateToInterfaceOrientation(long /*orientation*/, double /*duration*/) {}
    virtual void didRotateFromInterfaceOrientation(long /*fromOrientation*/) {}
    virtual void viewWillTransitionToSize(gfx::Size /*size*/) {}

    // A hidden view inside this controller's view, at its top-left corner,
    // as tall as the part of the status bar it lies under (0 when none), for
    // constraints (its Bottom attribute). Made and added on first use; kept
    // up to date by each layout pass of the view.
    [[nodiscard]] std::shared_ptr<View> topLayoutGuide();
    // Called by the view's layout pass.
    void prepareLayoutGuides();
    // Modal presentation, always from this controller's outermost parent.
    // The presented view is added to the window above everything, filling
    // it. A presenter that is already presenting (or in a transition), whose
    // view is not in a window, or a controller that is already presented or
    // has a parent, refuses: a console warning, nothing shown, no completion,
    // nothing retained. Animated transitions take 0.3 s on the clock;
    // non-animated ones complete before the call returns. FullScreen hides
    // the presenter's view and sends it disappear callbacks; the other
    // styles leave it shown and untouched. Custom transitions come from the
    // presented controller's transitioning delegate, whatever the style and
    // whether animated or not (the context tells which).
    // The completion always comes on a later turn of the run loop than the
    // call. Answers whether the presentation went ahead.
    virtual bool presentViewController(const std::shared_ptr<ViewController>& controller,
                                       bool animated, std::function<void()> completion = {});
    // Whether presentViewController would go ahead now (nothing is logged).
    [[nodiscard]] bool canPresentViewController(const std::shared_ptr<ViewController>& controller);
    // Dismisses what this controller (or its outermost parent) presents, or,
    // when it presents nothing, itself from its presenter; controllers the
    // dismissed one presents go with it. Asked while the presentation is
    // still in its transition, the dismissal runs once it has completed;
    // asked while a dismissal is already running, it is refused with a
    // console warning. Nothing to dismiss, or refused: the completion is
    // not called. The completion comes on a later turn than the call.
    virtual void dismissViewController(bool animated, std::function<void()> completion = {});
    [[nodiscard]] std::shared_ptr<ViewController> presentedViewController() const {
        return presented_;
    }
    [[nodiscard]] std::shared_ptr<ViewController> presentingViewController() const {
        return presenting_.lock();
    }
    [[nodiscard]] ModalPresentationStyle modalPresentationStyle() const {
        return presentationStyle_;
    }
    void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }
    [[nodiscard]] ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle style) { transitionStyle_ = style; }
    // True from the start of this controller's presentation (or dismissal)
    // until it has completed, so during its appearance callbacks.
    [[nodiscard]] bool isBeingPresented() const { return beingPresented_; }
    [[nodiscard]] bool isBeingDismissed() const { return beingDismissed_; }
    [[nodiscard]] std::shared_ptr<TransitioningDelegate> transitioningDelegate() const {
        return transitioningDelegate_.lock();
    }
    void setTransitioningDelegate(const std::shared_ptr<TransitioningDelegate>& delegate) {
        transitioningDelegate_ = delegate;
    }

    [[nodiscard]] Responder* nextResponder() const override;

    // Objects other code attaches to this controller under a key of its own
    // (an address); the controller keeps them as long as it lives. nullptr
    // removes; an unknown key answers nullptr.
    [[nodiscard]] std::shared_ptr<void> associatedObject(const void* key) const;
    void setAssociatedObject(const void* key, std::shared_ptr<void> object);

    // "<class: address>" followed by the title in quotes when there is one,
    // for console messages.
    [[nodiscard]] std::string description() const;

protected:
    // The children that receive this controller's appearance callbacks: by
    // default those whose views are loaded and inside this controller's view.
    [[nodiscard]] virtual std::vector<std::shared_ptr<ViewController>>
    childViewControllersForAppearance();

private:
    friend class PresentationController;

    // This controller, or its outermost parent: the one that presents.
    [[nodiscard]] std::shared_ptr<ViewController> outermostParent();

    std::shared_ptr<View> view_;
    std::map<const void*, std::shared_ptr<void>> associatedObjects_;
    std::string title_;
    std::weak_ptr<ViewController> parent_;
    std::vector<std::shared_ptr<ViewController>> children_;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    // Set on the presenter while it presents (transitions included).
    std::shared_ptr<PresentationController> presentation_;
    ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    std::shared_ptr<View> topLayoutGuide_;
    std::weak_ptr<TransitioningDelegate> transitioningDelegate_;
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
};

}  // namespace ui
