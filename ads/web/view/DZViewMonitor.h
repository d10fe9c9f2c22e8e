#pragma once
// Samples, at a fixed interval on the clock, which part of one view is
// visible in its window, and tells a delegate after each sample. Visible
// means: the application is active, the view is in a shown window, neither
// it nor an ancestor is hidden or fully transparent, and some area is left
// after clipping.
//
// Threading: start, stop and sample hop to the main thread, where sampling
// runs; the results and the delegate may be read from any thread.

#include <memory>
#include <mutex>

#include "gfx/Geometry.h"
#include "ui/View.h"

namespace ads {

class DZScheduler;
class DZViewMonitor;

class DZViewMonitorDelegate {
public:
    virtual ~DZViewMonitorDelegate() = default;
    // On the main thread, after the sample was stored.
    virtual void viewMonitorDidRefresh(DZViewMonitor& monitor) = 0;
};

class DZViewMonitor : public std::enable_shared_from_this<DZViewMonitor> {
public:
    // nullptr without a view. The view is held weakly.
    [[nodiscard]] static std::shared_ptr<DZViewMonitor>
    create(const std::shared_ptr<ui::View>& view);
    DZViewMonitor(const DZViewMonitor&) = delete;
    DZViewMonitor& operator=(const DZViewMonitor&) = delete;

    // Samples every interval seconds until stopped; does nothing while
    // already sampling, also with another interval.
    void startMonitoringWithSamplingInterval(double seconds);
    void stopMonitoring();
    // One sample now.
    void sample();

    // False while the application is not active.
    [[nodiscard]] bool monitoredViewVisible() const;
    // Window coordinates; the zero rectangle when nothing is visible.
    [[nodiscard]] gfx::Rect monitoredViewVisibleBounds() const;
    [[nodiscard]] std::shared_ptr<ui::View> monitoredView() const { return view_.lock(); }

    void setDelegate(std::weak_ptr<DZViewMonitorDelegate> delegate);
    [[nodiscard]] std::shared_ptr<DZViewMonitorDelegate> delegate() const;

private:
    explicit DZViewMonitor(const std::shared_ptr<ui::View>& view) : view_(view) {}
    void updateViewBounds();

    const std::weak_ptr<ui::View> view_;
    std::shared_ptr<DZScheduler> scheduler_;  // main thread only

    mutable std::mutex mutex_;
    std::weak_ptr<DZViewMonitorDelegate> delegate_;
    gfx::Rect visibleBounds_;
    bool visible_ = false;
};

}  // namespace ads
