#pragma once
// What the mail and message composers share: a screen with a bar ("Cancel",
// the composer's title, "Send") over the text of the message being written.
// There is no mail or message service on this platform: a composer only
// keeps what it was given, and its buttons (or a test, through the
// subclass's finish()) end it with a result. Main thread only.

#include <memory>
#include <string>
#include <vector>

#include "ui/ViewController.h"

namespace ui {
class Button;
class Label;
}  // namespace ui

namespace store {

class SheetBar;

class ComposeViewController : public ui::ViewController {
public:
    // Valid once the view is loaded.
    [[nodiscard]] const std::shared_ptr<ui::Button>& cancelButton() const { return cancel_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& sendButton() const { return send_; }
    // The message as shown: its fields, one a line, then the body.
    [[nodiscard]] virtual std::string summary() const = 0;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

protected:
    explicit ComposeViewController(std::string barTitle);

    virtual void cancelTapped() = 0;
    virtual void sendTapped() = 0;
    // Shows the summary again after a field changed.
    void refresh();
    // "Field: a, b".
    [[nodiscard]] static std::string line(const std::string& field,
                                          const std::vector<std::string>& values);

private:
    std::string barTitle_;
    std::shared_ptr<SheetBar> bar_;
    std::shared_ptr<ui::Button> cancel_;
    std::shared_ptr<ui::Button> send_;
    std::shared_ptr<ui::Label> text_;
};

}  // namespace store
