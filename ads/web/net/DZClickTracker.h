#pragma once
// Sends one tracking URL as a plain ping (no retries) inside an application
// background task, so the ping can finish while the app leaves the screen.
// When the background time runs out first, the tracker lets the task go and
// still finishes when the ping ends.
//
// Threading: the main thread only. Make it with make_shared.

#include <memory>
#include <optional>

#include "ads/web/net/DZClickTrackerDelegate.h"
#include "core/URL.h"
#include "ui/Application.h"

namespace ads {

class DZClickTracker : public std::enable_shared_from_this<DZClickTracker> {
public:
    DZClickTracker() = default;
    ~DZClickTracker();
    DZClickTracker(const DZClickTracker&) = delete;
    DZClickTracker& operator=(const DZClickTracker&) = delete;

    // Resets, then, with a URL, pings it inside a background task.
    void trackURL(const std::optional<core::URL>& url);
    // Not tracked, no background task held.
    void reset();
    // The ping's end: the first one after a start marks the tracker
    // tracked, tells the delegate and lets the background task go.
    void URLTrackingDidEnd(const core::URL& url, bool success);
    void beginBackgroundTask();
    void endBackgroundTask();

    [[nodiscard]] bool hasTracked() const { return hasTracked_; }
    [[nodiscard]] ui::BackgroundTaskIdentifier backgroundTaskID() const {
        return backgroundTaskID_;
    }
    [[nodiscard]] std::shared_ptr<DZClickTrackerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZClickTrackerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

private:
    ui::BackgroundTaskIdentifier backgroundTaskID_ = ui::InvalidBackgroundTask;
    bool hasTracked_ = false;
    std::weak_ptr<DZClickTrackerDelegate> delegate_;
};

}  // namespace ads
