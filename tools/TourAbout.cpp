#include "Tour.h"

#include "app/vc/AboutViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "store/PaymentQueue.h"
#include "ui/TouchInjector.h"

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
    const size_t written = shoot_("about.png") ? 1 : 0;
    // The tip purchase, after the shot: its toast would cover the page.
    if (!about->skProducts().empty()) {
        const auto& button = about->iapButton();
        ui::TouchInjector(*app_->window())
            .tap(button->convertRectTo(button->bounds(), nullptr).center());
        clock_.wait(2.0);
    }
    return written;
}

}  // namespace tools
