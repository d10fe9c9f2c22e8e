#pragma once
// Pull to refresh for a scroll view (ScrollView::setRefreshControl), which
// keeps it kHeight points tall just above its content. Releasing a drag
// that pulled the content more than kHeight past its top inset begins
// refreshing and then sends ValueChanged; beginRefreshing() does the same
// without the event. While refreshing, the scroll view's top inset is
// kHeight larger, so the content rests below the spinning control;
// endRefreshing() takes the inset back and scrolls the content up to the
// top in ScrollView::kAnimationDuration (when it shows the control and no
// finger holds it). Out of refreshing the spinner fades in with the pull.
// Made with std::make_shared. Main thread only.

#include <memory>
#include <optional>
#include <string>

#include "gfx/Color.h"
#include "ui/Control.h"

namespace ui {

class ActivityIndicatorView;
class Label;
class ScrollView;

class RefreshControl : public Control {
public:
    static constexpr double kHeight = 60;

    RefreshControl();

    [[nodiscard]] bool isRefreshing() const { return refreshing_; }
    void beginRefreshing();
    void endRefreshing();

    // The spinner and title colour; grey by default.
    [[nodiscard]] gfx::Color tintColor() const { return tintColor_; }
    void setTintColor(const gfx::Color& color);
    // A line of text under the spinner.
    [[nodiscard]] const std::optional<std::string>& attributedTitle() const { return title_; }
    void setAttributedTitle(std::optional<std::string> title);

    // The scroll view it is attached to.
    [[nodiscard]] std::shared_ptr<ScrollView> scrollView() const;
    // How far the content is pulled past its top, from 0 (not at all) to 1
    // (the full height); 1 while refreshing.
    [[nodiscard]] double pullProgress() const;
    [[nodiscard]] const std::shared_ptr<ActivityIndicatorView>& indicator();

    void layoutSubviews() override;

private:
    void ensureSubviews();

    bool refreshing_ = false;
    // What beginRefreshing added to the scroll view's top inset.
    double addedInset_ = 0;
    gfx::Color tintColor_{0.5, 0.5, 0.5, 1};
    std::optional<std::string> title_;
    std::shared_ptr<ActivityIndicatorView> indicator_;
    std::shared_ptr<Label> titleLabel_;
};

}  // namespace ui
