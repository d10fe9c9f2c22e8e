// DZDevice: identity, orientation and geometry readers, and the request
// parameter dictionary.

#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "core/FileManager.h"
#include "core/Unicode.h"
#include "core/UserDefaults.h"
#include "ui/DeviceProfile.h"

namespace ads {

bool DZDevice::limitAdTracking() const {
    return !ui::DeviceProfile::current().advertisingTrackingEnabled;
}

std::string DZDevice::limitAdTrackingString() const {
    return DZStringFromBool(limitAdTracking());
}

std::string DZDevice::rawDeviceIdentifier() const {
    const ui::DeviceProfile& profile = ui::DeviceProfile::current();
    if (!profile.advertisingTrackingEnabled) return kZeroAdvertisingIdentifier;
    return profile.advertisingIdentifier;
}

std::string DZDevice::deviceIdentifier() const {
    if (limitAdTracking()) return {};
    return DZMD5HexString(rawDeviceIdentifier()).value_or(std::string());
}

bool DZDevice::jailbroken() {
    std::call_once(jailbrokenOnce_, [this] {
        jailbroken_ = !isSimulator() && core::FileManager::fileExists(host_->jailbreakMarkerPath());
    });
    return jailbroken_;
}

std::string DZDevice::deviceSubmodel() {
    std::call_once(submodelOnce_,
                   [this] { deviceSubmodel_ = ui::DeviceProfile::current().machine; });
    return deviceSubmodel_;
}

std::optional<std::string> DZDevice::locale() {
    std::call_once(localeOnce_, [this] {
        const auto languages =
            core::UserDefaults::standard()->arrayForKey(core::UserDefaults::kLanguagesKey);
        if (!languages || languages->empty() || !languages->front().isString()) return;
        locale_ = core::Unicode::toLower(*languages->front().string(), "");
    });
    return locale_;
}

std::optional<std::string> DZDevice::baseSDKVersion() {
    std::call_once(baseSDKOnce_, [this] {
        const core::Value info = hasCachedStatic() ? infoPlist_ : host_->infoDictionary();
        const std::string* sdkName = info["DTSDKName"].string();
        if (!sdkName) return;
        std::string version = *sdkName;
        if (const std::string* platform = info["DTPlatformName"].string();
            platform && !platform->empty()) {
            for (size_t at = version.find(*platform); at != std::string::npos;
                 at = version.find(*platform, at)) {
                version.erase(at, platform->size());
            }
        }
        baseSDKVersion_ = std::move(version);
    });
    return baseSDKVersion_;
}

std::optional<std::string> DZDevice::deviceModel() const {
    if (!hasCachedStatic()) return std::nullopt;
    return deviceModel_;
}

double DZDevice::mainScreenDensity() const {
    return hasCachedStatic() ? mainScreenDensity_ : 0;
}

bool DZDevice::orientationLandscape() {
    std::weak_ptr<DZDevice> weak = weak_from_this();
    DZRunOnMainThread([weak] {
        if (auto device = weak.lock()) device->updateOrientation();
    });
    long orientation = 0;
    syncOnLockQueue([&] { orientation = statusBarOrientation_; });
    return orientation == 3 || orientation == 4;
}

gfx::Rect DZDevice::standardizedPortraitScreenBounds() const {
    return hasCachedStatic() ? standardizedMainScreenPortraitBounds_ : gfx::Rect();
}

gfx::Rect DZDevice::standardizedLandscapeScreenBounds() const {
    return hasCachedStatic() ? standardizedMainScreenLandscapeBounds_ : gfx::Rect();
}

gfx::Rect DZDevice::standardizedOrientedScreenBounds() {
    gfx::Rect bounds = standardizedPortraitScreenBounds();
    if (orientationLandscape()) bounds.size = {bounds.size.height, bounds.size.width};
    return bounds;
}

gfx::Rect DZDevice::standardizedOrientedApplicationFrame() {
    updateOrientation();
    const ui::DeviceProfile& profile = ui::DeviceProfile::current();
    const gfx::Rect screen = profile.screenBounds();
    const gfx::Rect frame{0, profile.statusBarHeight, screen.size.width,
                          screen.size.height - profile.statusBarHeight};
    long orientation = 0;
    syncOnLockQueue([&] { orientation = statusBarOrientation_; });
    return DZRectInOrientedCoordinates(orientation, frame, standardizedPortraitScreenBounds())
        .standardized();
}

gfx::Size DZDevice::standardizedOrientedKeyWindowSize() const {
    gfx::Size size;
    syncOnLockQueue([&] { size = standardizedOrientedKeyWindowSize_; });
    return size;
}

gfx::Size DZDevice::standardizedPortraitKeyWindowSize() {
    const gfx::Size size = standardizedOrientedKeyWindowSize();
    return orientationLandscape() ? gfx::Size{size.height, size.width} : size;
}

core::Dictionary DZDevice::parameters() {
    core::Dictionary parameters;
    const bool cached = hasCachedStatic();
    if (cached && deviceModel_ == "iPad" && userInterfaceIdiomIsPhone_) {
        parameters.set("ios_ipadc", "1");
    }
    parameters.set("ios_metadata", host_->iTunesMetadata());
    if (cached) parameters.set("ios_info_plist", infoPlist_);
    if (auto sdk = baseSDKVersion()) parameters.set("ios_base_sdk", *sdk);
    const std::string version = host_->version().value_or(std::string());
    parameters.set("app_name", (version.empty() ? std::string() : version + ".") + "iphone." +
                                   host_->mainBundleIdentifier());
    if (jailbroken()) parameters.set("ios_jb", "1");
    if (cached) parameters.set("platform", deviceModel_);
    parameters.set("submodel", deviceSubmodel());
    if (auto language = locale()) parameters.set("hl", *language);
    parameters.set("os_version", systemVersion_);
    core::Array ports;
    for (std::string& name : audioRoutePortNames()) ports.emplace_back(std::move(name));
    parameters.set("ios_audio_ports", std::move(ports));
    parameters.set("ios_output_volume", DZCompactDecimalString(audioVolume()));
    parameters.set("is_other_audio_playing", DZNumberFromBool(isOtherAudioPlaying()));
    if (auto silence = shouldSilenceAudioValue()) {
        parameters.set("should_silence_audio", DZNumberFromBool(*silence));
    }
    const bool landscape = orientationLandscape();
    parameters.set("u_so", landscape ? "l" : "p");
    if (auto code = DZOrientationCodeForMask(supportedInterfaceOrientationsForKeyWindow_)) {
        parameters.set("u_sso", *code);
    }
    parameters.set("u_sd", DZCompactDecimalString(mainScreenDensity()));
    const gfx::Size screen = standardizedPortraitScreenBounds().size;
    parameters.set("u_w", DZCompactDecimalString(screen.width));
    parameters.set("u_h", DZCompactDecimalString(screen.height));
    const gfx::Size keyWindow = standardizedOrientedKeyWindowSize();
    const gfx::Size portraitKeyWindow =
        landscape ? gfx::Size{keyWindow.height, keyWindow.width} : keyWindow;
    parameters.set("ios_key_window_w", DZCompactDecimalString(portraitKeyWindow.width));
    parameters.set("ios_key_window_h", DZCompactDecimalString(portraitKeyWindow.height));
    parameters.set("binary_arch", "arm64");
    unsigned long mainWindowOrientations = 0;
    unsigned long bookstores = 0;
    syncOnLockQueue([&] {
        mainWindowOrientations = mainWindowSupportedInterfaceOrientations_;
        bookstores = bookstores_;
    });
    if (auto code = DZOrientationCodeForMask(mainWindowOrientations)) {
        parameters.set("u_mwsso", *code);
    }
    if (bookstores != 0) parameters.set("cap_bs", core::Value(bookstores));
    const DZMobileAds& mobileAds = DZMobileAds::sharedInstance();
    parameters.set("ios_app_volume", DZDoubleFromFloat(mobileAds.clampedApplicationVolume()));
    parameters.set("ios_app_muted", DZStringFromBool(mobileAds.applicationMuted()));
    parameters.set("cap_noiap", DZStringFromBool(!ui::DeviceProfile::current().canMakePayments));
    if (core::UserDefaults::standard()->boolForKey(kIDFAInRequestKey)) {
        parameters.set("pii", core::Dictionary{{"rdid", rawDeviceIdentifier()},
                                               {"is_lat", limitAdTrackingString()},
                                               {"idtype", "idfa"}});
    }
    return parameters;
}

}  // namespace ads
