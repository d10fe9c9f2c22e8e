#include "ads/web/view/DZAdViewLiveViewReporter.h"

#include "core/Queue.h"

namespace ads {

DZAdViewLiveViewReporter::~DZAdViewLiveViewReporter() {
    if (!reporting_) return;
    reporting_ = false;
    if (auto observer = observer_.lock()) {
        core::Queue::main()->async([observer = std::move(observer)] {
            observer->liveViewMonitoringDidStop(DZAdViewLiveViewMonitoring::kAdPage);
        });
    }
}

void DZAdViewLiveViewReporter::start() {
    const auto observer = observer_.lock();
    reporting_ =
        observer && observer->liveViewMonitoringStarted(DZAdViewLiveViewMonitoring::kAdPage);
}

void DZAdViewLiveViewReporter::stop() {
    if (!reporting_) return;
    if (const auto observer = observer_.lock())
        observer->liveViewMonitoringDidStop(DZAdViewLiveViewMonitoring::kAdPage);
    reporting_ = false;
}

}  // namespace ads
