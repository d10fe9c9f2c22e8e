#include "Tour.h"

#include "app/vc/AboutViewController.h"

namespace tools {

namespace {
constexpr double kStoreLimit = 3.0;  // seconds for the catalogue's products answer
}  // namespace

size_t Tour::aboutSteps() {
    showPage(3);
    const auto about =
        std::dynamic_pointer_cast<app::AboutViewController>(app_->qzTabVc()->viewCtrls().at(3));
    if (!about) return 0;
    clock_.waitUntil([&] { return !about->skProducts().empty(); }, kStoreLimit);
    clock_.wait(0.5);
    return shoot_("about.png") ? 1 : 0;
}

}  // namespace tools
