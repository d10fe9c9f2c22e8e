#include "ui/Responder.h"

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

namespace {

// The app's one first responder (main thread only).
Responder* firstResponder = nullptr;

Window* windowOf(Responder* responder) {
    auto* view = dynamic_cast<View*>(responder);
    return view ? view->window().get() : nullptr;
}

}  // namespace

Responder::~Responder() {
    if (firstResponder == this) firstResponder = nullptr;
}

void Responder::touchesBegan(const TouchSet& touches, const Event& event) {
    if (Responder* next = nextResponder()) next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const TouchSet& touches, const Event& event) {
    if (Responder* next = nextResponder()) next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const TouchSet& touches, const Event& event) {
    if (Responder* next = nextResponder()) next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const TouchSet& touches, const Event& event) {
    if (Responder* next = nextResponder()) next->touchesCancelled(touches, event);
}

bool Responder::becomeFirstResponder() {
    if (firstResponder == this) return true;
    if (!canBecomeFirstResponder()) return false;
    if (firstResponder && !firstResponder->resignFirstResponder()) return false;
    firstResponder = this;
    if (Window* window = windowOf(this)) window->setFirstResponder(this);
    return true;
}

bool Responder::resignFirstResponder() {
    if (firstResponder != this) return true;
    firstResponder = nullptr;
    if (Window* window = windowOf(this); window && window->firstResponder() == this) {
        window->setFirstResponder(nullptr);
    }
    return true;
}

bool Responder::isFirstResponder() const {
    return firstResponder == this;
}

}  // namespace ui
