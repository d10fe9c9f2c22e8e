#include "ads/core/app/DZMobileAds.h"

#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/video/DZAudioVideoManager.h"
#include "core/NotificationCenter.h"

namespace ads {

namespace {
constexpr long kVersion[3] = {7, 22, 0};
std::mutex gMutex;
std::string gApplicationID;
}  // namespace

DZMobileAds& DZMobileAds::sharedInstance() {
    static DZMobileAds* instance = new DZMobileAds();
    return *instance;
}

DZMobileAds::DZMobileAds() : audioVideoManager_(DZAudioVideoManager::create()) {}

void DZMobileAds::registerForLaunch() {
    DZApplication::load();
}

void DZMobileAds::configureWithApplicationID(std::string_view applicationID) {
    (void)sharedInstance();
    DZApplication::sharedInstance()->runAdditionalEarlyActivities();
    std::lock_guard lock(gMutex);
    gApplicationID = std::string(applicationID);
}

void DZMobileAds::resetForTesting() {
    DZMobileAds& ads = sharedInstance();
    ads.applicationVolume_ = 1.0f;
    ads.applicationMuted_ = false;
    ads.audioVideoManager_ = DZAudioVideoManager::create();
    std::lock_guard lock(gMutex);
    gApplicationID.clear();
}

std::string DZMobileAds::applicationID() const {
    std::lock_guard lock(gMutex);
    return gApplicationID;
}

void DZMobileAds::setApplicationVolume(float volume) {
    if (volume == applicationVolume_) return;
    applicationVolume_ = volume;
    core::NotificationCenter::defaultCenter().post(ApplicationVolumeDidChangeNotification, this);
}

void DZMobileAds::setApplicationMuted(bool muted) {
    if (muted == applicationMuted_) return;
    applicationMuted_ = muted;
    core::NotificationCenter::defaultCenter().post(ApplicationVolumeDidChangeNotification, this);
}

float DZMobileAds::clampedApplicationVolume() const {
    if (applicationVolume_ < 0) return 0;
    return applicationVolume_ < 1.0f ? applicationVolume_ : 1.0f;
}

bool DZMobileAds::isSDKVersionAtLeast(long major, long minor, long patch) const {
    const long wanted[3] = {major, minor, patch};
    for (int i = 0; i < 3; ++i) {
        if (kVersion[i] != wanted[i]) return kVersion[i] > wanted[i];
    }
    return true;
}

}  // namespace ads
