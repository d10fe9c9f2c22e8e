#pragma once
// A table screen whose header image stretches when the table is pulled
// down far: beyond 200 points of pull the header image view (assigned from
// outside, usually the table's header view) is moved and stretched to fill
// the whole gap above the rows. Its frame is not restored when the pull
// eases; the next pull beyond 200 points sets it again. Without a header
// image view nothing stretches.
//
// Made with std::make_shared. Main thread only.

#include <memory>

#include "ui/TableViewController.h"

namespace ui {
class ImageView;
}

namespace app {

class QZScrollZoomTableViewController : public ui::TableViewController {
public:
    // Pulls of up to this many points leave the header alone.
    static constexpr double kStretchThreshold = 200;

    QZScrollZoomTableViewController();
    ~QZScrollZoomTableViewController() override;

    [[nodiscard]] const std::shared_ptr<ui::ImageView>& zoomImgView() const { return zoomImgView_; }
    void setZoomImgView(std::shared_ptr<ui::ImageView> view) { zoomImgView_ = std::move(view); }

    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void backAction();

private:
    std::shared_ptr<ui::ImageView> zoomImgView_;
};

}  // namespace app
