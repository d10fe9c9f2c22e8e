#pragma once
// The publisher's handle on the SDK as a whole: configuration with the
// application identifier and the application's audio settings for ads.

#include <string>
#include <string_view>

namespace ads {

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

    [[nodiscard]] bool isSDKVersionAtLeast(long major, long minor, long patch) const;

    // No application identifier, volume 1.0, not muted.
    static void resetForTesting();

private:
    DZMobileAds() = default;

    float applicationVolume_ = 1.0f;
    bool applicationMuted_ = false;
};

}  // namespace ads
