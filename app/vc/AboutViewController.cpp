#include "app/vc/AboutViewController.h"

#include "ui/DeviceProfile.h"

namespace app {

void AboutViewController::loadView() {
    auto root = std::make_shared<ui::View>(ui::DeviceProfile::current().screenBounds());
    root->setBackgroundColor(gfx::Color::black());
    setView(root);
}

}  // namespace app
