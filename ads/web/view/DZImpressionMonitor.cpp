#include "ads/web/view/DZImpressionMonitor.h"

#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZThreading.h"

namespace ads {

namespace {

// The core controller's interval; its starting value while no controller
// exists yet (nothing can have changed it then).
double samplingInterval() {
    const auto controller = DZSDKCoreController::sharedInstanceIfCreated();
    return controller ? controller->liveViewSamplingInterval()
                      : DZSDKCoreController::kDefaultLiveViewSamplingInterval;
}

}  // namespace

std::shared_ptr<DZImpressionMonitor>
DZImpressionMonitor::create(const std::shared_ptr<ui::View>& view,
                            std::int64_t impressionDefinition) {
    return std::shared_ptr<DZImpressionMonitor>(
        new DZImpressionMonitor(view, impressionDefinition));
}

void DZImpressionMonitor::startMonitoring() {
    switch (impressionDefinition_) {
    case kImpressionDefinitionAdLoaded:
        startImpressionDefinitionAdLoaded();
        break;
    case kImpressionDefinitionVisible:
        startImpressionDefinitionVisible();
        break;
    default:
        break;
    }
}

void DZImpressionMonitor::stopMonitoring() {
    if (!viewMonitor_) return;
    viewMonitor_->setDelegate({});
    viewMonitor_->stopMonitoring();
}

void DZImpressionMonitor::startImpressionDefinitionAdLoaded() {
    didMonitorImpression();
}

void DZImpressionMonitor::startImpressionDefinitionVisible() {
    DZRunOnMainThread([weakSelf = weak_from_this()] {
        const auto self = weakSelf.lock();
        if (!self) return;
        // A second start replaces the first one's sampling.
        self->stopMonitoring();
        self->viewMonitor_ = DZViewMonitor::create(self->view_.lock());
        if (!self->viewMonitor_) return;
        self->viewMonitor_->sample();
        if (self->viewMonitor_->monitoredViewVisible()) {
            self->didMonitorImpression();
            return;
        }
        self->viewMonitor_->setDelegate(self);
        self->viewMonitor_->startMonitoringWithSamplingInterval(samplingInterval());
    });
}

void DZImpressionMonitor::viewMonitorDidRefresh(DZViewMonitor& monitor) {
    if (monitor.monitoredViewVisible()) didMonitorImpression();
}

void DZImpressionMonitor::didMonitorImpression() {
    // The delegate usually lets go of the monitor when told.
    const auto self = shared_from_this();
    stopMonitoring();
    if (const auto delegate = delegate_.lock())
        delegate->impressionMonitorDidMonitorImpression(*this);
}

}  // namespace ads
