#include "app/QZKit/QZIndicatorView.h"

#include <cmath>

#include "app/QZKit/QZTabMetrics.h"
#include "core/Console.h"
#include "core/StringFormat.h"

namespace app {

std::shared_ptr<QZIndicatorView> QZIndicatorView::create(long count, const ui::View& view,
                                                         double offset) {
    const gfx::Rect frame(0.0, 0.0, view.frame().width() - offset, tabViewHeight);
    auto self = std::make_shared<QZIndicatorView>(frame);
    self->indicatorCount_ = count;

    self->indicatorScrlView_ = std::make_shared<ui::ScrollView>(frame);
    self->indicatorScrlView_->setDelegate(self);
    self->addSubview(self->indicatorScrlView_);

    const double segment = frame.width() / static_cast<double>(count);
    const double restingLength = indicatorThickness * indicatorLengthFactor;
    self->indicator_ = std::make_shared<ui::View>(gfx::Rect(
        segment * 0.5 - restingLength * 0.5, 16.0, indicatorThickness, indicatorThickness));
    self->indicator_->setCornerRadius(indicatorThickness / 2);
    self->indicator_->setClipsToBounds(true);
    self->indicator_->setBackgroundColor(gfx::Color::white());
    self->indicatorScrlView_->addSubview(self->indicator_);
    return self;
}

QZIndicatorView::~QZIndicatorView() {
    if (indicatorScrlView_) indicatorScrlView_->setDelegate(nullptr);
}

void QZIndicatorView::moveIndicator(double scrollPercent) {
    const double width = frame().width();
    indicatorScrlView_->setContentOffset(
        {-(width / static_cast<double>(indicatorCount_)) * scrollPercent, 0.0}, false);

    const double fraction = scrollPercent - std::floor(scrollPercent);
    const double stretch =
        fraction <= 0.5 ? 1.0 + 5.0 * fraction : 1.0 + 5.0 * (0.5 - (fraction - 0.5));
    const gfx::Rect current = indicator_->frame();
    indicator_->setFrame(gfx::Rect(current.origin,
                                   {stretch * indicatorThickness * indicatorLengthFactor,
                                    indicatorThickness}));
    indicator_->setCornerRadius((stretch * indicatorThickness) / (2 * stretch));
    indicator_->setClipsToBounds(true);

    core::Console::log(core::format("scroll percent: %@", scrollPercent));
    core::Console::log(core::format("scroll fltPct: %@", fraction));
    core::Console::log(core::format("scroll scaleValue: %@", stretch));
}

void QZIndicatorView::resetIndicator() {
    core::Console::log(
        core::format("QZIndicatorView resetIndiator: %@", tabIndicatorContentOffsetX_));
    indicatorScrlView_->setContentOffset({tabIndicatorContentOffsetX_, 0.0}, false);
}

void QZIndicatorView::scrollViewDidScroll(ui::ScrollView& scrollView) {
    const double offsetX = scrollView.contentOffset().x;
    const double width = scrollView.frame().width();
    if (offsetX / width != 0.0) tabIndicatorContentOffsetX_ = offsetX;
    core::Console::log(core::format("QZIndicatorView scrollViewDidScroll: %@, contentOffset: %@, width: %@",
                                    tabIndicatorContentOffsetX_, offsetX, width));
}

void QZIndicatorView::scrollViewWillBeginDragging(ui::ScrollView&) {
    for (int i = 0; i < 3; ++i) core::Console::log("QZIndicatorView scrollViewWillBeginDragging");
}

}  // namespace app
