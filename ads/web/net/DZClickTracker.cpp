#include "ads/web/net/DZClickTracker.h"

#include "ads/web/net/DZPinger.h"
#include "core/Queue.h"

namespace ads {

DZClickTracker::~DZClickTracker() {
    endBackgroundTask();
}

void DZClickTracker::trackURL(const std::optional<core::URL>& url) {
    reset();
    if (!url) return;
    beginBackgroundTask();
    DZPinger::sharedInstance()->pingURLString(url->absoluteString(), core::Queue::main(),
                                              [weak = weak_from_this(), url = *url](bool success) {
                                                  if (const auto tracker = weak.lock())
                                                      tracker->URLTrackingDidEnd(url, success);
                                              });
}

void DZClickTracker::reset() {
    hasTracked_ = false;
    endBackgroundTask();
}

void DZClickTracker::URLTrackingDidEnd(const core::URL&, bool) {
    if (hasTracked_) return;
    const auto self = shared_from_this();
    hasTracked_ = true;
    if (const auto delegate = delegate_.lock()) delegate->trackerDidFinishTracking(*this);
    endBackgroundTask();
}

void DZClickTracker::beginBackgroundTask() {
    endBackgroundTask();
    backgroundTaskID_ = ui::Application::shared().beginBackgroundTask([weak = weak_from_this()] {
        if (const auto tracker = weak.lock()) tracker->reset();
    });
}

void DZClickTracker::endBackgroundTask() {
    if (backgroundTaskID_ == ui::InvalidBackgroundTask) return;
    ui::Application::shared().endBackgroundTask(backgroundTaskID_);
    backgroundTaskID_ = ui::InvalidBackgroundTask;
}

}  // namespace ads
