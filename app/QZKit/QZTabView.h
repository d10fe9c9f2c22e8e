#pragma once
// The translucent title strip along the bottom of the tab container: one
// title button per page over the pill's track.

#include <memory>
#include <string>
#include <vector>

#include "app/QZKit/QZIndicatorView.h"
#include "app/QZKit/QZTabViewDelegate.h"
#include "ui/Button.h"
#include "ui/Label.h"

namespace app {

class QZTabView : public ui::View {
public:
    static std::shared_ptr<QZTabView> create(std::vector<std::string> titles, const ui::View& view,
                                             double offset);

    void btnAction(ui::Control& sender);
    // Slides the pill's track to the title and tells the delegate.
    void selectTab(long index, bool animated);

    void setDelegate(const std::shared_ptr<QZTabViewDelegate>& delegate) { delegate_ = delegate; }
    [[nodiscard]] const std::vector<std::shared_ptr<ui::Button>>& titleButtons() const {
        return titleButtons_;
    }
    [[nodiscard]] const std::shared_ptr<QZIndicatorView>& indicatorView() const {
        return indicatorView_;
    }
    [[nodiscard]] const std::vector<std::string>& titles() const { return titles_; }

    explicit QZTabView(gfx::Rect frame) : ui::View(frame) {}

private:
    std::vector<std::string> titles_;
    std::vector<std::shared_ptr<ui::Button>> titleButtons_;
    std::shared_ptr<QZIndicatorView> indicatorView_;
    // Weak: the container owns the strip, so a strong link back would keep
    // both alive for ever.
    std::weak_ptr<QZTabViewDelegate> delegate_;
};

}  // namespace app
