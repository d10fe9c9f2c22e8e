#include "ads/web/net/DZClickTrackerCollection.h"

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZMUtilities.h"
#include "core/Queue.h"

namespace ads {

namespace {

DZMUtilities::Text view(const std::optional<std::string>& text) {
    return text ? DZMUtilities::Text(*text) : std::nullopt;
}

}  // namespace

std::shared_ptr<DZClickTrackerCollection> DZClickTrackerCollection::sharedInstance() {
    static const auto* const shared =
        new std::shared_ptr<DZClickTrackerCollection>(std::make_shared<DZClickTrackerCollection>());
    return *shared;
}

DZClickTrackerCollection::~DZClickTrackerCollection() {
    for (const auto& tracker : trackers_) tracker->reset();
}

void DZClickTrackerCollection::trackURLs(const std::vector<core::URL>& urls) {
    for (const core::URL& url : urls) trackURL(url);
}

void DZClickTrackerCollection::trackURLs(const core::Array& elements) {
    for (const core::Value& element : elements) {
        const std::string* text = element.string();
        if (!text) continue;
        if (const auto url = core::URL::create(*text)) trackURL(*url);
    }
}

void DZClickTrackerCollection::trackURL(const core::URL& url) {
    const auto tracker = std::make_shared<DZClickTracker>();
    tracker->setDelegate(weak_from_this());
    tracker->trackURL(url);
    trackers_.insert(tracker);
}

void DZClickTrackerCollection::trackMediationURLsFromTemplates(
    const std::optional<core::Array>& templates, const std::optional<std::string>& defaultTemplate,
    const std::optional<std::string>& networkID, const std::optional<std::string>& allocationID,
    const std::optional<std::string>& qData, const std::optional<std::string>& appKey, bool refresh,
    const std::optional<std::string>& durations, const std::optional<std::string>& exitCodes,
    const std::optional<std::string>& fillStatus, const std::optional<std::string>& eventType) {
    core::Array chosen;
    if (templates) {
        chosen = *templates;
    } else if (defaultTemplate) {
        chosen.emplace_back(*defaultTemplate);
    }
    const auto application = DZApplication::sharedInstance();
    const bool throughAnalytics =
        eventType && (*eventType == "_ai" || *eventType == "_ac") && DZAnalytics::sharedInstance();
    for (const core::Value& element : chosen) {
        const std::string* urlTemplate = element.string();
        if (!urlTemplate) continue;
        const std::string sequenceNumber = application->nextSequenceNumberAsString();
        auto url = DZMUtilities::mediationURLFrom(
            *urlTemplate, view(appKey), refresh, view(allocationID), view(networkID),
            qData ? std::string_view(*qData) : std::string_view(), application->sessionIdentifier(),
            sequenceNumber, view(exitCodes), view(durations), view(fillStatus));
        if (url && throughAnalytics) {
            const auto tracked = DZApplyAnalyticsToTrackingURLs({*url}, *eventType);
            url = tracked.empty() ? std::nullopt : std::optional(tracked.front());
        }
        if (url) trackURL(*url);
    }
}

void DZClickTrackerCollection::trackerDidFinishTracking(DZClickTracker&) {
    core::Queue::main()->async([weak = weak_from_this()] {
        if (const auto collection = weak.lock()) collection->cleanupTrackers();
    });
}

void DZClickTrackerCollection::cleanupTrackers() {
    std::erase_if(trackers_, [](const std::shared_ptr<DZClickTracker>& tracker) {
        if (!tracker->hasTracked()) return false;
        tracker->setDelegate({});
        return true;
    });
}

}  // namespace ads
