#pragma once
// The in-app browser: a screen for one http(s) URL with a bar showing the
// URL's host and a "Done" button that dismisses it. There is no page
// engine behind it; when its view first appears it asks the URL opener to
// open the URL, which records it. Main thread only.

#include <memory>

#include "core/URL.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class Label;
}  // namespace ui

namespace store {

class SafariViewController : public ui::ViewController {
    struct Token {};

public:
    static constexpr double kBarHeight = 44;

    // nullptr for anything but http(s) with a host.
    [[nodiscard]] static std::shared_ptr<SafariViewController> create(const core::URL& url);
    SafariViewController(Token, core::URL url);

    [[nodiscard]] const core::URL& url() const { return url_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& doneButton() const { return done_; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

private:
    core::URL url_;
    bool opened_ = false;
    std::shared_ptr<ui::View> bar_;
    std::shared_ptr<ui::Label> host_;
    std::shared_ptr<ui::Button> done_;
};

}  // namespace store
