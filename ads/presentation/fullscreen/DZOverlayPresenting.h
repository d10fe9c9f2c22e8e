#pragma once
// How a full-screen SDK controller gets on and off the screen: the
// controller hands its presentation to a presenter, which refers back to it
// weakly. Main thread.

#include <functional>
#include <memory>

namespace ui {
class ViewController;
}

namespace ads {

class DZViewController;

class DZOverlayPresenting {
public:
    virtual ~DZOverlayPresenting() = default;

    // Answers whether the presentation went ahead; when it did not, nothing
    // was changed and the completion is never called.
    virtual bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                           std::function<void()> completion) = 0;
    // The controller that presents on the presented controller's behalf.
    [[nodiscard]] virtual std::shared_ptr<ui::ViewController> presentationViewController() const = 0;
    virtual void dismissWithCompletionHandler(std::function<void()> handler) = 0;
    virtual void setNeedsUpdateOrientation() = 0;
    [[nodiscard]] virtual std::shared_ptr<DZViewController> presentedViewController() const = 0;
    virtual void setPresentedViewController(const std::shared_ptr<DZViewController>& controller) = 0;
    [[nodiscard]] virtual bool isReadyToPresent() const = 0;
    // Whether presentFromViewController would go ahead now, asked before the
    // controller takes any step of its presentation.
    [[nodiscard]] virtual bool
    canPresentFromViewController(const std::shared_ptr<ui::ViewController>& presenting) = 0;
};

}  // namespace ads
