// DZSlot: the audio situation told to the shown ad's page, and the owner's
// say over changes of the audio session category.

#include "ads/core/app/DZMobileAds.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

core::Dictionary DZSlot::volumeNotificationPayload(const DZDevice& device) {
    const DZMobileAds& mobileAds = DZMobileAds::sharedInstance();
    core::Array ports;
    for (std::string& name : device.audioRoutePortNames()) ports.emplace_back(std::move(name));
    core::Dictionary payload{
        {"app_volume", DZDoubleFromFloat(mobileAds.clampedApplicationVolume())},
        {"app_muted", DZStringFromBool(mobileAds.applicationMuted())},
        {"device_volume", DZDoubleFromFloat(device.audioVolume())},
        {"port_names", std::move(ports)},
        {"is_other_audio_playing", DZNumberFromBool(device.isOtherAudioPlaying())},
    };
    if (const auto silence = device.shouldSilenceAudioValue())
        payload.set("should_silence_audio", DZNumberFromBool(*silence));
    return payload;
}

void DZSlot::postVolumeNotification() {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self || !self->adView_) return;
        const auto device = DZDevice::sharedInstance();
        device->updateDynamicParameters();
        self->adView_->postJSNotification("volume",
                                          core::Value(volumeNotificationPayload(*device)));
    });
}

void DZSlot::applicationVolumeDidChange() {
    postVolumeNotification();
}

bool DZSlot::shouldChangeAudioSessionCategoryTo(const std::string& category) {
    const auto delegate = slotDelegate();
    return !delegate || delegate->shouldChangeAudioSessionCategoryTo(*this, category);
}

}  // namespace ads
