#pragma once
// The in-app browser: a screen for one http(s) URL with a bar showing the
// URL's host and a "Done" button. There is no page engine behind it; the
// first time its view enters a window (presented, or as a child
// controller's view inside a shown screen) it asks the URL opener to open
// the URL, which records it. "Done" dismisses a presented browser and then
// tells the delegate; a child browser only tells the delegate, whose
// screen it is part of. Main thread only.

#include <memory>

#include "core/URL.h"
#include "store/SafariViewControllerDelegate.h"
#include "store/SheetBar.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
}  // namespace ui

namespace store {

class SafariViewController : public ui::ViewController {
    struct Token {};

public:
    static constexpr double kBarHeight = SheetBar::kHeight;

    // nullptr for anything but http(s) with a host.
    [[nodiscard]] static std::shared_ptr<SafariViewController> create(const core::URL& url);
    SafariViewController(Token, core::URL url);

    [[nodiscard]] const core::URL& url() const { return url_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& doneButton() const { return done_; }

    [[nodiscard]] std::shared_ptr<SafariViewControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    // Held weakly.
    void setDelegate(const std::shared_ptr<SafariViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }
    // What the "Done" button does.
    void done();

    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    void openOnce();
    void tellDelegate();

    core::URL url_;
    std::weak_ptr<SafariViewControllerDelegate> delegate_;
    bool opened_ = false;
    std::shared_ptr<SheetBar> bar_;
    std::shared_ptr<ui::Button> done_;
};

}  // namespace store
