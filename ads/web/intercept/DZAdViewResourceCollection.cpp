#include "ads/web/intercept/DZAdViewResourceCollection.h"

#include "ads/foundation/DZDeviceHost.h"

namespace ads {

void DZAdViewResourceCollection::setMainDocumentURL(std::optional<core::URL> url) {
    std::lock_guard lock(mutex_);
    mainDocumentURL_ = std::move(url);
}

std::optional<core::URL> DZAdViewResourceCollection::mainDocumentURL() const {
    std::lock_guard lock(mutex_);
    return mainDocumentURL_;
}

void DZAdViewResourceCollection::addResource(core::Dictionary resource) {
    std::lock_guard lock(mutex_);
    resources_.emplace_back(std::move(resource));
}

void DZAdViewResourceCollection::addClickthroughURL(const core::URL& url) {
    std::lock_guard lock(mutex_);
    clickthroughURLs_.push_back(url);
}

void DZAdViewResourceCollection::addAutoClick() {
    std::lock_guard lock(mutex_);
    malicious_ = true;
}

bool DZAdViewResourceCollection::isMalicious() const {
    std::lock_guard lock(mutex_);
    return malicious_;
}

core::Dictionary DZAdViewResourceCollection::dictionaryRepresentation() const {
    std::string pageURL = "mobileapp::";
    pageURL.append(DZDeviceHost::platform()->mainBundleIdentifier());
    core::Dictionary report{{"type", kReportType}, {"page_url", std::move(pageURL)}};

    std::lock_guard lock(mutex_);
    if (mainDocumentURL_) {
        report.set("url", mainDocumentURL_->absoluteString());
    }
    core::Array resources = resources_;
    for (size_t position = 0; position < clickthroughURLs_.size(); ++position) {
        resources.emplace_back(core::Dictionary{
            {"ad_resource_type", kClickthroughResourceType},
            {"url", clickthroughURLs_[position].absoluteString()},
            {"id", static_cast<std::int64_t>(resources_.size() + position)},
        });
    }
    report.set("resources", std::move(resources));
    if (!clickthroughURLs_.empty()) {
        report.set("click_url", clickthroughURLs_.back().absoluteString());
    }
    return report;
}

}  // namespace ads
