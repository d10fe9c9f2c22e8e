#pragma once
// What one ad view's page loaded, kept for the safe-browsing report: the
// page URL, one report dictionary per resource, the click-through URLs and
// whether the ad was judged malicious (an automatic click was caught).
//
// Threading: any thread; every member takes the collection's own lock.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZAdViewResourceCollection {
public:
    static constexpr std::int64_t kReportType = 11;
    static constexpr std::int64_t kClickthroughResourceType = 2;

    DZAdViewResourceCollection() = default;
    DZAdViewResourceCollection(const DZAdViewResourceCollection&) = delete;
    DZAdViewResourceCollection& operator=(const DZAdViewResourceCollection&) = delete;

    void setMainDocumentURL(std::optional<core::URL> url);
    [[nodiscard]] std::optional<core::URL> mainDocumentURL() const;
    // One resource's report dictionary; its position is its sequence number.
    void addResource(core::Dictionary resource);
    void addClickthroughURL(const core::URL& url);
    // Marks the ad malicious; nothing clears the mark.
    void addAutoClick();

    [[nodiscard]] bool isMalicious() const;
    // The safe-browsing report: "type" 11, "page_url" "mobileapp::" and the
    // main bundle identifier, "url" when a page URL is set, "resources" (the
    // resources, then one entry per click-through URL with
    // "ad_resource_type" 2, "url" and "id") and "click_url" (the last
    // click-through URL) when there is one.
    [[nodiscard]] core::Dictionary dictionaryRepresentation() const;

private:
    mutable std::mutex mutex_;
    std::optional<core::URL> mainDocumentURL_;
    core::Array resources_;
    std::vector<core::URL> clickthroughURLs_;
    bool malicious_ = false;
};

}  // namespace ads
