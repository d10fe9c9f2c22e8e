#include "ads/core/app/DZMobileAds.h"

#include <cmath>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "ads/video/DZAudioVideoManager.h"
#include "core/NotificationCenter.h"

namespace ads {

DZMobileAds& DZMobileAds::sharedInstance() {
    static DZMobileAds* const instance = new DZMobileAds();
    return *instance;
}

DZMobileAds::DZMobileAds() : audioVideoManager_(DZAudioVideoManager::create()) {}

void DZMobileAds::registerForLaunch() {
    DZApplication::load();
}

void DZMobileAds::configureWithApplicationID(const std::optional<std::string>& applicationID) {
    (void)sharedInstance();
    const auto application = DZApplication::sharedInstance();
    application->runAdditionalEarlyActivities();
    application->loadServerSideConfigurationForPublisherApplicationID(applicationID);
}

std::string DZMobileAds::applicationID() const {
    const auto stored = DZApplication::sharedInstance()->configuration()->objectForKeyedSubscript(
        DZApplication::kApplicationIDKey);
    return stored && stored->isString() ? *stored->string() : std::string();
}

void DZMobileAds::disableAutomatedInAppPurchaseReporting() {
    DZInAppPurchaseTransactionReporter::sharedInstance()->disableReporting();
}

void DZMobileAds::disableSDKCrashReporting() {
    DZCrashReporter::sharedInstance()->setReportingEnabled(false);
}

void DZMobileAds::enableBackgroundAdLoading() {
    DZApplication::sharedInstance()->enableBackgroundAdLoading();
}

void DZMobileAds::resetForTesting() {
    DZMobileAds& ads = sharedInstance();
    ads.applicationVolume_ = 1.0f;
    ads.applicationMuted_ = false;
    ads.setAudioVideoManager(DZAudioVideoManager::create());
}

void DZMobileAds::setApplicationVolume(float volume) {
    const float previous = applicationVolume_.exchange(volume);
    if (previous == volume || (std::isnan(previous) && std::isnan(volume))) return;
    core::NotificationCenter::defaultCenter().post(ApplicationVolumeDidChangeNotification, this);
}

void DZMobileAds::setApplicationMuted(bool muted) {
    if (applicationMuted_.exchange(muted) == muted) return;
    core::NotificationCenter::defaultCenter().post(ApplicationVolumeDidChangeNotification, this);
}

float DZMobileAds::clampedApplicationVolume() const {
    const float volume = applicationVolume_;
    if (std::isnan(volume) || volume < 0) return 0;
    return volume < 1.0f ? volume : 1.0f;
}

bool DZMobileAds::isSDKVersionAtLeastMajor(std::int64_t major, std::int64_t minor,
                                           std::int64_t patch) const {
    return DZVersionIsAtLeast(kVersionMajor, kVersionMinor, kVersionPatch, major, minor, patch);
}

std::shared_ptr<DZAudioVideoManager> DZMobileAds::audioVideoManager() const {
    std::lock_guard lock(managerMutex_);
    return audioVideoManager_;
}

void DZMobileAds::setAudioVideoManager(std::shared_ptr<DZAudioVideoManager> manager) {
    std::lock_guard lock(managerMutex_);
    audioVideoManager_ = std::move(manager);
}

}  // namespace ads
