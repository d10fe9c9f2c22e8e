#include "store/ActivityViewController.h"

#include <algorithm>

#include "core/Clock.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "store/ShareOutbox.h"
#include "ui/Button.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/PopoverArrowView.h"
#include "ui/PopoverPresentationController.h"

namespace store {

namespace {

constexpr double kCornerRadius = 13;
constexpr double kInset = 12;
constexpr double kIconSide = 56;
const gfx::Color kPanelColor = gfx::Color::fromRGB(0xF7F7F7);
const gfx::Color kDimming = gfx::Color::black().withAlpha(0.4);

const std::shared_ptr<core::Queue>& outboxQueue() {
    static const auto queue = core::Queue::serial("store.share-outbox");
    return queue;
}

gfx::ImagePtr firstImage(const std::vector<ActivityItem>& items) {
    for (const auto& item : items)
        if (const auto* image = std::get_if<gfx::ImagePtr>(&item); image && *image) return *image;
    return nullptr;
}

// A rounded grey square with the title's initial, the title beneath.
std::shared_ptr<ui::View> activityView(const ActivityType& type) {
    const std::string title = activityTitle(type);
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, ActivityViewController::kActivityWidth,
                                                     ActivityViewController::kActivityHeight));
    auto icon = std::make_shared<ui::Label>();
    icon->setFrame(
        {(ActivityViewController::kActivityWidth - kIconSide) / 2, 0, kIconSide, kIconSide});
    icon->setBackgroundColor(gfx::Color::fromRGB(0xE5E5EA));
    icon->setCornerRadius(12);
    icon->setText(title.substr(0, 1));
    icon->setFont(gfx::Font::system(26, gfx::FontWeight::Semibold));
    icon->setTextColor(gfx::Color::fromRGB(0x3C3C43));
    icon->setTextAlignment(gfx::TextAlignment::Center);
    auto name = std::make_shared<ui::Label>();
    name->setFrame({0, kIconSide + 4, ActivityViewController::kActivityWidth, 24});
    name->setText(title);
    name->setFont(gfx::Font::system(10));
    name->setTextAlignment(gfx::TextAlignment::Center);
    name->setNumberOfLines(2);
    view->addSubview(icon);
    view->addSubview(name);
    return view;
}

}  // namespace

std::shared_ptr<ActivityViewController>
ActivityViewController::create(std::vector<ActivityItem> items) {
    return std::make_shared<ActivityViewController>(Token{}, std::move(items));
}

ActivityViewController::ActivityViewController(Token, std::vector<ActivityItem> items)
    : items_(std::move(items)) {
    setModalPresentationStyle(ui::ModalPresentationStyle::OverFullScreen);
}

std::vector<ActivityType> ActivityViewController::availableActivityTypes() const {
    std::vector<ActivityType> available;
    for (const auto& type : allActivityTypes())
        if (std::find(excluded_.begin(), excluded_.end(), type) == excluded_.end())
            available.push_back(type);
    return available;
}

std::shared_ptr<ui::PopoverPresentationController>
ActivityViewController::popoverPresentationController() {
    if (ui::DeviceProfile::current().idiom != ui::UserInterfaceIdiom::Pad) return nullptr;
    if (!popover_) popover_ = std::make_shared<ui::PopoverPresentationController>();
    return popover_;
}

void ActivityViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(kDimming);

    panel_ = std::make_shared<ui::View>();
    panel_->setBackgroundColor(kPanelColor);
    panel_->setCornerRadius(kCornerRadius);
    panel_->setClipsToBounds(true);
    preview_ = std::make_shared<ui::ImageView>();
    preview_->setContentMode(gfx::ContentMode::ScaleAspectFit);
    preview_->setImage(firstImage(items_));
    panel_->addSubview(preview_);
    addActivityViews();
    view()->addSubview(panel_);

    cancel_ = ui::Button::create(ui::ButtonType::System);
    cancel_->setTitle("Cancel");
    cancel_->titleLabel()->setFont(gfx::Font::system(20, gfx::FontWeight::Semibold));
    cancel_->setBackgroundColor(gfx::Color::white());
    cancel_->setCornerRadius(kCornerRadius);
    const std::weak_ptr<ActivityViewController> weak =
        std::static_pointer_cast<ActivityViewController>(shared_from_this());
    cancel_->addAction(ui::ControlEvent::TouchUpInside, [weak](ui::Control&) {
        if (const auto self = weak.lock()) self->dismissViewController(true);
    });
    view()->addSubview(cancel_);
}

void ActivityViewController::addActivityViews() {
    for (const auto& view : activityViews_) view->removeFromSuperview();
    activityViews_.clear();
    for (const auto& type : availableActivityTypes()) {
        activityViews_.push_back(activityView(type));
        panel_->addSubview(activityViews_.back());
    }
}

std::shared_ptr<ui::PopoverArrowView> ActivityViewController::arrow() const {
    return arrow_ && arrow_->superview() ? arrow_ : nullptr;
}

void ActivityViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!panel_) return;
    const gfx::Rect bounds = view()->bounds();
    const double panelHeight = kInset + kPreviewHeight + kInset + kActivityHeight + kMargin;
    const auto anchor = popover_ ? popover_->anchorIn(*view()) : std::nullopt;
    double width = bounds.width() - 2 * kMargin;
    if (anchor) {
        // The panel over the Cancel button, as one popover box.
        const ui::PopoverPlacement placement = ui::PopoverPresentationController::place(
            *anchor, {kPopoverWidth, panelHeight + kMargin + kCancelHeight},
            bounds.inset(view()->safeAreaInsets()));
        const gfx::Rect box = placement.box;
        width = box.width();
        panel_->setFrame({box.minX(), box.minY(), width, panelHeight});
        cancel_->setFrame({box.minX(), box.maxY() - kCancelHeight, width, kCancelHeight});
        if (!arrow_) arrow_ = std::make_shared<ui::PopoverArrowView>();
        if (!arrow_->superview()) view()->addSubview(arrow_);
        // The arrow takes the colour of the part it stands out of.
        const bool fromCancel = placement.direction == ui::PopoverArrowDirection::Down;
        arrow_->apply(placement, fromCancel ? gfx::Color::white() : kPanelColor);
        view()->setBackgroundColor(gfx::Color::clear());
    } else {
        if (arrow_) arrow_->removeFromSuperview();
        view()->setBackgroundColor(kDimming);
        const double bottom = bounds.maxY() - view()->safeAreaInsets().bottom - kMargin;
        cancel_->setFrame({kMargin, bottom - kCancelHeight, width, kCancelHeight});
        panel_->setFrame(
            {kMargin, cancel_->frame().minY() - kMargin - panelHeight, width, panelHeight});
    }
    preview_->setFrame({kInset, kInset, std::max(0.0, width - 2 * kInset), kPreviewHeight});
    double x = kInset;
    for (const auto& activity : activityViews_) {
        activity->setFrame({x, 2 * kInset + kPreviewHeight, kActivityWidth, kActivityHeight});
        x += kActivityWidth;
    }
}

void ActivityViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    if (written_) return;
    written_ = true;
    writeOutbox();
}

void ActivityViewController::writeOutbox() {
    const double now = core::Clock::current()->wallSeconds();
    outboxQueue()->async([items = items_, excluded = excluded_, now] {
        const auto record = ShareOutbox::write(items, excluded, now);
        if (!record) core::Console::log("share sheet: " + record.error());
    });
}

}  // namespace store
