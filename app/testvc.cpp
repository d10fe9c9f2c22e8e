#include "app/testvc.h"

#include "ui/DeviceProfile.h"

namespace app {

void testvc::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    band_ = std::make_shared<ui::View>();
    band_->setBackgroundColor(gfx::Color{1, 0, 0, 1});
    view()->addSubview(band_);
}

void testvc::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    const gfx::Rect bounds = view()->bounds();
    const bool pinsTop = ui::DeviceProfile::current().isSystemVersionAtLeast(11);
    const double top = bounds.minY() + (pinsTop ? view()->safeAreaInsets().top : 0.0);
    band_->setFrame(gfx::Rect(bounds.minX(), top, bounds.width(), kBandHeight));
}

}  // namespace app
