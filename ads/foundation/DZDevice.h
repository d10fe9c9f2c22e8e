#pragma once
// The SDK's one collector of device signals. Caches what never changes while
// the app runs (model, screen, info dictionary, capabilities), refreshes what
// does (orientation, key-window size, audio volume and route, bookstore
// apps) on request, answers system-version questions and builds the device
// part of every ad request (parameters()).
//
// Threads: the caching calls and updateOrientation() act on the main thread
// only. Dynamic fields are stored asynchronously on the lock queue
// "com.dozuza.vuraz.device" and read synchronously on it, so a read follows
// every store queued before it; everything else may be read from any thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZDeviceHost.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ads {

struct DZOperatingSystemVersion {
    std::int64_t majorVersion = 0;
    std::int64_t minorVersion = 0;
    std::int64_t patchVersion = 0;
};

class DZDevice : public std::enable_shared_from_this<DZDevice> {
public:
    static constexpr const char* kVolumeViewKey = "/dozuza/ads/volume_view";
    static constexpr const char* kIDFAInRequestKey =
        "/dozuza/ads/dzads:idfa_lat_in_adrequest:enabled";
    // The identifier the platform reports while ad tracking is limited.
    static constexpr const char* kZeroAdvertisingIdentifier =
        "00000000-0000-0000-0000-000000000000";

    static std::shared_ptr<DZDevice> sharedInstance();
    // A separate instance over the given host (the shared one uses the
    // platform host); tests make their own.
    [[nodiscard]] static std::shared_ptr<DZDevice> create(std::shared_ptr<DZDeviceHost> host);
    ~DZDevice();
    DZDevice(const DZDevice&) = delete;
    DZDevice& operator=(const DZDevice&) = delete;

    void cacheStaticParameters();
    void cacheAdditionalStaticParameters();
    // updateOrientation, updateBookstores, updateOrientedKeyWindowSize,
    // updateAudio, in that order. Main thread.
    void updateDynamicParameters();
    void updateOrientation();
    void updateBookstores();
    void updateOrientedKeyWindowSize();
    void updateAudio();

    // A new dictionary of request parameters.
    [[nodiscard]] core::Dictionary parameters();

    [[nodiscard]] bool isOSAtLeastMajor(std::int64_t major, std::int64_t minor,
                                        std::int64_t patch) const;
    [[nodiscard]] bool OSIsSupported() const { return isOSAtLeastMajor(6, 0, 0); }
    [[nodiscard]] bool isSimulator() const { return false; }
    // Each given text to a boolean.
    [[nodiscard]] core::Dictionary canOpenURLs(const std::vector<std::string>& urls) const;

    [[nodiscard]] bool limitAdTracking() const;
    [[nodiscard]] std::string limitAdTrackingString() const;
    // All zeros while ad tracking is limited.
    [[nodiscard]] std::string rawDeviceIdentifier() const;
    // Empty while ad tracking is limited, else the identifier's MD5 in hex.
    [[nodiscard]] std::string deviceIdentifier() const;
    [[nodiscard]] bool jailbroken();
    [[nodiscard]] std::string deviceSubmodel();
    [[nodiscard]] std::optional<std::string> locale();
    [[nodiscard]] std::optional<std::string> baseSDKVersion();

    [[nodiscard]] DZOperatingSystemVersion operatingSystemVersion() const { return osVersion_; }
    [[nodiscard]] const std::string& systemVersion() const { return systemVersion_; }
    // None until static caching has run.
    [[nodiscard]] std::optional<std::string> deviceModel() const;
    [[nodiscard]] bool canText() const { return canText_; }
    [[nodiscard]] bool canMakePhoneCalls() const { return canMakePhoneCalls_; }
    [[nodiscard]] double mainScreenDensity() const;
    [[nodiscard]] std::vector<std::string> audioRoutePortNames() const;
    [[nodiscard]] float audioVolume() const;
    [[nodiscard]] bool isOtherAudioPlaying() const { return isOtherAudioPlaying_; }
    [[nodiscard]] std::optional<bool> shouldSilenceAudioValue() const;
    [[nodiscard]] bool orientationLandscape();

    [[nodiscard]] gfx::Rect standardizedPortraitScreenBounds() const;
    [[nodiscard]] gfx::Rect standardizedLandscapeScreenBounds() const;
    [[nodiscard]] gfx::Rect standardizedOrientedScreenBounds();
    // The main screen's application frame seen from the current orientation.
    [[nodiscard]] gfx::Rect standardizedOrientedApplicationFrame();
    [[nodiscard]] gfx::Size standardizedOrientedKeyWindowSize() const;
    [[nodiscard]] gfx::Size standardizedPortraitKeyWindowSize();

private:
    explicit DZDevice(std::shared_ptr<DZDeviceHost> host);
    void observeOrientationChanges();
    void updateOperatingSystemVersionProperties();
    void updateAudioVolume();
    void updateAudioPortNames();
    [[nodiscard]] bool hasCachedStatic() const { return hasCachedStaticParameters_.load(); }
    void syncOnLockQueue(const std::function<void()>& block) const;

    std::shared_ptr<DZDeviceHost> host_;
    std::shared_ptr<core::Queue> lockQueue_;

    // Dynamic fields: lock queue only.
    long statusBarOrientation_ = 0;
    unsigned long mainWindowSupportedInterfaceOrientations_ = 0;
    unsigned long bookstores_ = 0;
    gfx::Size standardizedOrientedKeyWindowSize_;
    float audioVolume_ = 1.0f;
    std::vector<std::string> audioRoutePortNames_;

    // Static fields: written once on the main thread before the flag.
    unsigned long supportedInterfaceOrientationsForKeyWindow_ = 0;
    gfx::Rect standardizedMainScreenPortraitBounds_;
    gfx::Rect standardizedMainScreenLandscapeBounds_;
    bool userInterfaceIdiomIsPhone_ = false;
    core::Value infoPlist_;
    std::string deviceModel_;
    double mainScreenDensity_ = 0;
    std::atomic<bool> hasCachedStaticParameters_{false};
    std::atomic<bool> canText_{false};
    std::atomic<bool> canMakePhoneCalls_{false};
    std::atomic<bool> hasCachedAdditionalStaticParameters_{false};

    std::atomic<bool> isOtherAudioPlaying_{false};
    std::atomic<int> shouldSilenceAudioValue_{-1};  // -1 none, else 0 or 1

    std::string systemVersion_;
    DZOperatingSystemVersion osVersion_;
    core::NotificationCenter::Token orientationChangeObserver_{};

    std::once_flag jailbrokenOnce_;
    bool jailbroken_ = false;
    std::once_flag submodelOnce_;
    std::string deviceSubmodel_;
    std::once_flag localeOnce_;
    std::optional<std::string> locale_;
    std::once_flag baseSDKOnce_;
    std::optional<std::string> baseSDKVersion_;
};

}  // namespace ads
