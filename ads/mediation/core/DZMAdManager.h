#pragma once
// One slot's mediation waterfall. For a parsed response it takes the
// networks one after another, lets the slot's ad object make a connector
// for each (its mediation delegate), gives each network a time limit (the
// response's network timeout, or its final one for the last network),
// takes the first network that fills, and records per network an exit
// code, a fill status and a duration in the slot's statistics; these
// travel to the ad servers in the fill, impression and no-fill pings.
//
//   exit code: 0 filled, 1 no fill, 2 other error, 3 timed out, 4 no adapter
//   fill status: 0 filled, 1 no fill, 2 timed out, 3 no adapter,
//                4 cancelled while asking, 6 error
//
// A report from a connector counts only when it comes from the network
// being asked or from the one whose ad is shown (a banner network may
// deliver again: its own refresh); other reports change nothing, not even
// the running network's timer.
//
// The slot owns one manager for its life and is its weak `slot`. Main
// thread; makeAdRequest() moves itself there, and that move comes to
// nothing when the pending actions were cancelled in between.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"

namespace core {
class Timer;
}

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZAdMediationDelegate;
class DZAdType;
class DZCSITimeRecorder;
class DZMAdNetworkConfig;
class DZMAdNetworkConnector;
class DZMConfig;
class DZMediatedAd;
class DZSlot;

class DZMAdManager : public std::enable_shared_from_this<DZMAdManager> {
public:
    static constexpr const char* kCSIAction = "load_med";
    static constexpr double kTimerTolerance = 0.01;

    enum ExitCode : std::int64_t {
        kExitFilled = 0,
        kExitNoFill = 1,
        kExitError = 2,
        kExitTimeout = 3,
        kExitNoAdapter = 4,
    };
    enum FillStatus : std::int64_t {
        kFillFilled = 0,
        kFillNoFill = 1,
        kFillTimeout = 2,
        kFillNoAdapter = 3,
        kFillCancelled = 4,
        kFillError = 6,
    };

    DZMAdManager() = default;
    // Detaches both connectors.
    ~DZMAdManager();
    DZMAdManager(const DZMAdManager&) = delete;
    DZMAdManager& operator=(const DZMAdManager&) = delete;

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }

    // From the slot.
    // Starts a waterfall over the configuration's networks; while one runs
    // it goes on with the new type and configuration.
    void mediateForAdType(const std::shared_ptr<DZAdType>& adType,
                          const std::shared_ptr<DZMConfig>& config);
    // Asks the next network; any thread.
    void makeAdRequest();
    // Stops the waterfall; a network being asked is recorded as cancelled
    // and the no-fill pings go out, once per waterfall. Any thread.
    void cancel();
    void cancelPendingActions();
    // Whether the shown network's adapter took the new type's size.
    [[nodiscard]] bool changeAdTypeTo(const std::shared_ptr<DZAdType>& adType);
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& viewController);

    // From the connectors.
    void
    adRequestReturnsFromConnectorWithView(const std::shared_ptr<DZMAdNetworkConnector>& connector,
                                          const std::shared_ptr<ui::View>& view);
    void adRequestReturnsFromConnectorWithInterstitial(
        const std::shared_ptr<DZMAdNetworkConnector>& connector);
    void adRequestReturnsFromConnectorWithMediatedAd(
        const std::shared_ptr<DZMAdNetworkConnector>& connector,
        const std::shared_ptr<DZMediatedAd>& mediatedAd);
    void adRequestFailedFromConnector(const std::shared_ptr<DZMAdNetworkConnector>& connector,
                                      const Error& error);
    // True when the slot's ad object takes mediated ads.
    [[nodiscard]] bool
    connectorShouldReturnMediatedAd(const std::shared_ptr<DZMAdNetworkConnector>& connector) const;

    // Accessors.
    [[nodiscard]] const std::shared_ptr<DZMConfig>& config() const { return config_; }
    [[nodiscard]] const std::shared_ptr<DZAdType>& adType() const { return adType_; }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnector>& requestingConnector() const {
        return requestingConnector_;
    }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnector>& receivedConnector() const {
        return receivedConnector_;
    }
    void setReceivedConnector(std::shared_ptr<DZMAdNetworkConnector> connector) {
        receivedConnector_ = std::move(connector);
    }
    [[nodiscard]] bool requestInProgress() const { return requestInProgress_; }
    [[nodiscard]] bool fillStatusPingsSent() const { return fillStatusPingsSent_; }
    [[nodiscard]] std::int64_t pendingActionGroup() const { return pendingActionGroup_.load(); }
    [[nodiscard]] bool adNetworkTimerArmed() const;
    // The networks still to ask, in order.
    [[nodiscard]] const std::deque<std::shared_ptr<DZMAdNetworkConfig>>& networkQueue() const {
        return networkQueue_;
    }

private:
    [[nodiscard]] std::shared_ptr<DZAdMediationDelegate> mediationDelegate() const;
    [[nodiscard]] std::shared_ptr<DZCSITimeRecorder> timeRecorder() const;
    // The next network with an adapter class; those without one are
    // recorded as such. nullptr when the queue runs out.
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConfig> dequeueNextNetwork();
    // One step of makeAdRequest() on the main thread: the next network is
    // asked, or the slot fails when none is left.
    void askNextNetwork();
    void adNetworkTimedOut(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    // Whether a report from the connector counts; when it does, the running
    // network's timer stops.
    [[nodiscard]] bool acceptReportFrom(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    // Makes the connector the received one in place of the previous.
    void takeReceivedConnector(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    void detach(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    void invalidateTimer();
    void failSlot(const Error& error);
    void reportNoFill();
    void endAdapterTiming(std::int64_t exitCode);
    void endAdapterTiming(std::int64_t exitCode, std::int64_t fillStatus,
                          const std::shared_ptr<DZMAdNetworkConfig>& network);
    void recordFillStatus(std::int64_t fillStatus,
                          const std::shared_ptr<DZMAdNetworkConfig>& network);
    void reportCSISuccess(const std::optional<std::string>& adapterName);
    void reportCSIFailure(const std::optional<std::string>& adapterName);

    std::shared_ptr<DZMConfig> config_;
    std::shared_ptr<DZAdType> adType_;
    // Taken from the front one by one, however long the response's list.
    std::deque<std::shared_ptr<DZMAdNetworkConfig>> networkQueue_;
    std::shared_ptr<DZMAdNetworkConnector> requestingConnector_;
    std::shared_ptr<DZMAdNetworkConnector> receivedConnector_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<core::Timer> adNetworkTimeoutTimer_;
    // Read off the main thread by makeAdRequest().
    std::atomic<std::int64_t> pendingActionGroup_{0};
    // Adapter class names and durations, alternating.
    std::vector<std::string> failedAdapters_;
    // Inside makeAdRequest() on the main thread; a request for the next
    // network made meanwhile waits in askAgain_ (with the generation it was
    // made in) for the running call to take it up.
    bool asking_ = false;
    std::optional<std::int64_t> askAgain_;
    bool fillStatusPingsSent_ = false;
    bool requestInProgress_ = false;
};

}  // namespace ads
