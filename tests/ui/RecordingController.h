#pragma once
// Test helpers for the controller suites: a controller that writes its
// lifecycle and appearance callbacks into a shared log ("A willAppear"), and
// a visible window that forgets the application's windows afterwards.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace testsupport {

class EventLog {
public:
    void add(std::string event) { events_.push_back(std::move(event)); }
    // The events so far, clearing the log.
    std::vector<std::string> take() { return std::exchange(events_, {}); }
    [[nodiscard]] const std::vector<std::string>& events() const { return events_; }

private:
    std::vector<std::string> events_;
};

class RecordingController : public ui::ViewController {
public:
    RecordingController(std::string name, std::shared_ptr<EventLog> log)
        : name_(std::move(name)), log_(std::move(log)) {
        setTitle(name_);
    }

    void loadView() override {
        log_->add(name_ + " loadView");
        ViewController::loadView();
    }
    void viewDidLoad() override { log_->add(name_ + " viewDidLoad"); }
    void viewWillAppear(bool animated) override {
        ViewController::viewWillAppear(animated);
        log_->add(name_ + " willAppear");
    }
    void viewDidAppear(bool animated) override {
        ViewController::viewDidAppear(animated);
        log_->add(name_ + " didAppear");
    }
    void viewWillDisappear(bool animated) override {
        ViewController::viewWillDisappear(animated);
        log_->add(name_ + " willDisappear");
    }
    void viewDidDisappear(bool animated) override {
        ViewController::viewDidDisappear(animated);
        log_->add(name_ + " didDisappear");
    }
    // Containment moves go to their own list so appearance logs stay short.
    void willMoveToParentViewController(ui::ViewController* parent) override {
        moves.push_back(std::string("will ") + (parent ? "parent" : "nil"));
    }
    void didMoveToParentViewController(ui::ViewController* parent) override {
        moves.push_back(std::string("did ") + (parent ? "parent" : "nil"));
    }

    std::vector<std::string> moves;

private:
    std::string name_;
    std::shared_ptr<EventLog> log_;
};

inline std::shared_ptr<RecordingController> recording(const std::string& name,
                                                      const std::shared_ptr<EventLog>& log) {
    return std::make_shared<RecordingController>(name, log);
}

// A key, visible window showing `root`; the application forgets it when the
// holder goes away.
class VisibleWindow {
public:
    explicit VisibleWindow(std::shared_ptr<ui::ViewController> root)
        : window_(std::make_shared<ui::Window>()) {
        window_->setRootViewController(std::move(root));
        window_->makeKeyAndVisible();
    }
    ~VisibleWindow() { ui::Application::shared().resetForTesting(); }
    VisibleWindow(const VisibleWindow&) = delete;
    VisibleWindow& operator=(const VisibleWindow&) = delete;

    [[nodiscard]] ui::Window& operator*() const { return *window_; }
    [[nodiscard]] ui::Window* operator->() const { return window_.get(); }
    [[nodiscard]] const std::shared_ptr<ui::Window>& get() const { return window_; }

private:
    std::shared_ptr<ui::Window> window_;
};

}  // namespace testsupport
