// DZAdViewResourceCollection: the safe-browsing report.

#include "ads/foundation/DZDeviceHost.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"

namespace ads {

core::Dictionary DZAdViewResourceCollection::dictionaryRepresentation() const {
    core::Dictionary report{
        {"type", kReportType},
        {"page_url", "mobileapp::" + DZDeviceHost::platform()->mainBundleIdentifier()},
    };
    lockQueue_->sync([&] {
        if (mainDocumentURL_) report.set("url", mainDocumentURL_->absoluteString());
        if (imageData_) {
            report.set("rendered_ad", core::Dictionary{{"type", 1},
                                                       {"mime_type", "image/png"},
                                                       {"image", DZBase64String(*imageData_)}});
        }
        if (safeBrowsingReporter_) {
            report.set("creative_properties",
                       core::Dictionary{{"click_string", safeBrowsingReporter_->clickString()}});
        }
        report.set("resources", resourceEntries());
        if (!clickthroughURLs_.empty()) {
            report.set("click_url", clickthroughURLs_.back().absoluteString());
        }
    });
    return report;
}

core::Array DZAdViewResourceCollection::resourceEntries() const {
    static const std::set<std::string> kNoExclusions;
    const std::set<std::string>& excluded =
        safeBrowsingReporter_ ? safeBrowsingReporter_->excludedHeaders() : kNoExclusions;
    core::Array entries;
    entries.reserve(resources_.size() + clickthroughURLs_.size());
    for (const auto& resource : resources_) {
        entries.emplace_back(resource->dictionaryRepresentationExcludingHeaders(excluded));
    }
    for (size_t position = 0; position < clickthroughURLs_.size(); ++position) {
        entries.emplace_back(core::Dictionary{
            {"ad_resource_type", DZAdViewResource::kAfterTouch},
            {"url", clickthroughURLs_[position].absoluteString()},
            {"id", std::int64_t(resources_.size() + position)},
        });
    }
    return entries;
}

}  // namespace ads
