#pragma once
// Tells an ad's Live View observer (its slot) when the ad's own page starts
// and stops measuring the ad. One per ad view; main thread. A reporter that
// goes away while reporting sends its stop on the main queue afterwards.

#include <memory>

#include "ads/core/sdkcore/DZAdViewLiveViewMonitoring.h"

namespace ads {

class DZAdViewLiveViewReporter {
public:
    DZAdViewLiveViewReporter() = default;
    ~DZAdViewLiveViewReporter();
    DZAdViewLiveViewReporter(const DZAdViewLiveViewReporter&) = delete;
    DZAdViewLiveViewReporter& operator=(const DZAdViewLiveViewReporter&) = delete;

    // Reporting becomes the observer's answer; without an observer, false.
    void start();
    // While reporting: the observer hears of the stop, and reporting ends.
    void stop();

    [[nodiscard]] bool reporting() const { return reporting_; }
    [[nodiscard]] std::shared_ptr<DZAdViewLiveViewMonitoring> observer() const {
        return observer_.lock();
    }
    void setObserver(std::weak_ptr<DZAdViewLiveViewMonitoring> observer) {
        observer_ = std::move(observer);
    }

private:
    bool reporting_ = false;
    std::weak_ptr<DZAdViewLiveViewMonitoring> observer_;
};

}  // namespace ads
