#pragma once
// The base of the SDK's full-screen controllers. Full-screen presentation is
// not built yet: what the SDK needs of it now is the presenter a controller
// is shown with (none: the default modal one) and giving the screen back,
// which is recorded in DZCallLog ("DZViewController.relinquishScreenWithCompletion:")
// and counted; the completion, when given, runs at once. Main thread.

#include <functional>
#include <memory>

#include "ui/ViewController.h"

namespace ads {

class DZOverlayPresenting;

class DZViewController : public ui::ViewController {
public:
    virtual void relinquishScreenWithCompletion(std::function<void()> completion);
    [[nodiscard]] int relinquishCount() const { return relinquishCount_; }

    [[nodiscard]] const std::shared_ptr<DZOverlayPresenting>& presenter() const {
        return presenter_;
    }
    void setPresenter(std::shared_ptr<DZOverlayPresenting> presenter) {
        presenter_ = std::move(presenter);
    }

private:
    std::shared_ptr<DZOverlayPresenting> presenter_;
    int relinquishCount_ = 0;
};

}  // namespace ads
