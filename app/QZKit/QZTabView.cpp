#include "app/QZKit/QZTabView.h"

#include "app/QZKit/QZTabMetrics.h"
#include "app/services/Common.h"
#include "app/utils/Fonts.h"
#include "core/Console.h"
#include "core/StringFormat.h"

namespace app {

namespace {
// Room kept between neighbouring titles, and how far a title may shrink.
constexpr double kTitleSideInset = 3.0;
constexpr double kTitleMinimumScale = 0.5;
}  // namespace

std::shared_ptr<QZTabView> QZTabView::create(std::vector<std::string> titles, const ui::View& view,
                                             double offset) {
    const gfx::Rect area = view.frame();
    auto self = std::make_shared<QZTabView>(
        gfx::Rect(0.0, area.height() - tabViewHeight, area.width(), tabViewHeight));
    self->setBackgroundColor(gfx::Color::black().withAlpha(0.5));
    self->titles_ = std::move(titles);

    const long count = static_cast<long>(self->titles_.size());
    self->indicatorView_ = QZIndicatorView::create(count, view, offset);
    self->addSubview(self->indicatorView_);

    const double segment = (self->frame().width() - offset) / static_cast<double>(count);
    std::weak_ptr<QZTabView> weakSelf = self;
    for (long i = 0; i < count; ++i) {
        auto button = ui::Button::create(ui::ButtonType::Custom);
        button->setFrame(gfx::Rect(segment * static_cast<double>(i), 0.0, segment, tabViewHeight));
        button->setTitle(self->titles_[static_cast<size_t>(i)], ui::ControlState::Normal);
        if (auto font = fontNamed(CommonFontName::tabTitle, 2.0)) button->titleLabel()->setFont(*font);
        // A title longer than its segment ("Favourites" in the selected
        // weight) shrinks rather than ending in an ellipsis.
        button->setContentEdgeInsets({0, kTitleSideInset, 0, kTitleSideInset});
        button->titleLabel()->setAdjustsFontSizeToFitWidth(true);
        button->titleLabel()->setMinimumScaleFactor(kTitleMinimumScale);
        button->setTitleColor(gfx::Color::white(), ui::ControlState::Normal);
        button->setTag(static_cast<int>(i));
        self->addSubview(button);
        self->titleButtons_.push_back(button);
        button->addAction(ui::ControlEvent::TouchUpInside, [weakSelf](ui::Control& sender) {
            if (auto strip = weakSelf.lock()) strip->btnAction(sender);
        });
    }
    return self;
}

void QZTabView::btnAction(ui::Control& sender) {
    core::Console::log(core::format("btnAction %d", sender.tag()));
    selectTab(sender.tag(), true);
}

void QZTabView::selectTab(long index, bool animated) {
    const double segment = frame().width() / static_cast<double>(titles_.size());
    indicatorView_->indicatorScrlView()->setContentOffset(
        {-segment * static_cast<double>(index), 0.0}, animated);
    if (auto delegate = delegate_.lock()) delegate->indicatorTouchUp(index);
}

}  // namespace app
