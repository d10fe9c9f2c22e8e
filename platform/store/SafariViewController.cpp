#include "store/SafariViewController.h"

#include <algorithm>

#include "core/Console.h"
#include "core/Queue.h"
#include "core/Unicode.h"
#include "gfx/Font.h"
#include "store/SheetBar.h"
#include "store/URLOpener.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/BarButtonItem.h"
#include "ui/DeviceProfile.h"
#include "ui/Label.h"
#include "ui/Toolbar.h"
#include "web/WebView.h"

namespace store {

namespace {

// Schemes the browser's web view shows itself; a page's navigation to any
// other leaves the browser or goes nowhere.
bool showsInPage(const core::URL& url) {
    const std::string scheme = core::Unicode::toLower(url.scheme(), "");
    return url.isHTTPorHTTPS() || scheme == "about" || scheme == "data" || scheme == "blob";
}

// A person's tap, or a navigation the engine says a person started.
bool personStarted(const web::NavigationAction& action) {
    return action.userGesture || action.type == web::NavigationType::linkClicked;
}

// What the failure screen says of a page that did not load: in words a
// person reads, whatever part of the app or the engine met the failure
// (that goes to the console).
std::string failureReason(const web::LoadError& error) {
    switch (error.code) {
    case -1001:
        return "The server took too long to answer.";
    case -1002:
    case web::LoadError::kCannotShowURL:
    case web::LoadError::kCannotUseRestrictedPort:
        return "The address cannot be opened here.";
    case -1003:
        return "The server cannot be found.";
    case -1004:
        return "Cannot connect to the server.";
    case -1005:
        return "The network connection was lost.";
    case -1007:
        return "The page redirects too many times.";
    case -1009:
        return "There is no connection to the internet.";
    case -1200:
        return "A secure connection to the server cannot be made.";
    default:
        return "The page cannot be loaded.";
    }
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The browser's root view: tells its controller when it enters a window.
class PageView : public ui::View {
public:
    PageView(gfx::Rect frame, std::function<void()> enteredWindow)
        : ui::View(frame), enteredWindow_(std::move(enteredWindow)) {}

    void didMoveToWindow() override {
        ui::View::didMoveToWindow();
        if (window() && enteredWindow_) enteredWindow_();
    }

private:
    std::function<void()> enteredWindow_;
};

}  // namespace

// Hands the web view's events to the browser while it lives.
class SafariViewController::PageDelegate final : public web::WebViewDelegate {
public:
    explicit PageDelegate(std::weak_ptr<SafariViewController> owner) : owner_(std::move(owner)) {}

    bool shouldStartLoad(web::WebView&, const web::NavigationAction& action) override {
        const auto owner = owner_.lock();
        return owner && owner->shouldStartLoad(action);
    }
    void didStartLoad(web::WebView&) override {
        if (const auto owner = owner_.lock()) owner->pageDidStartLoad();
    }
    void didCommitLoad(web::WebView&) override {
        if (const auto owner = owner_.lock()) owner->pageDidCommitLoad();
    }
    void didFinishLoad(web::WebView&) override {
        if (const auto owner = owner_.lock()) owner->pageDidFinishLoad();
    }
    void didFailLoad(web::WebView&, const web::LoadError& error) override {
        if (const auto owner = owner_.lock()) owner->pageDidFailLoad(error);
    }
    void webProcessDidTerminate(web::WebView&, web::WebProcessTermination) override {
        if (const auto owner = owner_.lock()) owner->pageProcessEnded();
    }
    void didChangeHistory(web::WebView&) override {
        if (const auto owner = owner_.lock()) owner->refreshHistoryButtons();
    }

private:
    std::weak_ptr<SafariViewController> owner_;
};

std::shared_ptr<SafariViewController> SafariViewController::create(const core::URL& url) {
    if (!url.isHTTPorHTTPS()) return nullptr;
    return std::make_shared<SafariViewController>(Token{}, url);
}

SafariViewController::SafariViewController(Token, core::URL url) : url_(std::move(url)) {}

SafariViewController::~SafariViewController() {
    if (!webView_) return;
    // Nothing of the page outlives the browser: its loads end here.
    webView_->setDelegate({});
    webView_->stopLoading();
}

void SafariViewController::loadView() {
    const std::weak_ptr<SafariViewController> weak =
        std::static_pointer_cast<SafariViewController>(shared_from_this());
    setView(std::make_shared<PageView>(ui::DeviceProfile::current().screenBounds(), [weak] {
        if (const auto self = weak.lock()) self->startOnce();
    }));
}

void SafariViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    bar_ = std::make_shared<SheetBar>();
    bar_->setTitle(url_.host());
    const std::weak_ptr<SafariViewController> weak =
        std::static_pointer_cast<SafariViewController>(shared_from_this());
    done_ = bar_->setButton(SheetBar::Side::Leading, "Done", [weak] {
        if (const auto self = weak.lock()) self->done();
    });
    spinner_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::Gray);
    bar_->addSubview(spinner_);

