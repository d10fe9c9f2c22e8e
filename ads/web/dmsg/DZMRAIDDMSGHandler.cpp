#include "ads/web/dmsg/DZMRAIDDMSGHandler.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ui/Application.h"

namespace ads {

namespace {

constexpr std::uint64_t kAllOrientations = 30;

// Seconds; 0 when absent or not a number.
double animationDuration(const core::Dictionary& parameters) {
    const core::Value* value = parameters.find("animationDuration");
    const auto seconds = value ? DZNumericValue(*value) : std::nullopt;
    return seconds.value_or(0);
}

}  // namespace

const DZDMSGHandler::ActionTable* DZMRAIDDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"mraid", action(&DZMRAIDDMSGHandler::didReceiveMRAIDNotification)},
        {"mraidLoaded", action(&DZMRAIDDMSGHandler::didReceiveMRAIDLoadNotification)},
    };
    return &table;
}

const DZDMSGHandler::ActionTable* DZMRAIDDMSGHandler::subActionBlockDictionary() const {
    static const ActionTable table = {
        {"resize", action(&DZMRAIDDMSGHandler::actionResize)},
        {"storePicture", action(&DZMRAIDDMSGHandler::actionStorePicture)},
        {"createCalendarEvent", action(&DZMRAIDDMSGHandler::actionCreateCalendarEvent)},
        {"setOrientationProperties", action(&DZMRAIDDMSGHandler::actionSetOrientationProperties)},
    };
    return &table;
}

void DZMRAIDDMSGHandler::didReceiveMRAIDNotification(const std::shared_ptr<DZAdView>& adView,
                                                     const core::Dictionary& parameters) {
    (void)performSubAction("a", adView, parameters);
}

void DZMRAIDDMSGHandler::didReceiveMRAIDLoadNotification(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary&) {
    const auto slot = opener_ ? opener_->slot() : nullptr;
    if (slot && adView && slot->adView() == adView) slot->MRAIDAdDidLoad();
}

void DZMRAIDDMSGHandler::actionResize(const std::shared_ptr<DZAdView>&,
                                      const core::Dictionary& parameters) {
    if (!opener_) return;
    if (auto properties = DZMRAIDResizeProperties::create(core::Value(parameters)))
        opener_->openWebAppWithResizeProperties(properties);
}

void DZMRAIDDMSGHandler::actionStorePicture(const std::shared_ptr<DZAdView>&,
                                            const core::Dictionary&) {
    if (opener_) opener_->openPromptToStorePictureAtURL(std::nullopt);
}

void DZMRAIDDMSGHandler::actionCreateCalendarEvent(const std::shared_ptr<DZAdView>&,
                                                   const core::Dictionary& parameters) {
    if (opener_) opener_->openCalendarWithDictionary(parameters);
}

void DZMRAIDDMSGHandler::actionSetOrientationProperties(const std::shared_ptr<DZAdView>&,
                                                        const core::Dictionary& parameters) {
    const auto controller =
        opener_ ? std::dynamic_pointer_cast<DZAdAppViewController>(opener_->viewController())
                : nullptr;
    if (!controller) return;
    const core::Value* allow = parameters.find("allowOrientationChange");
    const std::string* force = stringParameter(parameters, "forceOrientation");
    if (!allow || !allow->isString() || !force) {
        if (const auto slot = opener_->slot())
            slot->handleError(kInvalidOrientationPropertiesMessage, "setOrientationProperties");
        return;
    }
    const std::uint64_t current =
        DZInterfaceOrientationMaskForOrientation(ui::Application::shared().statusBarOrientation());
    std::uint64_t mask = 0;
    if (allow->boolValue()) {
        mask = kAllOrientations;
    } else if (*force == "none") {
        const std::uint64_t locked = controller->adOrientations();
        mask = locked != 0 && !DZOrientationMaskHasPortraitAndLandscape(locked) ? locked : current;
    } else {
        mask = DZInterfaceOrientationMaskFromString(*force);
    }
    controller->setAdOrientationsOverridesLockedOrientation(true);
    controller->setAdOrientations(mask);
    controller->setOrientationUpdateAnimationDuration(animationDuration(parameters));
}

}  // namespace ads
