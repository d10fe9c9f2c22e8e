#include "ads/web/view/DZBrowserAdView.h"

#include "ads/presentation/browser/DZBrowserViewController.h"

namespace ads {

std::shared_ptr<DZBrowserAdView> DZBrowserAdView::create(const gfx::Rect& frame) {
    DZWebViewConfiguration configuration;
    configuration.setDataDetectorType(DZWebViewConfiguration::kDataDetectorTypeAll);
    configuration.setScalesPageToFit(true);
    return make<DZBrowserAdView>(frame, configuration);
}

void DZBrowserAdView::setViewController(std::weak_ptr<ui::ViewController> controller) {
    if (!std::dynamic_pointer_cast<DZBrowserViewController>(controller.lock())) return;
    DZAdView::setViewController(std::move(controller));
}

std::shared_ptr<DZBrowserViewController> DZBrowserAdView::browserViewController() const {
    return std::dynamic_pointer_cast<DZBrowserViewController>(viewController());
}

}  // namespace ads
