#include "ui/BarButtonItem.h"

#include <cmath>
#include <numbers>

#include "gfx/Canvas.h"
#include "gfx/TextLayout.h"
#include "ui/Control.h"
#include "ui/Toolbar.h"

namespace ui {

namespace {

constexpr double kDisabledAlpha = 0.35;

gfx::TextStyle titleStyle(BarButtonItemStyle style, gfx::Color color) {
    gfx::TextStyle text;
    text.font = gfx::Font::system(17, style == BarButtonItemStyle::Done ? gfx::FontWeight::Semibold
                                                                        : gfx::FontWeight::Regular);
    text.color = color;
    return text;
}

// An open circle with an arrow head at its end, about a centre.
void drawRefresh(gfx::Canvas& canvas, gfx::Point c, gfx::Color color) {
    constexpr double kRadius = 8;
    constexpr int kSegments = 24;
    const double start = -std::numbers::pi / 2 + 0.5;
    const double sweep = 2 * std::numbers::pi - 1.0;
    auto at = [&](double angle) {
        return gfx::Point{c.x + kRadius * std::cos(angle), c.y + kRadius * std::sin(angle)};
    };
    for (int i = 0; i < kSegments; ++i) {
        canvas.strokeLine(at(start + sweep * i / kSegments),
                          at(start + sweep * (i + 1) / kSegments), color, 1.5);
    }
    const gfx::Point tip = at(start);
    canvas.strokeLine(tip, {tip.x - 4, tip.y - 3}, color, 1.5);
    canvas.strokeLine(tip, {tip.x - 4, tip.y + 3}, color, 1.5);
}

// A tray open at the top with an arrow rising out of it.
void drawShare(gfx::Canvas& canvas, gfx::Point c, gfx::Color color) {
    const double left = c.x - 7, right = c.x + 7, top = c.y - 2, bottom = c.y + 9;
    canvas.strokeLine({left, top}, {left, bottom}, color, 1.5);
    canvas.strokeLine({left, bottom}, {right, bottom}, color, 1.5);
    canvas.strokeLine({right, bottom}, {right, top}, color, 1.5);
    canvas.strokeLine({c.x, c.y + 3}, {c.x, c.y - 10}, color, 1.5);
    canvas.strokeLine({c.x, c.y - 10}, {c.x - 4, c.y - 6}, color, 1.5);
    canvas.strokeLine({c.x, c.y - 10}, {c.x + 4, c.y - 6}, color, 1.5);
}

// The view of an image or system item: a control that draws the item in
// its toolbar's tint and runs the item's action on a tap.
class BarButtonItemView : public Control {
public:
    explicit BarButtonItemView(const std::shared_ptr<BarButtonItem>& item) : item_(item) {
        addAction(ControlEvent::TouchUpInside, [weak = item_](Control&) {
            if (const auto owner = weak.lock()) (void)owner->sendAction();
        });
    }

    void draw(gfx::Canvas& canvas, const gfx::Rect&) const override {
        const auto item = item_.lock();
        if (!item) return;
        const auto toolbar = std::dynamic_pointer_cast<Toolbar>(superview());
        gfx::Color color = toolbar ? toolbar->tintColor() : Toolbar::kDefaultTintColor;
        if (!isEnabled()) color = color.withAlpha(color.alpha * kDisabledAlpha);
        const gfx::Rect b = bounds();
        const gfx::Point centre = b.center();
        if (item->image()) {
            const gfx::Size size = item->image()->size();
            canvas.fillWithMask(
                *item->image(),
                {centre.x - size.width / 2, centre.y - size.height / 2, size.width, size.height},
                color);
            return;
        }
        switch (item->systemItem().value_or(BarButtonSystemItem::FlexibleSpace)) {
        case BarButtonSystemItem::Done: {
            const gfx::TextLayout text("Done", titleStyle(item->style(), color));
            canvas.drawText(text,
                            {centre.x - text.size().width / 2, centre.y - text.size().height / 2});
            break;
        }
        case BarButtonSystemItem::Refresh:
            drawRefresh(canvas, centre, color);
            break;
        case BarButtonSystemItem::Action:
            drawShare(canvas, centre, color);
            break;
        case BarButtonSystemItem::FlexibleSpace:
            break;
        }
    }

private:
    std::weak_ptr<BarButtonItem> item_;
};

}  // namespace

std::shared_ptr<BarButtonItem> BarButtonItem::withImage(gfx::ImagePtr image,
                                                        BarButtonItemStyle style, Action action) {
    auto item = std::make_shared<BarButtonItem>(Token{});
    item->image_ = std::move(image);
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withSystemItem(BarButtonSystemItem system,
                                                             Action action) {
    auto item = std::make_shared<BarButtonItem>(Token{});
    item->system_ = system;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withCustomView(std::shared_ptr<View> view) {
    auto item = std::make_shared<BarButtonItem>(Token{});
    item->custom_ = std::move(view);
    return item;
}

void BarButtonItem::setStyle(BarButtonItemStyle style) {
    style_ = style;
    if (view_) view_->setNeedsDisplay();
}

void BarButtonItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (const auto control = std::dynamic_pointer_cast<BarButtonItemView>(view_))
        control->setEnabled(enabled);
}

bool BarButtonItem::sendAction() {
    if (!enabled_ || !action_) return false;
    // The action may replace itself; run a copy.
    const Action action = action_;
    action(*this);
    return true;
}

double BarButtonItem::naturalWidth() const {
    if (custom_) return custom_->frame().width();
    if (image_) return std::max(image_->size().width, kGlyphWidth);
    if (system_ == BarButtonSystemItem::Done)
        return gfx::TextLayout("Done", titleStyle(style_, gfx::Color::black())).size().width;
    return isFlexibleSpace() ? 0 : kGlyphWidth;
}

std::shared_ptr<View> BarButtonItem::view() {
    if (custom_) return custom_;
    if (isFlexibleSpace()) return nullptr;
    if (!view_) {
        auto control = std::make_shared<BarButtonItemView>(shared_from_this());
        control->setEnabled(enabled_);
        view_ = std::move(control);
    }
    return view_;
}

}  // namespace ui
