#include "app/QZKit/QZScrollZoomTableViewController.h"

#include "ui/ImageView.h"
#include "ui/ScrollView.h"

namespace app {

QZScrollZoomTableViewController::QZScrollZoomTableViewController() = default;

QZScrollZoomTableViewController::~QZScrollZoomTableViewController() = default;

void QZScrollZoomTableViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    const double y = scrollView.contentOffset().y;
    if (!(y < -kStretchThreshold) || !zoomImgView_) return;
    const gfx::Rect frame = zoomImgView_->frame();
    zoomImgView_->setFrame(gfx::Rect(frame.minX(), y, frame.width(), -y));
}

void QZScrollZoomTableViewController::backAction() {
    dismissViewController(true);
}

}  // namespace app
