#pragma once
// The ad view inside the SDK's in-app browser: every data detector on, the
// page scaled to fit, and only a DZBrowserViewController as its presenting
// controller. Main thread.

#include <memory>

#include "ads/web/view/DZAdView.h"

namespace ads {

class DZBrowserViewController;

class DZBrowserAdView : public DZAdView {
public:
    // nullptr when the web view cannot be made.
    [[nodiscard]] static std::shared_ptr<DZBrowserAdView> create(const gfx::Rect& frame);

    // Anything but a DZBrowserViewController is ignored.
    void setViewController(std::weak_ptr<ui::ViewController> controller) override;
    [[nodiscard]] std::shared_ptr<DZBrowserViewController> browserViewController() const;

    using DZAdView::DZAdView;
};

}  // namespace ads
