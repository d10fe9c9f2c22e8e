#pragma once
// Shared by the Live View tests: an observer that records what it hears,
// and a delegate of the Live View handler that does the same.

#include <memory>
#include <string>
#include <vector>

#include "ads/core/sdkcore/DZAdViewLiveViewMonitoring.h"
#include "ads/web/dmsg/DZLiveViewDMSGHandler.h"

namespace liveviewtesting {

// "visible", "hidden", "started <kind>", "stopped <kind>".
class RecordingObserver : public ads::DZAdViewLiveViewMonitoring {
public:
    void liveViewVisibilityChanged(bool visible) override {
        calls.push_back(visible ? "visible" : "hidden");
    }
    bool liveViewMonitoringStarted(std::uint64_t kind) override {
        calls.push_back("started " + std::to_string(kind));
        return true;
    }
    void liveViewMonitoringDidStop(std::uint64_t kind) override {
        calls.push_back("stopped " + std::to_string(kind));
    }
    std::vector<std::string> calls;
};

// "visibility <id> <0|1>", "untrack <id>".
class RecordingHandlerDelegate : public ads::DZLiveViewDMSGHandlerDelegate {
public:
    void liveViewDMSGHandlerDidReceiveVisibilityNotification(ads::DZLiveViewDMSGHandler&,
                                                             bool visible,
                                                             std::uint64_t liveViewID) override {
        calls.push_back("visibility " + std::to_string(liveViewID) + (visible ? " 1" : " 0"));
    }
    void liveViewDMSGHandlerDidReceiveUntrackNotification(ads::DZLiveViewDMSGHandler&,
                                                          std::uint64_t liveViewID) override {
        calls.push_back("untrack " + std::to_string(liveViewID));
    }
    std::vector<std::string> calls;
};

}  // namespace liveviewtesting
