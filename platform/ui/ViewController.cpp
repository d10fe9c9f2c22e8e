#include "ui/ViewController.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"
#include "ui/NavigationController.h"
#include "ui/PresentationController.h"

namespace ui {

namespace {

std::string demangledClassName(const ViewController& controller) {
    const char* mangled = typeid(controller).name();
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && readable ? readable : mangled;
    std::free(readable);
    return name;
}

}  // namespace

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

// MARK: view

std::shared_ptr<View> ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) ViewController::loadView();
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view == view_) return;
    if (view_ && view_->viewController().get() == this) view_->setViewController(nullptr);
    view_ = std::move(view);
    if (!view_) return;
    if (const auto self = weak_from_this().lock()) view_->setViewController(self);
}

void ViewController::loadView() {
    setView(std::make_shared<View>(DeviceProfile::current().screenBounds()));
}

// MARK: appearance

void ViewController::viewWillAppear(bool) {}

void ViewController::viewDidAppear(bool) {}

void ViewController::viewWillDisappear(bool) {}

void ViewController::viewDidDisappear(bool) {}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    const auto keepAlive = weak_from_this().lock();
    const bool alreadyThere =
        appearing
            ? appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing
            : appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing;
    if (!alreadyThere) {
        appearance_ = appearing ? Appearance::Appearing : Appearance::Disappearing;
        appearanceAnimated_ = animated;
        if (appearing) {
            viewWillAppear(animated);
        } else {
            viewWillDisappear(animated);
        }
    }
    for (const auto& child : childViewControllersForAppearance()) {
        child->beginAppearanceTransition(appearing, animated);
    }
}

void ViewController::endAppearanceTransition() {
    const auto keepAlive = weak_from_this().lock();
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(appearanceAnimated_);
    }
    for (const auto& child : childViewControllersForAppearance()) {
        child->endAppearanceTransition();
    }
}

bool ViewController::isAppeared() const {
    return appearance_ == Appearance::Appeared;
}

std::vector<std::shared_ptr<ViewController>> ViewController::childViewControllersForAppearance() {
    std::vector<std::shared_ptr<ViewController>> shown;
    if (!view_) return shown;
    for (const auto& child : children_) {
        if (child->isViewLoaded() && child->view_->isDescendantOf(view_.get())) {
            shown.push_back(child);
        }
    }
    return shown;
}

// MARK: containment

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this || child->parent_.lock().get() == this) return;
    child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = weak_from_this();
}

void ViewController::removeFromParentViewController() {
    const auto parent = parent_.lock();
    if (!parent) return;
    const auto keepAlive = shared_from_this();
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keepAlive), siblings.end());
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

void ViewController::willMoveToParentViewController(ViewController*) {}

void ViewController::didMoveToParentViewController(ViewController*) {}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    auto current = std::const_pointer_cast<ViewController>(weak_from_this().lock());
    for (; current; current = current->parentViewController()) {
        if (auto navigation = std::dynamic_pointer_cast<NavigationController>(current)) {
            return navigation;
        }
    }
    return nullptr;
}

std::shared_ptr<ViewController> ViewController::outermostParent() {
    auto outermost = shared_from_this();
    while (auto parent = outermost->parentViewController()) outermost = parent;
    return outermost;
}

// MARK: presentation

bool ViewController::presentViewController(const std::shared_ptr<ViewController>& controller,
                                           bool animated, std::function<void()> completion) {
    return PresentationController::present(shared_from_this(), controller, animated,
                                           std::move(completion));
}

std::shared_ptr<void> ViewController::associatedObject(const void* key) const {
    const auto found = associatedObjects_.find(key);
    return found == associatedObjects_.end() ? nullptr : found->second;
}

void ViewController::setAssociatedObject(const void* key, std::shared_ptr<void> object) {
    if (object) {
        associatedObjects_[key] = std::move(object);
    } else {
        associatedObjects_.erase(key);
    }
}

bool ViewController::canPresentViewController(const std::shared_ptr<ViewController>& controller) {
    return !PresentationController::refusal(shared_from_this(), controller).has_value();
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
    const auto outermost = outermostParent();
    std::shared_ptr<ViewController> presenter;
    if (presented_) {
        presenter = shared_from_this();
    } else if (outermost->presented_) {
        presenter = outermost;
    } else {
        presenter = outermost->presentingViewController();
    }
    if (!presenter || !presenter->presentation_) return;
    const auto presentation = presenter->presentation_;
    presentation->dismiss(animated, std::move(completion));
}

// MARK: orientation and layout guides

unsigned long ViewController::supportedInterfaceOrientations() const {
    return DeviceProfile::current().idiom == UserInterfaceIdiom::Phone
               ? kOrientationMaskAllButUpsideDown
               : kOrientationMaskAll;
}

long ViewController::interfaceOrientation() const {
    return Application::shared().statusBarOrientation();
}

std::shared_ptr<View> ViewController::topLayoutGuide() {
    const auto root = view();
    if (!topLayoutGuide_) {
        topLayoutGuide_ = std::make_shared<View>();
        topLayoutGuide_->setHidden(true);
        topLayoutGuide_->setUserInteractionEnabled(false);
        topLayoutGuide_->setAccessibilityIdentifier("topLayoutGuide");
    }
    if (topLayoutGuide_->superview() != root) {
        root->insertSubview(topLayoutGuide_, 0);
        prepareLayoutGuides();
    }
    return topLayoutGuide_;
}

void ViewController::prepareLayoutGuides() {
    if (!topLayoutGuide_ || !view_) return;
    const double statusBarBottom = Application::shared().statusBarHeight();
    const double top = view_->window() ? view_->convertPointTo({0, 0}, nullptr).y : 0;
    topLayoutGuide_->setFrame({0, 0, 0, std::max(0.0, statusBarBottom - top)});
}

// MARK: responder chain and diagnostics

Responder* ViewController::nextResponder() const {
    if (!view_) return nullptr;
    const auto superview = view_->superview();
    return superview.get();
}

std::string ViewController::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string text = "<" + demangledClassName(*this) + ": " + address;
    if (!title_.empty()) text += " \"" + title_ + "\"";
    return text + ">";
}

}  // namespace ui
