#include "store/ActivityViewController.h"

#include <algorithm>
#include <atomic>

#include "core/Clock.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "store/DesktopMailClient.h"
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
// The attachment name of each shared image; the mail client numbers repeats.
constexpr const char* kMailImageName = "image.png";

std::atomic<bool> gPerformsOnDesktop{false};

const std::shared_ptr<core::Queue>& outboxQueue() {
    static const auto queue = core::Queue::serial("store.share-outbox");
    return queue;
}

gfx::ImagePtr firstImage(const std::vector<ActivityItem>& items) {
    for (const auto& item : items)
        if (const auto* image = std::get_if<gfx::ImagePtr>(&item); image && *image) return *image;
    return nullptr;
}

// A rounded grey square with the title's initial, the title beneath; the
// whole of it takes the tap.
std::shared_ptr<ui::Control> activityView(const ActivityType& type) {
    const std::string title = activityTitle(type);
    auto view = std::make_shared<ui::Control>(gfx::Rect(
        0, 0, ActivityViewController::kActivityWidth, ActivityViewController::kActivityHeight));
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
    icon->setUserInteractionEnabled(false);
    name->setUserInteractionEnabled(false);
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

bool ActivityViewController::performsOnDesktop() {
    return gPerformsOnDesktop;
}

void ActivityViewController::setPerformsOnDesktop(bool performs) {
    gPerformsOnDesktop = performs;
}

const std::vector<ActivityType>& ActivityViewController::desktopActivityTypes() {
    static const std::vector<ActivityType> types{ActivityTypeMail};
    return types;
}

std::vector<ActivityType> ActivityViewController::availableActivityTypes() const {
    const std::vector<ActivityType>& known =
        performsOnDesktop() ? desktopActivityTypes() : allActivityTypes();
    std::vector<ActivityType> available;
    for (const auto& type : known)
        if (std::find(excluded_.begin(), excluded_.end(), type) == excluded_.end())
            available.push_back(type);
    return available;
}

void ActivityViewController::performActivity(const ActivityType& type) {
    // Headless runs and tests record the share in the outbox alone.
    if (!performsOnDesktop() || performing_) return;
    const auto available = availableActivityTypes();
    if (std::find(available.begin(), available.end(), type) == available.end()) return;
    if (type != ActivityTypeMail) return;
    performing_ = true;
    handToMailClient();
}

void ActivityViewController::handToMailClient() {
    const std::weak_ptr<ActivityViewController> weak =
        std::static_pointer_cast<ActivityViewController>(shared_from_this());
    // Encoding a photo takes a while: off the main thread.
    core::Queue::global()->async([weak, items = items_] {
        const auto ended = [weak](const std::optional<std::string>& problem) {
            if (const auto self = weak.lock()) self->activityEnded(ActivityTypeMail, problem);
        };
        DesktopMail mail;
        for (const auto& item : items) {
            if (const auto* text = std::get_if<std::string>(&item)) {
                mail.body += (mail.body.empty() ? "" : "\n\n") + *text;
                continue;
            }
            const auto& image = std::get<gfx::ImagePtr>(item);
            if (!image) continue;
            const auto bytes = image->encodePng();
            if (bytes.empty()) {
                core::Queue::main()->async(
                    [ended] { ended("the image cannot be encoded as PNG"); });
                return;
            }
            mail.attachments.push_back(
                {std::string(bytes.begin(), bytes.end()), "image/png", kMailImageName});
        }
        DesktopMailClient::send(std::move(mail), ended);
    });
}

void ActivityViewController::activityEnded(const ActivityType& type,
                                           const std::optional<std::string>& error) {
    performing_ = false;
    if (error) core::Console::log("share sheet: " + activityTitle(type) + ": " + *error);
    if (completion_) completion_(type, !error, error);
    // Done: the sheet goes, unless the person closed it meanwhile.
    if (!error && presentingViewController() && !isBeingDismissed()) dismissViewController(true);
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
    const std::weak_ptr<ActivityViewController> weak =
        std::static_pointer_cast<ActivityViewController>(shared_from_this());
    for (const auto& type : availableActivityTypes()) {
        activityViews_.push_back(activityView(type));
        activityViews_.back()->addAction(ui::ControlEvent::TouchUpInside,
                                         [weak, type](ui::Control&) {
                                             if (const auto self = weak.lock())
                                                 self->performActivity(type);
                                         });
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
