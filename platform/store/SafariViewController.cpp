#include "store/SafariViewController.h"

#include "store/SheetBar.h"
#include "store/URLOpener.h"
#include "ui/DeviceProfile.h"

namespace store {

namespace {

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

std::shared_ptr<SafariViewController> SafariViewController::create(const core::URL& url) {
    if (!url.isHTTPorHTTPS()) return nullptr;
    return std::make_shared<SafariViewController>(Token{}, url);
}

SafariViewController::SafariViewController(Token, core::URL url) : url_(std::move(url)) {}

void SafariViewController::loadView() {
    const std::weak_ptr<SafariViewController> weak =
        std::static_pointer_cast<SafariViewController>(shared_from_this());
    setView(std::make_shared<PageView>(ui::DeviceProfile::current().screenBounds(), [weak] {
        if (const auto self = weak.lock()) self->openOnce();
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
    view()->addSubview(bar_);
}

void SafariViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!bar_) return;
    (void)bar_->placeAtTopOf(*view());
}

void SafariViewController::openOnce() {
    if (opened_) return;
    opened_ = true;
    (void)URLOpener::shared().open(url_);
}

void SafariViewController::done() {
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
