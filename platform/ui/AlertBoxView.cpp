#include "ui/AlertBoxView.h"

#include <algorithm>
#include <cmath>

#include "gfx/Canvas.h"
#include "ui/AlertActionRow.h"

namespace ui {

namespace {

constexpr double kSideInset = 16;
constexpr double kTitleMessageGap = 4;
constexpr double kCornerRadius = 13;

}  // namespace

AlertBoxView::AlertBoxView(AlertControllerStyle style) : style_(style) {
    setBackgroundColor(gfx::Color{0.97, 0.97, 0.97, 0.98});
    setCornerRadius(kCornerRadius);
    setClipsToBounds(true);
}

void AlertBoxView::setContent(std::string title, std::string message,
                              const std::vector<AlertAction>& actions) {
    title_ = std::move(title);
    message_ = std::move(message);
    for (const auto& row : rows_) row->removeFromSuperview();
    rows_.clear();
    std::vector<size_t> order;
    for (size_t i = 0; i < actions.size(); ++i) {
        if (actions[i].style != AlertActionStyle::Cancel) order.push_back(i);
    }
    for (size_t i = 0; i < actions.size(); ++i) {
        if (actions[i].style == AlertActionStyle::Cancel) order.push_back(i);
    }
    if (style_ == AlertControllerStyle::Alert && order.size() == 2) {
        std::stable_partition(order.begin(), order.end(), [&actions](size_t i) {
            return actions[i].style == AlertActionStyle::Cancel;
        });
    }
    const std::weak_ptr<AlertBoxView> weak =
        std::static_pointer_cast<AlertBoxView>(shared_from_this());
    for (const size_t index : order) {
        auto row =
            std::make_shared<AlertActionRow>(actions[index].title, actions[index].style, index);
        row->addAction(ControlEvent::TouchUpInside, [weak, index](Control&) {
            const auto self = weak.lock();
            if (self && self->selectionHandler_) self->selectionHandler_(index);
        });
        addSubview(row);
        rows_.push_back(std::move(row));
    }
    setNeedsLayout();
    setNeedsDisplay();
}

bool AlertBoxView::rowsSideBySide() const {
    return style_ == AlertControllerStyle::Alert && rows_.size() == 2;
}

double AlertBoxView::rowHeight() const {
    return style_ == AlertControllerStyle::Alert ? 44 : 57;
}

gfx::TextStyle AlertBoxView::titleStyle() const {
    gfx::TextStyle style;
    style.paragraph.alignment = gfx::TextAlignment::Center;
    if (style_ == AlertControllerStyle::Alert) {
        style.font = gfx::Font::system(17, gfx::FontWeight::Bold);
    } else {
        style.font = gfx::Font::system(13, gfx::FontWeight::Semibold);
        style.color = gfx::Color::fromRGB(0x8F8F8F);
    }
    return style;
}

gfx::TextStyle AlertBoxView::messageStyle() const {
    gfx::TextStyle style;
    style.paragraph.alignment = gfx::TextAlignment::Center;
    style.font = gfx::Font::system(13);
    if (style_ == AlertControllerStyle::ActionSheet) style.color = gfx::Color::fromRGB(0x8F8F8F);
    return style;
}

double AlertBoxView::preferredWidth(double available) const {
    if (style_ == AlertControllerStyle::ActionSheet) return std::max(0.0, available);
    if (!rows_.empty()) return std::min(kAlertWidth, available);
    double textWidth = 0;
    if (!title_.empty()) textWidth = gfx::TextLayout(title_, titleStyle()).size().width;
    if (!message_.empty()) {
        textWidth = std::max(textWidth, gfx::TextLayout(message_, messageStyle()).size().width);
    }
    return std::min({kAlertWidth, available, std::ceil(textWidth) + 1 + 2 * kSideInset});
}

AlertBoxView::Header AlertBoxView::layoutHeader(double width) const {
    Header header;
    if (title_.empty() && message_.empty()) return header;
    const double padding = style_ == AlertControllerStyle::Alert ? 20 : 14;
    const double textWidth = std::max(1.0, width - 2 * kSideInset);
    double y = padding;
    if (!title_.empty()) {
        header.title.emplace(title_, titleStyle(), textWidth);
        header.titleY = y;
        y += header.title->size().height;
    }
    if (!message_.empty()) {
        if (header.title) y += kTitleMessageGap;
        header.message.emplace(message_, messageStyle(), textWidth);
        header.messageY = y;
        y += header.message->size().height;
    }
    header.height = std::ceil(y + padding);
    return header;
}

double AlertBoxView::heightForWidth(double width) const {
    const double rows = rowsSideBySide() ? 1 : static_cast<double>(rows_.size());
    return layoutHeader(width).height + rows * rowHeight();
}

void AlertBoxView::layoutSubviews() {
    View::layoutSubviews();
    const gfx::Rect area = bounds();
    double y = area.minY() + layoutHeader(area.width()).height;
    if (rowsSideBySide()) {
        const double half = area.width() / 2;
        rows_[0]->setFrame({area.minX(), y, half, rowHeight()});
        rows_[1]->setFrame({area.minX() + half, y, area.width() - half, rowHeight()});
        rows_[1]->setDrawsLeftHairline(true);
        return;
    }
    for (const auto& row : rows_) {
        row->setDrawsLeftHairline(false);
        row->setFrame({area.minX(), y, area.width(), rowHeight()});
        y += rowHeight();
    }
}

void AlertBoxView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect area = bounds();
    const Header header = layoutHeader(area.width());
    if (header.title) canvas.drawText(*header.title, {area.minX() + kSideInset, header.titleY});
    if (header.message) {
        canvas.drawText(*header.message, {area.minX() + kSideInset, header.messageY});
    }
}

}  // namespace ui
