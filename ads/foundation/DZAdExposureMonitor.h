#pragma once
// Reports how long one ad unit is on screen to the host analytics: watches
// the ad's view with a DZViewMonitor and calls beginAdUnitExposure when it
// becomes visible and endAdUnitExposure when it stops being visible or
// monitoring finishes. Nothing happens without the analytics bridge; a
// constants update ("DZSDKCoreDidUpdateConstants") that turns the bridge on
// later starts monitoring then. Once finished, a monitor never starts again.
//
// Threading: any thread; the monitor's state is touched only on the main
// thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/web/view/DZViewMonitor.h"
#include "core/NotificationCenter.h"
#include "ui/View.h"

namespace ads {

class DZAdExposureMonitor : public DZViewMonitorDelegate,
                            public std::enable_shared_from_this<DZAdExposureMonitor> {
public:
    static constexpr std::string_view kConstantsDidUpdateNotification =
        "DZSDKCoreDidUpdateConstants";
    static constexpr double kDefaultSamplingInterval = 0.4;

    // nullptr without a view or an ad unit id. Registers for constants
    // updates; the owner calls startMonitoring.
    [[nodiscard]] static std::shared_ptr<DZAdExposureMonitor>
    create(const std::shared_ptr<ui::View>& view, const std::optional<std::string>& adUnitID);
    ~DZAdExposureMonitor() override;
    DZAdExposureMonitor(const DZAdExposureMonitor&) = delete;
    DZAdExposureMonitor& operator=(const DZAdExposureMonitor&) = delete;

    void startMonitoring();
    void finishMonitoring();
    void viewMonitorDidRefresh(DZViewMonitor& monitor) override;

    // The Live View sampling interval in seconds; the SDK core controller
    // installs its own. An empty source gives kDefaultSamplingInterval.
    static void setSamplingIntervalSource(std::function<double()> source);

    [[nodiscard]] const std::string& adUnitID() const { return adUnitID_; }
    // Main thread.
    [[nodiscard]] bool adUnitExposureBegan() const { return adUnitExposureBegan_; }
    [[nodiscard]] bool viewMonitorDidStartMonitoring() const {
        return viewMonitorDidStartMonitoring_;
    }

private:
    DZAdExposureMonitor(const std::shared_ptr<ui::View>& view, std::string adUnitID)
        : monitoredView_(view), adUnitID_(std::move(adUnitID)) {}
    void startOnMainThread();
    void finishOnMainThread();

    const std::weak_ptr<ui::View> monitoredView_;
    const std::string adUnitID_;
    core::NotificationCenter::Token constantsObserver_;
    std::shared_ptr<DZViewMonitor> viewMonitor_;
    bool adUnitExposureBegan_ = false;
    bool viewMonitorDidStartMonitoring_ = false;
    bool finished_ = false;
};

}  // namespace ads
