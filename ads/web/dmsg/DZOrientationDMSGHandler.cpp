#include "ads/web/dmsg/DZOrientationDMSGHandler.h"

#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZOrientationDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"forceOrientation", action(&DZOrientationDMSGHandler::didReceiveForcedOrientationAction)},
    };
    return &table;
}

void DZOrientationDMSGHandler::didReceiveForcedOrientationAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const std::string* name = stringParameter(parameters, "orientation");
    const std::uint64_t mask = DZInterfaceOrientationMaskFromString(
        name ? std::optional<std::string_view>(*name) : std::nullopt);
    if (mask == 0) return;
    const std::string* overrideFlag = stringParameter(parameters, "override");
    const bool overrides = overrideFlag && *overrideFlag == "1";
    const auto controller =
        adView ? std::dynamic_pointer_cast<DZAdAppViewController>(adView->viewController())
               : nullptr;
    if (!controller) return;
    const std::uint64_t current = controller->adOrientations();
    if (!overrides && current != 0 && !DZOrientationMaskHasPortraitAndLandscape(current)) return;
    const core::Value* duration = parameters.find("animationDuration");
    controller->setAdOrientationsOverridesLockedOrientation(overrides);
    controller->setOrientationUpdateAnimationDuration(
        duration ? DZNumericValue(*duration).value_or(0) : 0);
    controller->setAdOrientations(mask);
}

}  // namespace ads
