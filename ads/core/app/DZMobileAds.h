#pragma once
// The publisher's handle on the SDK as a whole: configuration with the
// application identifier, switches for optional reporting and background
// loading, the application's audio settings for ads and the SDK version.
//
// Threading: the class operations may be called from any thread (stage 2 of
// start-up runs on the main thread). The audio settings are atomic and the
// volume notification is posted on the thread of the setter that changed
// them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ads {

class DZAudioVideoManager;

class DZMobileAds {
public:
    static constexpr const char* ApplicationVolumeDidChangeNotification =
        "DZMobileAdsApplicationVolumeDidChangeNotification";
    // The version of this SDK (DZRequest::sdkVersion() gives its text).
    static constexpr std::int64_t kVersionMajor = 7;
    static constexpr std::int64_t kVersionMinor = 22;
    static constexpr std::int64_t kVersionPatch = 0;

    static DZMobileAds& sharedInstance();

    // Lets the SDK start itself when the application has launched. The
    // process entry calls it once, before the application launches.
    static void registerForLaunch();
    // Runs the SDK's second start-up stage (when it has not run yet), stores
    // the identifier in the application configuration as the publisher's
    // (nullopt removes a stored one) and asks the server for the app
    // settings. Reports nothing back and never fails towards the caller.
    static void configureWithApplicationID(const std::optional<std::string>& applicationID);
    // The identifier stored in the application configuration; empty when
    // there is none.
    [[nodiscard]] std::string applicationID() const;

    // In-app purchases are no longer reported, for the rest of the process.
    static void disableAutomatedInAppPurchaseReporting();
    // The crash reporter sends no more reports.
    static void disableSDKCrashReporting();
    // Ads may load while the application is in the background.
    static void enableBackgroundAdLoading();

    // Stored as given (1.0 at start).
    [[nodiscard]] float applicationVolume() const { return applicationVolume_; }
    // Stores a changed value and posts the volume notification; an equal
    // value (a NaN after a NaN included) changes nothing.
    void setApplicationVolume(float volume);
    [[nodiscard]] bool applicationMuted() const { return applicationMuted_; }
    void setApplicationMuted(bool muted);
    // The volume limited to 0..1; a volume that is not a number gives 0.
    [[nodiscard]] float clampedApplicationVolume() const;

    // Whether this SDK's version is at least major.minor.patch.
    [[nodiscard]] bool isSDKVersionAtLeastMajor(std::int64_t major, std::int64_t minor,
                                                std::int64_t patch) const;

    [[nodiscard]] std::shared_ptr<DZAudioVideoManager> audioVideoManager() const;
    void setAudioVideoManager(std::shared_ptr<DZAudioVideoManager> manager);

    // Volume 1.0, not muted, a new audio-video manager.
    static void resetForTesting();

private:
    DZMobileAds();

    std::atomic<float> applicationVolume_{1.0f};
    std::atomic<bool> applicationMuted_{false};
    mutable std::mutex managerMutex_;
    std::shared_ptr<DZAudioVideoManager> audioVideoManager_;
};

}  // namespace ads
