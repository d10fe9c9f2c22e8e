#pragma once
// Something that can receive touches: views, view controllers and the
// application. A touch that a responder does not handle goes on to its next
// responder (a view's view controller or superview, a controller's view's
// superview, the window's application).

#include <memory>
#include <string>
#include <vector>

namespace ui {

class Touch;
class Event;
using TouchSet = std::vector<std::shared_ptr<Touch>>;

class Responder {
public:
    // A first responder that goes away stops being first responder.
    virtual ~Responder();

    [[nodiscard]] virtual Responder* nextResponder() const { return nullptr; }

    // The defaults pass the touches on to the next responder.
    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);

    // Text input (the search bar): whether this responder takes the keyboard.
    // There is one first responder in the app; becoming it asks the current
    // one to resign first (and fails when it refuses). A view that is first
    // responder is also its window's firstResponder(), and resigns when it
    // leaves the window.
    [[nodiscard]] virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    [[nodiscard]] bool isFirstResponder() const;

    // Keyboard input, sent to the first responder by tests and the desktop
    // window. The defaults ignore it.
    virtual void insertText(const std::string& /*text*/) {}
    virtual void deleteBackward() {}
    virtual void returnKeyPressed() {}
};

}  // namespace ui
