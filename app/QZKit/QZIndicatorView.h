#pragma once
// The pill's track inside the title strip: a scroll view whose content
// offset slides the small white pill one segment per page, stretching it
// while the pages are between two positions.

#include <memory>

#include "ui/ScrollView.h"

namespace app {

class QZIndicatorView : public ui::View, public ui::ScrollViewDelegate {
public:
    // count titles over the container view's width less offset.
    static std::shared_ptr<QZIndicatorView> create(long count, const ui::View& view, double offset);
    ~QZIndicatorView() override;

    void moveIndicator(double scrollPercent);
    // Puts the track back to its last stored non-zero offset.
    void resetIndicator();

    // The indicator view stays in the strip for good.
    void removeFromSuperview() override {}

    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView& scrollView) override;

    [[nodiscard]] const std::shared_ptr<ui::ScrollView>& indicatorScrlView() const {
        return indicatorScrlView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& indicator() const { return indicator_; }
    [[nodiscard]] double tabIndicatorContentOffsetX() const { return tabIndicatorContentOffsetX_; }

    explicit QZIndicatorView(gfx::Rect frame) : ui::View(frame) {}

private:
    std::shared_ptr<ui::ScrollView> indicatorScrlView_;
    long indicatorCount_ = 0;
    std::shared_ptr<ui::View> indicator_;
    double tabIndicatorContentOffsetX_ = 0.0;
};

}  // namespace app
