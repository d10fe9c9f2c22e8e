#pragma once
// The in-app browser: a screen for one http(s) URL that shows the page in a
// web view of its own ("UI" kind: every load of the page goes through the
// app's URL layer) under a bar with "Done", the page's title (the host of
// the page until its title is known) and a spinner while a page loads, and
// over a toolbar with Back and Forward, each enabled while the page's
// history holds a page that way (following every change to it: loads,
// steps, and a page's own entries such as fragments). A failed load shown
// over a page counts as a step of its own: Back leaves it for that page.
// The screen steps through that history for the desktop window's keys too
// (ui::HistoryNavigating).
//
// The web view is made, and the URL loaded, the first time the browser's
// view enters a window (presented, or as a child controller's view inside a
// shown screen); a view that never enters one starts no engine. Links the
// person follows stay in the browser, those that ask for a new window
// included. Nothing of the page goes to the URL opener: only a navigation a
// person starts to a scheme a web view does not show (mailto:, tel:, an
// app's own) is handed to it, as a browser hands it to the system. A page
// that cannot be loaded (no connection, a web process that ended, an engine
// that cannot start) is replaced by a message saying so in a person's words
// (what failed in the app goes to the console).
//
// "Done" stops a load under way, dismisses a presented browser and then
// tells the delegate; a child browser only tells the delegate, whose screen
// it is part of. The web view lives as long as the controller's view: it
// goes with the controller. Main thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "core/URL.h"
#include "store/SafariViewControllerDelegate.h"
#include "store/SheetBar.h"
#include "ui/HistoryNavigating.h"
#include "ui/ViewController.h"

namespace ui {
class ActivityIndicatorView;
class BarButtonItem;
class Button;
class Label;
class Toolbar;
}  // namespace ui

namespace web {
class WebView;
struct LoadError;
struct NavigationAction;
}  // namespace web

namespace store {

class SafariViewController : public ui::ViewController, public ui::HistoryNavigating {
    struct Token {};

public:
    static constexpr double kBarHeight = SheetBar::kHeight;

    // nullptr for anything but http(s) with a host.
    [[nodiscard]] static std::shared_ptr<SafariViewController> create(const core::URL& url);
    SafariViewController(Token, core::URL url);
    ~SafariViewController() override;

    // The URL the browser was made for (the page shown may have moved on).
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

    // The page's view: nullptr until the browser first enters a window, and
    // when the engine could not start.
    [[nodiscard]] const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    // What the bar shows as the title.
    [[nodiscard]] std::string title() const;
    // Spinning while a page loads.
    [[nodiscard]] const std::shared_ptr<ui::ActivityIndicatorView>& loadingIndicator() const {
        return spinner_;
    }
    // Shown in the page's place (the page hidden) after a page failed to load.
    [[nodiscard]] const std::shared_ptr<ui::Label>& failureLabel() const { return failure_; }
    // The toolbar under the page and its items.
    [[nodiscard]] const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& backButton() const { return back_; }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& forwardButton() const {
        return forward_;
    }

    [[nodiscard]] bool canStepInHistory(ui::HistoryStep step) const override;
    bool stepInHistory(ui::HistoryStep step) override;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    class PageDelegate;

    void startOnce();
    void tellDelegate();

    // The web view's events (through PageDelegate).
    [[nodiscard]] bool shouldStartLoad(const web::NavigationAction& action);
    void pageDidStartLoad();
    void pageDidCommitLoad();
    void pageDidFinishLoad();
    void pageDidFailLoad(const web::LoadError& error);
    void pageProcessEnded();
    void refreshHistoryButtons();

    void showLoading(bool loading);
    void showFailure(const std::string& reason);
    void hideFailure();
    void setBarTitle(std::string title);

    core::URL url_;
    std::weak_ptr<SafariViewControllerDelegate> delegate_;
    bool started_ = false;
    // A document of the page's has been shown, and its process still runs.
    bool hasPage_ = false;
    // A failed load is shown over the page the person came from.
    bool failureOverPage_ = false;
    // Counts the page's loads, so that a title read for an earlier one is
    // not shown for a later one.
    std::uint64_t loadSerial_ = 0;
    std::shared_ptr<SheetBar> bar_;
    std::shared_ptr<ui::Button> done_;
    std::shared_ptr<ui::ActivityIndicatorView> spinner_;
    std::shared_ptr<ui::Label> failure_;
    std::shared_ptr<ui::Toolbar> toolbar_;
    std::shared_ptr<ui::BarButtonItem> back_;
    std::shared_ptr<ui::BarButtonItem> forward_;
    std::shared_ptr<PageDelegate> pageDelegate_;
    std::shared_ptr<web::WebView> webView_;
};

}  // namespace store
