#include "ads/presentation/DZDebugOptionsViewController.h"

namespace ads {

std::shared_ptr<DZDebugOptionsViewController>
DZDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(
    std::optional<std::string> adUnitID) {
    auto controller = std::make_shared<DZDebugOptionsViewController>();
    controller->adUnitID_ = std::move(adUnitID);
    return controller;
}

}  // namespace ads
