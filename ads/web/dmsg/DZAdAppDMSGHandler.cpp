#include "ads/web/dmsg/DZAdAppDMSGHandler.h"

#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/fullscreen/DZTransparentOverlayPresenter.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

std::shared_ptr<DZAdAppViewController> adAppController(const std::shared_ptr<DZAdView>& adView) {
    return adView ? std::dynamic_pointer_cast<DZAdAppViewController>(adView->viewController())
                  : nullptr;
}

}  // namespace

const DZDMSGHandler::ActionTable* DZAdAppDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"customClose", action(&DZAdAppDMSGHandler::configureCustomCloseButtonWithArguments)},
        {"setInterstitialProperties",
         action(&DZAdAppDMSGHandler::updateInterstitialPropertiesWithArguments)},
    };
    return &table;
}

bool DZAdAppDMSGHandler::shouldBufferNotification(const DZNotification&,
                                                  const std::shared_ptr<DZAdView>& adView) {
    return !adView || !adView->viewController();
}

void DZAdAppDMSGHandler::configureCustomCloseButtonWithArguments(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto controller = adAppController(adView);
    if (!controller) return;
    const std::string* flag = stringParameter(parameters, "custom_close");
    controller->setUseCustomClose(flag && *flag == "1");
}

void DZAdAppDMSGHandler::updateInterstitialPropertiesWithArguments(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto controller = adAppController(adView);
    if (!controller) return;
    const core::Value* transparent = parameters.find("transparentBackground");
    if (!transparent || controller->view()->superview()) return;
    const std::string* flag = transparent->string();
    if (flag && *flag == "1") {
        controller->setPresenter(std::make_shared<DZTransparentOverlayPresenter>());
    } else {
        controller->setPresenter(nullptr);
    }
}

}  // namespace ads
