#pragma once
// Decides the moment of an ad's impression by the ad's impression
// definition: 0, at once when monitoring starts (the ad has loaded); 1, the
// first time the ad's view is visible, sampled by a DZViewMonitor at the
// SDK core controller's Live View sampling interval; any other definition
// never. One start gives at most one impression: the view monitor is
// stopped before the delegate hears of it.
//
// Threading: main thread (startMonitoring hops there for definition 1).

#include <cstdint>
#include <memory>

#include "ads/web/view/DZViewMonitor.h"
#include "ui/View.h"

namespace ads {

class DZImpressionMonitor;

class DZImpressionMonitorDelegate {
public:
    virtual ~DZImpressionMonitorDelegate() = default;
    virtual void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) = 0;
};

class DZImpressionMonitor : public DZViewMonitorDelegate,
                            public std::enable_shared_from_this<DZImpressionMonitor> {
public:
    static constexpr std::int64_t kImpressionDefinitionAdLoaded = 0;
    static constexpr std::int64_t kImpressionDefinitionVisible = 1;

    // The view is held weakly and may be missing: definition 1 then never
    // reports.
    [[nodiscard]] static std::shared_ptr<DZImpressionMonitor>
    create(const std::shared_ptr<ui::View>& view, std::int64_t impressionDefinition);
    DZImpressionMonitor(const DZImpressionMonitor&) = delete;
    DZImpressionMonitor& operator=(const DZImpressionMonitor&) = delete;

    void startMonitoring();
    // The view monitor loses its delegate and stops.
    void stopMonitoring();

    [[nodiscard]] std::int64_t impressionDefinition() const { return impressionDefinition_; }
    [[nodiscard]] std::shared_ptr<ui::View> monitoredView() const { return view_.lock(); }
    // Made by a start with definition 1 (nullptr without a view).
    [[nodiscard]] const std::shared_ptr<DZViewMonitor>& viewMonitor() const { return viewMonitor_; }

    void setDelegate(std::weak_ptr<DZImpressionMonitorDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZImpressionMonitorDelegate> delegate() const {
        return delegate_.lock();
    }

    // DZViewMonitorDelegate.
    void viewMonitorDidRefresh(DZViewMonitor& monitor) override;

private:
    DZImpressionMonitor(const std::shared_ptr<ui::View>& view, std::int64_t impressionDefinition)
        : impressionDefinition_(impressionDefinition), view_(view) {}
    void startImpressionDefinitionAdLoaded();
    void startImpressionDefinitionVisible();
    void didMonitorImpression();

    const std::int64_t impressionDefinition_;
    const std::weak_ptr<ui::View> view_;
    std::shared_ptr<DZViewMonitor> viewMonitor_;
    std::weak_ptr<DZImpressionMonitorDelegate> delegate_;
};

}  // namespace ads
