#pragma once
// The shared owner of running click trackers: every click, impression or
// other tracking URL that ads, message handlers and deep links hand it is
// pinged once, without retries, by a DZClickTracker of its own, kept until
// it has tracked. It also builds the mediation layer's tracking URLs from
// their templates.
//
// Threading: the main thread only.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ads/web/net/DZClickTracker.h"
#include "ads/web/net/DZClickTrackerDelegate.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZClickTrackerCollection : public DZClickTrackerDelegate,
                                 public std::enable_shared_from_this<DZClickTrackerCollection> {
public:
    [[nodiscard]] static std::shared_ptr<DZClickTrackerCollection> sharedInstance();
    DZClickTrackerCollection() = default;
    // Resets every tracker still running.
    ~DZClickTrackerCollection() override;
    DZClickTrackerCollection(const DZClickTrackerCollection&) = delete;
    DZClickTrackerCollection& operator=(const DZClickTrackerCollection&) = delete;

    void trackURLs(const std::vector<core::URL>& urls);
    // Texts are made into URLs; texts that are not URLs and values of other
    // kinds are skipped.
    void trackURLs(const core::Array& elements);
    void trackURL(const core::URL& url);
    // Tracks one URL per template that is text (or the default template
    // alone when there is no list), each with a sequence number of its own;
    // impression ("_ai") and click ("_ac") URLs go through the analytics
    // bridge when it exists.
    void trackMediationURLsFromTemplates(const std::optional<core::Array>& templates,
                                         const std::optional<std::string>& defaultTemplate,
                                         const std::optional<std::string>& networkID,
                                         const std::optional<std::string>& allocationID,
                                         const std::optional<std::string>& qData,
                                         const std::optional<std::string>& appKey, bool refresh,
                                         const std::optional<std::string>& durations,
                                         const std::optional<std::string>& exitCodes,
                                         const std::optional<std::string>& fillStatus,
                                         const std::optional<std::string>& eventType);

    // Schedules a clean-up on the main queue.
    void trackerDidFinishTracking(DZClickTracker& tracker) override;
    // Lets go of the trackers that have tracked.
    void cleanupTrackers();

    [[nodiscard]] const std::set<std::shared_ptr<DZClickTracker>>& trackers() const {
        return trackers_;
    }

private:
    std::set<std::shared_ptr<DZClickTracker>> trackers_;
};

}  // namespace ads
