#pragma once
// Everything one ad view's page loaded, for the safe-browsing report: a
// tree of DZAdViewResource nodes, one per distinct request, each linked to
// the redirect or the referring resource that led to it and classified by
// whether the user had touched the ad; the click-through URLs; a snapshot
// of the rendered ad; and the ad's DZSafeBrowsingReporter, which turns the
// collection into the report and sends it.
//
// With greedy collection on (the default, process-wide) the tree survives
// a change of page URL; with it off a new page starts a new tree.
//
// Captured bodies are kept up to DZCapturedBytes::kResourceLimit per
// resource and kCollectionBodyLimit for the whole collection; the bytes
// beyond are counted (the report's "bodylength") but not kept.
//
// Threading: any thread. Every field lives on the serial queue
// "com.dozuza.vuraz.url-collection": changes are posted there and return at
// once; readers (mainDocumentURL, isMalicious, dictionaryRepresentation)
// wait for the work posted before them and must not be called from it. The
// ad view is read on the main thread, and what it answers is posted back
// to the queue after the work posted before.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ads/web/intercept/DZAdViewResource.h"
#include "ads/web/intercept/DZResourceCollectionAdView.h"
#include "core/HTTPURLResponse.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZSafeBrowsingReporter;

class DZAdViewResourceCollection : public std::enable_shared_from_this<DZAdViewResourceCollection> {
public:
    static constexpr std::int64_t kReportType = 11;
    static constexpr size_t kCollectionBodyLimit = 4 * 1024 * 1024;

    [[nodiscard]] static std::shared_ptr<DZAdViewResourceCollection>
    create(DZResourceCollectionAdView adView);

    static void setGreedyCollectionEnabled(bool enabled);
    [[nodiscard]] static bool isGreedyCollectionEnabled();

    // A different page URL drops the snapshot and the reporter, and, with
    // greedy collection off, every resource and click-through URL.
    void setMainDocumentURL(std::optional<core::URL> url);
    [[nodiscard]] std::optional<core::URL> mainDocumentURL() const;

    // Records the request as a resource, or merges its headers into the
    // resource of an equal request; refreshes the reporter.
    void addURLRequest(const core::URLRequest& request);
    // Stores the response on the request's resource (recording it when
    // new); a 3xx response notes its "Location" as a redirect target, whose
    // next request becomes the resource's child. Refreshes the reporter.
    void addURLResponse(const core::HTTPURLResponse& response, const core::URLRequest& request);
    void addResourceData(std::span<const std::uint8_t> data, const core::URLRequest& request);
    // Body bytes of the request that its loader counted without copying
    // them: they add to the resource's length alone.
    void addUncapturedResourceData(std::uint64_t length, const core::URLRequest& request);
    void addClickthroughURL(const core::URL& url);
    // A request blocked as an automatic click: its resource gets type 3,
    // and the collection counts as malicious.
    void addAutoClickRequest(const core::URLRequest& request);
    // Keeps an image of the rendered ad when the ad's reporter asks for one.
    void adViewDidFinishLayout();
    // Takes the reporter of the ad view's ad unless the collection has one.
    void updateSafeBrowsingReporter();

    [[nodiscard]] bool isMalicious() const;
    // The reporter taken from the ad view's ad for the current page, or
    // nullptr.
    [[nodiscard]] std::shared_ptr<DZSafeBrowsingReporter> safeBrowsingReporter() const;
    // The report: "type" 11, "page_url", "url", "rendered_ad",
    // "creative_properties", "resources" (every resource, then one entry per
    // click-through URL) and "click_url". Waits for the host look-ups of the
    // resources; best called off the main thread.
    [[nodiscard]] core::Dictionary dictionaryRepresentation() const;

    explicit DZAdViewResourceCollection(DZResourceCollectionAdView adView);

private:
    // On lockQueue_.
    void addResourceRequest(const DZAdViewResourceRequest& record);
    [[nodiscard]] std::shared_ptr<DZAdViewResource>
    resourceForRequest(const DZAdViewResourceRequest& record) const;
    // The resource of an equal request, after recording the request when
    // there is none; its headers merged.
    [[nodiscard]] std::shared_ptr<DZAdViewResource>
    resourceAddingRequest(const DZAdViewResourceRequest& record);
    void addParentForResource(const std::shared_ptr<DZAdViewResource>& resource);
    [[nodiscard]] std::shared_ptr<DZAdViewResource>
    redirectSourceForRequest(const DZAdViewResourceRequest& record);
    [[nodiscard]] std::shared_ptr<DZAdViewResource>
    referringResourceForRequest(const DZAdViewResourceRequest& record) const;
    void addRedirectDestinationForResource(const std::shared_ptr<DZAdViewResource>& resource);
    void classifyResource(const std::shared_ptr<DZAdViewResource>& resource);
    [[nodiscard]] core::Array resourceEntries() const;
    void storeRenderedImage(const std::shared_ptr<DZSafeBrowsingReporter>& reporter,
                            std::uint64_t generation, const gfx::ImagePtr& image);

    const DZResourceCollectionAdView adView_;
    const std::shared_ptr<core::Queue> lockQueue_;
    std::vector<std::shared_ptr<DZAdViewResource>> resources_;
    std::map<std::string, size_t> requestIndexForCanonicalURL_;
    std::map<std::string, std::deque<size_t>> requestIndicesForRedirectToURL_;
    std::optional<core::Data> imageData_;
    std::optional<core::URL> mainDocumentURL_;
    std::shared_ptr<DZSafeBrowsingReporter> safeBrowsingReporter_;
    std::vector<core::URL> clickthroughURLs_;
    size_t keptBodyBytes_ = 0;
    // Counts page changes, so that a snapshot begun for an earlier page is
    // not kept for the next one.
    std::uint64_t pageGeneration_ = 0;
};

}  // namespace ads
