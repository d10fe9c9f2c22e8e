#include "ads/web/view/DZLiveViewMonitor.h"

#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace ads {

std::shared_ptr<DZLiveViewMonitor>
DZLiveViewMonitor::create(const std::shared_ptr<ui::View>& view,
                          std::optional<std::string> adFormat,
                          std::optional<core::Dictionary> liveViewConfiguration) {
    if (!view) return nullptr;
    auto monitor = std::make_shared<DZLiveViewMonitor>(Token{}, view, std::move(adFormat),
                                                       std::move(liveViewConfiguration));
    monitor->viewMonitor_ = DZViewMonitor::create(view);
    monitor->viewMonitor_->setDelegate(monitor);
    return monitor;
}

DZLiveViewMonitor::DZLiveViewMonitor(Token, const std::shared_ptr<ui::View>& view,
                                     std::optional<std::string> adFormat,
                                     std::optional<core::Dictionary> liveViewConfiguration)
    : view_(view),
      adFormat_(std::move(adFormat)),
      liveViewConfiguration_(std::move(liveViewConfiguration)) {}

void DZLiveViewMonitor::startMonitoring() {
    startMonitoringWithSamplingInterval(
        DZSDKCoreController::sharedInstance()->liveViewSamplingInterval());
}

void DZLiveViewMonitor::startMonitoringWithSamplingInterval(double seconds) {
    viewMonitor_->startMonitoringWithSamplingInterval(seconds);
}

void DZLiveViewMonitor::stopMonitoring() {
    viewMonitor_->stopMonitoring();
}

void DZLiveViewMonitor::sample() {
    viewMonitor_->sample();
}

void DZLiveViewMonitor::setDelegate(std::weak_ptr<DZLiveViewMonitorDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<DZLiveViewMonitorDelegate> DZLiveViewMonitor::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void DZLiveViewMonitor::viewMonitorDidRefresh(DZViewMonitor& monitor) {
    const auto delegate = this->delegate();
    const gfx::Rect bounds = monitor.monitoredViewVisibleBounds();
    const bool visible = monitor.monitoredViewVisible();
    {
        std::lock_guard lock(mutex_);
        monitoredViewVisibleBounds_ = bounds;
        monitoredViewVisible_ = visible;
    }
    if (delegate) delegate->liveViewMonitorDidRefresh(*this);
}

core::Dictionary DZLiveViewMonitor::liveViewStateWithID(std::uint64_t liveViewID,
                                                        bool isMRAIDEnabled, bool unloaded) const {
    const auto view = view_.lock();
    gfx::Rect visibleBounds;
    bool visible = false;
    {
        std::lock_guard lock(mutex_);
        visibleBounds = monitoredViewVisibleBounds_;
        visible = monitoredViewVisible_;
    }
    const auto window = view ? view->window() : nullptr;
    const ui::Application& application = ui::Application::shared();
    // The platform has one screen, which every window is on.
    const bool inVisibleWindow = window && !window->isHidden() &&
                                 application.state() == ui::ApplicationState::Active;
    const auto device = DZDevice::sharedInstance();
    device->updateDynamicParameters();
    const DZMobileAds& mobileAds = DZMobileAds::sharedInstance();

    core::Dictionary state;
    state.set("adBox",
              DZDictionaryWithRectEdges(view ? view->convertRectTo(view->bounds(), nullptr)
                                             : gfx::Rect()));
    state.set("globalVisibleBox", DZDictionaryWithRectEdges(visibleBounds));
    state.set("viewBox", DZDictionaryWithRectEdges(window ? window->bounds() : gfx::Rect()));
    state.set("screenDimension", DZDictionaryWithRectEdges(application.applicationFrame()));
    state.set("screenOrientation", application.statusBarOrientation());
    state.set("ad_type_mraid", DZStringFromBool(isMRAIDEnabled));
    state.set("isSubViewOfVisibleWindow", DZStringFromBool(inVisibleWindow));
    state.set("isVisible", DZStringFromBool(visible));
    state.set("duzoVersion", DZRequest::sdkVersion());
    if (adFormat_) state.set("adFormat", *adFormat_);
    if (liveViewConfiguration_) state.set("liveViewJSON", *liveViewConfiguration_);
    state.set("timestamp", core::Value(static_cast<unsigned long long>(DZMonotonicMilliseconds())));
    state.set("hashCode", core::Value(static_cast<unsigned long long>(liveViewID)));
    if (unloaded) state.set("doneReasonCode", std::string(kUnloadedReasonCode));
    state.set("appMuted", mobileAds.applicationMuted());
    state.set("appVolume", static_cast<double>(mobileAds.applicationVolume()));
    state.set("deviceVolume", static_cast<double>(device->audioVolume()));
    return core::Dictionary{{"units", core::Array{core::Value(std::move(state))}}};
}

std::optional<std::string>
DZLiveViewMonitor::commandForLiveViewState(const core::Dictionary& state) {
    const auto json = dz_JSONStringPretty(state, false, nullptr);
    if (!json) return std::nullopt;
    return std::string(kUpdateFunction) + "(" + *json + ")";
}

}  // namespace ads
