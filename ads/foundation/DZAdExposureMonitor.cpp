#include "ads/foundation/DZAdExposureMonitor.h"

#include <mutex>

#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZThreading.h"

namespace ads {

namespace {

std::mutex gSourceMutex;
std::function<double()> gSamplingIntervalSource;

double samplingInterval() {
    std::lock_guard lock(gSourceMutex);
    return gSamplingIntervalSource ? gSamplingIntervalSource()
                                   : DZAdExposureMonitor::kDefaultSamplingInterval;
}

}  // namespace

void DZAdExposureMonitor::setSamplingIntervalSource(std::function<double()> source) {
    std::lock_guard lock(gSourceMutex);
    gSamplingIntervalSource = std::move(source);
}

std::shared_ptr<DZAdExposureMonitor>
DZAdExposureMonitor::create(const std::shared_ptr<ui::View>& view,
                            const std::optional<std::string>& adUnitID) {
    if (!view || !adUnitID) {
        return nullptr;
    }
    std::shared_ptr<DZAdExposureMonitor> monitor(new DZAdExposureMonitor(view, *adUnitID));
    monitor->constantsObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        std::string(kConstantsDidUpdateNotification), nullptr, nullptr,
        [weakMonitor = std::weak_ptr(monitor)](const core::Notification&) {
            if (const auto strong = weakMonitor.lock()) {
                strong->startMonitoring();
            }
        });
    return monitor;
}

DZAdExposureMonitor::~DZAdExposureMonitor() {
    core::NotificationCenter::defaultCenter().removeObserver(constantsObserver_);
}

void DZAdExposureMonitor::startMonitoring() {
    DZRunOnMainThread([self = shared_from_this()] { self->startOnMainThread(); });
}

void DZAdExposureMonitor::finishMonitoring() {
    DZRunOnMainThread([self = shared_from_this()] { self->finishOnMainThread(); });
}

void DZAdExposureMonitor::startOnMainThread() {
    if (finished_ || viewMonitorDidStartMonitoring_ || !DZAnalytics::sharedInstance()) {
        return;
    }
    const auto view = monitoredView_.lock();
    if (!view) {
        return;
    }
    viewMonitor_ = DZViewMonitor::create(view);
    viewMonitor_->setDelegate(weak_from_this());
    viewMonitor_->startMonitoringWithSamplingInterval(samplingInterval());
    viewMonitorDidStartMonitoring_ = true;
}

void DZAdExposureMonitor::viewMonitorDidRefresh(DZViewMonitor& monitor) {
    const auto analytics = DZAnalytics::sharedInstance();
    if (!analytics) {
        return;
    }
    const bool visible = monitor.monitoredViewVisible();
    if (visible && !adUnitExposureBegan_) {
        analytics->beginAdUnitExposure(adUnitID_);
        adUnitExposureBegan_ = true;
    } else if (!visible && adUnitExposureBegan_) {
        analytics->endAdUnitExposure(adUnitID_);
        adUnitExposureBegan_ = false;
    }
}

void DZAdExposureMonitor::finishOnMainThread() {
    finished_ = true;
    core::NotificationCenter::defaultCenter().removeObserver(constantsObserver_);
    constantsObserver_ = {};
    if (viewMonitor_) {
        viewMonitor_->stopMonitoring();
        viewMonitor_->setDelegate({});
        viewMonitor_.reset();
    }
    const auto analytics = DZAnalytics::sharedInstance();
    if (analytics && adUnitExposureBegan_) {
        analytics->endAdUnitExposure(adUnitID_);
        adUnitExposureBegan_ = false;
    }
}

}  // namespace ads
