#include "store/SafariViewController.h"

#include "gfx/Font.h"
#include "store/URLOpener.h"
#include "ui/Button.h"
#include "ui/DeviceProfile.h"
#include "ui/Label.h"

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
    bar_ = std::make_shared<ui::View>();
    bar_->setBackgroundColor(gfx::Color::fromRGB(0xF7F7F7));
    bar_->setBorderWidth(0.5);
    bar_->setBorderColor(gfx::Color::fromRGB(0xC8C8C8));
    host_ = std::make_shared<ui::Label>();
    host_->setText(url_.host());
    host_->setFont(gfx::Font::system(15, gfx::FontWeight::Semibold));
    host_->setTextAlignment(gfx::TextAlignment::Center);
    done_ = ui::Button::create(ui::ButtonType::System);
    done_->setTitle("Done");
    const std::weak_ptr<SafariViewController> weak =
        std::static_pointer_cast<SafariViewController>(shared_from_this());
    done_->addAction(ui::ControlEvent::TouchUpInside, [weak](ui::Control&) {
        if (const auto self = weak.lock()) self->done();
    });
    bar_->addSubview(host_);
    bar_->addSubview(done_);
    view()->addSubview(bar_);
}

void SafariViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!bar_) return;
    const gfx::Rect bounds = view()->bounds();
    const double top = view()->safeAreaInsets().top;
    bar_->setFrame({0, 0, bounds.width(), top + kBarHeight});
    host_->setFrame({70, top, std::max(0.0, bounds.width() - 140), kBarHeight});
    done_->setFrame({8, top, 60, kBarHeight});
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