    failure_ = std::make_shared<ui::Label>();
    failure_->setFont(gfx::Font::system(15));
    failure_->setTextColor(gfx::Color::fromRGB(0x6D6D72));
    failure_->setTextAlignment(gfx::TextAlignment::Center);
    failure_->setNumberOfLines(0);
    failure_->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    failure_->setHidden(true);
    view()->addSubview(failure_);
    view()->addSubview(bar_);

    const auto item = [weak](ui::HistoryStep step, std::string name) {
        auto button =
            ui::BarButtonItem::withImage(ui::historyArrowImage(step), ui::BarButtonItemStyle::Plain,
                                         [weak, step](ui::BarButtonItem&) {
                                             if (const auto self = weak.lock())
                                                 (void)self->stepInHistory(step);
                                         });
        button->setEnabled(false);
        button->setIsAccessibilityElement(true);
        button->setAccessibilityLabel(std::move(name));
        return button;
    };
    back_ = item(ui::HistoryStep::Back, "Back");
    forward_ = item(ui::HistoryStep::Forward, "Forward");
    toolbar_ = std::make_shared<ui::Toolbar>();
    toolbar_->setItems({back_, forward_,
                        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace)});
    view()->addSubview(toolbar_);
}

void SafariViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!bar_) return;
    const double top = bar_->placeAtTopOf(*view());
    const gfx::Rect bounds = view()->bounds();
    // The toolbar reaches under the screen's bottom inset; its items sit
    // above it.
    const double bottom =
        std::max(top, bounds.height() - view()->safeAreaInsets().bottom - ui::Toolbar::kHeight);
    toolbar_->setFrame({0, bottom, bounds.width(), bounds.height() - bottom});
    const gfx::Rect page{0, top, bounds.width(), bottom - top};
    if (webView_) webView_->setFrame(page);
    constexpr double kInset = 24;
    failure_->setFrame({kInset, top, std::max(0.0, bounds.width() - 2 * kInset), page.height()});
    // The spinner sits where a trailing button would, in the bar's content.
    const double size = ui::ActivityIndicatorView::kSize;
    spinner_->setFrame({bounds.width() - SheetBar::kMargin - SheetBar::kButtonWidth / 2 - size / 2,
                        top - SheetBar::kHeight / 2 - size / 2, size, size});
}

std::string SafariViewController::title() const {
    return bar_ ? bar_->titleLabel()->text() : url_.host();
}

void SafariViewController::setBarTitle(std::string title) {
    if (bar_) bar_->setTitle(std::move(title));
}

void SafariViewController::startOnce() {
    if (started_) return;
    started_ = true;
    web::WebViewConfiguration configuration;
    configuration.kind = web::WebViewConfiguration::Kind::UI;
    std::string error;
    webView_ = web::WebView::create(view()->bounds(), std::move(configuration), &error);
    if (!webView_) {
        core::Console::log("SafariViewController: no page for " + url_.absoluteString() + ": " +
                           error);
        showFailure("Web pages cannot be shown on this device.");
        return;
    }
    pageDelegate_ = std::make_shared<PageDelegate>(
        std::static_pointer_cast<SafariViewController>(shared_from_this()));
    webView_->setDelegate(pageDelegate_);
    view()->insertSubviewBelow(webView_, failure_.get());
    view()->setNeedsLayout();
    view()->layoutIfNeeded();
    webView_->loadRequest(core::URLRequest(url_));
}

bool SafariViewController::shouldStartLoad(const web::NavigationAction& action) {
    const core::URL& target = action.request.url();
    if (!showsInPage(target)) {
        // As a browser does, a person's way to a mail, phone or app link
        // leaves for the system; anything else the page asks goes nowhere.
        if (personStarted(action)) (void)URLOpener::shared().open(target);
        return false;
    }
    if (action.opensNewWindow) {
        // One page at a time: a link meant for a new window opens here,
        // once the engine is done deciding.
        if (!personStarted(action) || !target.isHTTPorHTTPS()) return false;
        const std::weak_ptr<web::WebView> weak = webView_;
        core::Queue::main()->async([weak, target] {
            if (const auto page = weak.lock()) page->loadRequest(core::URLRequest(target));
        });
        return false;
    }
    return true;
}

