#pragma once
// An observer of Live View measurement for one ad: told when the ad's
// visibility changes and when a page starts or stops measuring it. The
// receiver kind names the page: 1 the SDK core page, 2 the ad's own page.
// Main thread.

#include <cstdint>

namespace ads {

class DZAdViewLiveViewMonitoring {
public:
    static constexpr std::uint64_t kSDKCorePage = 1;
    static constexpr std::uint64_t kAdPage = 2;

    virtual ~DZAdViewLiveViewMonitoring() = default;
    virtual void liveViewVisibilityChanged(bool visible) = 0;
    // Whether the observer takes the measurement from that page.
    virtual bool liveViewMonitoringStarted(std::uint64_t receiverKind) = 0;
    virtual void liveViewMonitoringDidStop(std::uint64_t receiverKind) = 0;
};

}  // namespace ads
