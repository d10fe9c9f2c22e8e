#pragma once
// What every participant of a full-screen episode of a slot answers: the SDK's
// full-screen controllers and the proxies of system controllers an ad opens.
// Main thread.

#include <functional>
#include <memory>

namespace ui {
class ViewController;
}

namespace ads {

class DZIntermission;

class DZIntermitting {
public:
    virtual ~DZIntermitting() = default;
    // Puts the participant on screen from the presenting controller; the
    // completion runs once it is shown. Answers whether the presentation went
    // ahead: when it did not, nothing was joined or kept, and the completion
    // is never called.
    virtual bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                           std::function<void()> completion) = 0;
    [[nodiscard]] virtual bool shouldDismissOnApplicationEnteringForeground() = 0;
    virtual void relinquishScreenWithCompletion(std::function<void()> completion) = 0;
    [[nodiscard]] virtual std::shared_ptr<DZIntermission> intermission() const = 0;
};

}  // namespace ads
