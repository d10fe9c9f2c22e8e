#include "ads/native/DZAdChoicesView.h"

#include "ads/foundation/DZLogger.h"
#include "ads/native/DZNativeAd.h"

namespace ads {

std::shared_ptr<DZAdChoicesView> DZAdChoicesView::create(const gfx::Rect& frame) {
    return std::make_shared<DZAdChoicesView>(frame);
}

void DZAdChoicesView::setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd) {
    if (nativeAd && nativeAd->adFormatTemplateID() == "3") {
        DZLogger::sharedInstance().logPublicMessage(kCustomTemplateRefusal);
        return;
    }
    nativeAd_ = nativeAd;
    setAdChoicesContentView(nativeAd ? nativeAd->adChoicesContentView() : nullptr);
}

void DZAdChoicesView::setAdChoicesContentView(const std::shared_ptr<ui::View>& view) {
    if (view == adChoicesContentView_) return;
    if (adChoicesContentView_ && adChoicesContentView_->superview().get() == this)
        adChoicesContentView_->removeFromSuperview();
    adChoicesContentView_ = view;
    if (adChoicesContentView_) {
        adChoicesContentView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(adChoicesContentView_);
    }
    setNeedsLayout();
}

gfx::Size DZAdChoicesView::intrinsicContentSize() const {
    return adChoicesContentView_ ? adChoicesContentView_->intrinsicContentSize()
                                 : ui::View::intrinsicContentSize();
}

void DZAdChoicesView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (!adChoicesContentView_) return;
    const gfx::Rect& area = bounds();
    adChoicesContentView_->setCenter(
        {area.origin.x + area.size.width / 2, area.origin.y + area.size.height / 2});
}

}  // namespace ads
