#pragma once
// Live View sampling of one shown ad: a DZViewMonitor samples the ad's view
// and this monitor tells its delegate after each sample; on request it
// builds the Live View state, the one dictionary that carries the ad's
// geometry, visibility and the audio state to the measuring script:
// {"units": [state]} with rectangles as {"top", "bottom", "left", "right"}.
// The slot sends it to the SDK core page, the ad's own page or both as a
// "DUZO_updateLiveView" command (commandForLiveViewState).
//
// Threading: samples arrive on the main thread; the stored sample and the
// delegate are guarded by a lock, so a delegate that asks for the state
// when told of a sample gets that sample. The state reads UI objects and is
// built on the main thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ads/web/view/DZViewMonitor.h"
#include "core/Value.h"
#include "gfx/Geometry.h"
#include "ui/View.h"

namespace ads {

class DZLiveViewMonitor;

class DZLiveViewMonitorDelegate {
public:
    virtual ~DZLiveViewMonitorDelegate() = default;
    // After each sample, on the main thread.
    virtual void liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) = 0;
};

class DZLiveViewMonitor : public DZViewMonitorDelegate,
                          public std::enable_shared_from_this<DZLiveViewMonitor> {
public:
    static constexpr std::string_view kUpdateFunction = "DUZO_updateLiveView";
    static constexpr std::string_view kUnloadedReasonCode = "u";

    // nullptr without a view. The view is held weakly.
    [[nodiscard]] static std::shared_ptr<DZLiveViewMonitor>
    create(const std::shared_ptr<ui::View>& view, std::optional<std::string> adFormat,
           std::optional<core::Dictionary> liveViewConfiguration);

    // Samples at the SDK core controller's Live View sampling interval.
    void startMonitoring();
    void startMonitoringWithSamplingInterval(double seconds);
    void stopMonitoring();
    // One sample now.
    void sample();

    // The Live View state of the ad with that Live View identifier: the
    // last sample (zeros and not visible before the first), the view's and
    // its window's geometry, the screen, the audio state and the time now.
    // "adFormat" and "liveViewJSON" only when given at creation,
    // "doneReasonCode" "u" only when unloaded.
    [[nodiscard]] core::Dictionary liveViewStateWithID(std::uint64_t liveViewID,
                                                       bool isMRAIDEnabled, bool unloaded) const;
    // "DUZO_updateLiveView(<compact JSON of state>)"; nullopt when the state
    // cannot be written as JSON.
    [[nodiscard]] static std::optional<std::string>
    commandForLiveViewState(const core::Dictionary& state);

    [[nodiscard]] std::shared_ptr<ui::View> monitoredView() const { return view_.lock(); }
    [[nodiscard]] const std::optional<std::string>& adFormat() const { return adFormat_; }
    [[nodiscard]] const std::optional<core::Dictionary>& liveViewConfiguration() const {
        return liveViewConfiguration_;
    }
    [[nodiscard]] const std::shared_ptr<DZViewMonitor>& viewMonitor() const { return viewMonitor_; }
    void setDelegate(std::weak_ptr<DZLiveViewMonitorDelegate> delegate);
    [[nodiscard]] std::shared_ptr<DZLiveViewMonitorDelegate> delegate() const;

    // DZViewMonitorDelegate.
    void viewMonitorDidRefresh(DZViewMonitor& monitor) override;

private:
    struct Token {};

public:
    DZLiveViewMonitor(Token, const std::shared_ptr<ui::View>& view,
                      std::optional<std::string> adFormat,
                      std::optional<core::Dictionary> liveViewConfiguration);

private:
    const std::weak_ptr<ui::View> view_;
    const std::optional<std::string> adFormat_;
    const std::optional<core::Dictionary> liveViewConfiguration_;
    std::shared_ptr<DZViewMonitor> viewMonitor_;

    mutable std::mutex mutex_;
    std::weak_ptr<DZLiveViewMonitorDelegate> delegate_;
    gfx::Rect monitoredViewVisibleBounds_;
    bool monitoredViewVisible_ = false;
};

}  // namespace ads
