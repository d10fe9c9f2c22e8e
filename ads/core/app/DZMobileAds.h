#pragma once
// The publisher's handle on the SDK as a whole: configuration with the
// application identifier and the application's audio settings for ads.

#include <memory>
#include <string>
#include <string_view>

namespace ads {

class DZAudioVideoManager;

class DZMobileAds {
public:
    static constexpr const char* ApplicationVolumeDidChangeNotification =
        "DZMobileAdsApplicationVolumeDidChangeNotification";

    static DZMobileAds& sharedInstance();

    // Lets the SDK start itself when the application has launched. The
    // process entry calls it once, before the application launches.
    static void registerForLaunch();
    // Runs the SDK's second start-up stage (when it has not run yet) and
    // keeps the application identifier. Reports nothing back and never
    // fails towards the caller.
    static void configureWithApplicationID(std::string_view applicationID);
    // The identifier given to configureWithApplicationID (empty before).
    [[nodiscard]] std::string applicationID() const;

    [[nodiscard]] float applicationVolume() const { return applicationVolume_; }
    // Stores a changed value and posts the volume notification; an equal
    // value changes nothing.
    void setApplicationVolume(float volume);
    [[nodiscard]] bool applicationMuted() const { return applicationMuted_; }
    void setApplicationMuted(bool muted);
    // The volume limited to 0..1.
    [[nodiscard]] float clampedApplicationVolume() const;

    // The process-wide audio policy of ad video, made with this object
    // (none below OS 7.0.0).
    [[nodiscard]] const std::shared_ptr<DZAudioVideoManager>& audioVideoManager() const {
        return audioVideoManager_;
    }

    [[nodiscard]] bool isSDKVersionAtLeast(long major, long minor, long patch) const;

    // No application identifier, volume 1.0, not muted, a new audio-video
    // manager.
    static void resetForTesting();

private:
    DZMobileAds();

    float applicationVolume_ = 1.0f;
    bool applicationMuted_ = false;
    std::shared_ptr<DZAudioVideoManager> audioVideoManager_;
};

}  // namespace ads
