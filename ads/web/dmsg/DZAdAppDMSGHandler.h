#pragma once
// A full-screen ad's settings from its page: "customClose" (whether the ad
// draws its own close control) and "setInterstitialProperties" (a
// transparent background, chosen before the controller is shown). Both act
// only when the ad view's controller is a DZAdAppViewController; messages
// are held back while the ad view has no controller. Main thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZAdAppDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] bool shouldBufferNotification(const DZNotification& notification,
                                                const std::shared_ptr<DZAdView>& adView) override;

    void configureCustomCloseButtonWithArguments(const std::shared_ptr<DZAdView>& adView,
                                                 const core::Dictionary& parameters);
    void updateInterstitialPropertiesWithArguments(const std::shared_ptr<DZAdView>& adView,
                                                   const core::Dictionary& parameters);
};

}  // namespace ads