void SafariViewController::pageDidStartLoad() {
    ++loadSerial_;
    hideFailure();
    showLoading(true);
    refreshHistoryButtons();
}

void SafariViewController::pageDidCommitLoad() {
    hasPage_ = true;
    // The new page's host until its title is read.
    if (const auto shown = webView_->url(); shown && !shown->host().empty())
        setBarTitle(shown->host());
    refreshHistoryButtons();
}

void SafariViewController::pageDidFinishLoad() {
    showLoading(false);
    refreshHistoryButtons();
    const std::uint64_t serial = loadSerial_;
    const std::weak_ptr<SafariViewController> weak =
        std::static_pointer_cast<SafariViewController>(shared_from_this());
    webView_->evaluateJavaScript("document.title", [weak, serial](web::JSResult result) {
        const auto self = weak.lock();
        if (!self || self->loadSerial_ != serial || !result.value().isString()) return;
        const std::string title = trimmed(result.value().stringValue());
        if (!title.empty()) self->setBarTitle(title);
    });
}

void SafariViewController::pageDidFailLoad(const web::LoadError& error) {
    showLoading(false);
    refreshHistoryButtons();
    // A load that another replaced, or that Done stopped, is not a failure
    // of the page; neither is one that failed after the page was shown.
    if (error.code == web::LoadError::kCancelled) return;
    if (!error.provisional && error.code != web::LoadError::kWebProcessTerminated) return;
    core::Console::log("SafariViewController: " + error.failingURL +
                       " did not load: " + error.message);
    showFailure(failureReason(error));
    // The page the link was on is still there, under the failure.
    failureOverPage_ = hasPage_ && error.code != web::LoadError::kWebProcessTerminated;
    refreshHistoryButtons();
}

void SafariViewController::pageProcessEnded() {
    showLoading(false);
    hasPage_ = false;
    failureOverPage_ = false;
    showFailure("The page stopped working.");
    refreshHistoryButtons();
}

bool SafariViewController::canStepInHistory(ui::HistoryStep step) const {
    if (step == ui::HistoryStep::Back && failureOverPage_) return true;
    return webView_ && ui::canStepIn(*webView_, step);
}

bool SafariViewController::stepInHistory(ui::HistoryStep step) {
    // The failure counts as a page of its own: Back from it shows the page
    // the failed link was on, as the engine still holds it.
    if (step == ui::HistoryStep::Back && failureOverPage_) {
        hideFailure();
        refreshHistoryButtons();
        return true;
    }
    return webView_ && ui::stepIn(*webView_, step);
}

void SafariViewController::refreshHistoryButtons() {
    back_->setEnabled(canStepInHistory(ui::HistoryStep::Back));
    forward_->setEnabled(canStepInHistory(ui::HistoryStep::Forward));
}

void SafariViewController::showLoading(bool loading) {
    if (loading)
        spinner_->startAnimating();
    else
        spinner_->stopAnimating();
}

void SafariViewController::hideFailure() {
    failureOverPage_ = false;
    failure_->setHidden(true);
    if (webView_) webView_->setHidden(false);
}

void SafariViewController::showFailure(const std::string& reason) {
    std::string text = "Cannot Open the Page";
    if (!reason.empty()) text += "\n\n" + reason;
    failure_->setText(std::move(text));
    failure_->setHidden(false);
    // What the page left, or nothing at all, is not shown under it.
    if (webView_) webView_->setHidden(true);
}

void SafariViewController::done() {
    // Closing mid-load leaves nothing fetching for a page no one sees.
    if (webView_ && webView_->isLoading()) webView_->stopLoading();
    if (!parentViewController() && presentingViewController()) {
        const std::weak_ptr<SafariViewController> weak =
            std::static_pointer_cast<SafariViewController>(shared_from_this());
        dismissViewController(true, [weak] {
            if (const auto self = weak.lock()) self->tellDelegate();
        });
        return;
    }
    tellDelegate();
}

void SafariViewController::tellDelegate() {
    if (const auto delegate = delegate_.lock()) delegate->safariViewControllerDidFinish(*this);
}

}  // namespace store
