#include "store/ComposeViewController.h"

#include <algorithm>

#include "gfx/Font.h"
#include "store/SheetBar.h"
#include "ui/Label.h"

namespace store {

namespace {
constexpr double kInset = 16;
}  // namespace

ComposeViewController::ComposeViewController(std::string barTitle)
    : barTitle_(std::move(barTitle)) {}

void ComposeViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    bar_ = std::make_shared<SheetBar>();
    bar_->setTitle(barTitle_);
    const std::weak_ptr<ComposeViewController> weak =
        std::static_pointer_cast<ComposeViewController>(shared_from_this());
    cancel_ = bar_->setButton(SheetBar::Side::Leading, "Cancel", [weak] {
        if (const auto self = weak.lock()) self->cancelTapped();
    });
    send_ = bar_->setButton(SheetBar::Side::Trailing, "Send", [weak] {
        if (const auto self = weak.lock()) self->sendTapped();
    });
    text_ = std::make_shared<ui::Label>();
    text_->setFont(gfx::Font::system(15));
    text_->setNumberOfLines(0);
    view()->addSubview(text_);
    view()->addSubview(bar_);
    refresh();
}

void ComposeViewController::refresh() {
    if (!text_) return;
    text_->setText(summary());
    view()->setNeedsLayout();
}

void ComposeViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!bar_) return;
    const double barBottom = bar_->placeAtTopOf(*view());
    const double width = std::max(0.0, view()->bounds().width() - 2 * kInset);
    text_->setFrame({kInset, barBottom + kInset, width, text_->sizeThatFits({width, 0}).height});
}

std::string ComposeViewController::line(const std::string& field,
                                        const std::vector<std::string>& values) {
    std::string text = field + ":";
    for (size_t i = 0; i < values.size(); ++i) text.append(i == 0 ? " " : ", ").append(values[i]);
    return text;
}

}  // namespace store
