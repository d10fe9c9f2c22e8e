#include "app/vc/BaseContentViewController.h"

#include "ui/DeviceProfile.h"

namespace app {

BaseContentViewController::BaseContentViewController(std::string urlString, std::string historyKey)
    : historyKey_(std::move(historyKey)), urlString_(std::move(urlString)) {}

void BaseContentViewController::loadView() {
    auto root = std::make_shared<ui::View>(ui::DeviceProfile::current().screenBounds());
    root->setBackgroundColor(gfx::Color::black());
    setView(root);
}

}  // namespace app
