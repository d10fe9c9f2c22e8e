#pragma once
// The process-wide registry of what ad web views load. For each live ad
// view it keeps the DZAdViewResourceCollection of its current page, maps the
// page's canonical main-document URL back to the ad view, and counts the ad
// view's page loads in progress. Records that name no ad view are filed
// under the ad view whose page issued them (by the request's main-document
// URL); requests of other pages are ignored. When an ad view loads new root
// content or goes away, its collection goes to its ad's safe-browsing
// reporter and a new page starts a new collection.
//
// The stash never keeps an ad view alive: it knows each by a weak reference
// that compares by identity, and entries of an ad view that went away
// unannounced (or whose teardown notice is still on its way) are reported
// and dropped by the first look-up that meets them.
//
// Threading: any thread. Every table lives on the serial queue
// "com.dozuza.vuraz.ad-url-stash"; updates are posted there in the order
// made and return at once; the look-ups (adViewForURLRequest,
// shouldInterceptRequest, hasLoadingAd and the readers for tests) wait on
// it. Ad views are read on the main thread only, and nothing here waits
// for the main thread: each update that names an ad view on the main
// thread also notes its ad's safe-browsing reporter, which is what the
// URL-loading threads go by.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/web/intercept/DZResourceCollectionAdView.h"
#include "core/HTTPURLResponse.h"
#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZAdView;
class DZAdViewResourceCollection;
class DZSafeBrowsingReporter;

class DZAdURLStash : public std::enable_shared_from_this<DZAdURLStash> {
public:
    // The server constant that lets the URL protocol take loads to capture
    // their responses for the safe-browsing report.
    static constexpr std::string_view kSafeBrowsingResponseKey = "/dozuza/ads/sb_response";

    [[nodiscard]] static std::shared_ptr<DZAdURLStash> sharedInstance();
    // A stash of its own, which no ad view tells of its teardown (tests).
    [[nodiscard]] static std::shared_ptr<DZAdURLStash> create();

    // Records the request under adView, or, without one, under the ad view
    // whose page is the request's main document. A request without a
    // main-document URL is not recorded. A new page URL of the ad view
    // replaces its old one.
    void willLoadURLRequest(const std::shared_ptr<DZAdView>& adView,
                            const core::URLRequest& request);
    void willReceiveResponse(const std::shared_ptr<DZAdView>& adView,
                             const core::URLRequest& request,
                             const core::HTTPURLResponse& response);
    void didReceiveData(const std::shared_ptr<DZAdView>& adView, const core::URLRequest& request,
                        const core::Data& data);
    // Body bytes of the request seen but not copied (past what a record
    // keeps): counted in the resource's length.
    void didReceiveUncapturedData(const std::shared_ptr<DZAdView>& adView,
                                  const core::URLRequest& request, std::uint64_t length);

    void adViewDidStartLoad(const std::shared_ptr<DZAdView>& adView);
    // The count of loads in progress goes down; at its last the entry goes.
    void adViewDidFinishLoad(const std::shared_ptr<DZAdView>& adView);
    // Reports and forgets the collection of the page being replaced.
    void adViewWillLoadRootContent(const std::shared_ptr<DZAdView>& adView);
    // From the ad view's teardown, when only its address is left: reports
    // and forgets its collection.
    void removeAdView(const DZAdView* adView);

    // Nothing for an ad view without a collection.
    void adViewDidFinishLayout(const std::shared_ptr<DZAdView>& adView);
    void didClickThroughToURL(const std::shared_ptr<DZAdView>& adView, const core::URL& url);
    void didAttemptAutoClickRequest(const std::shared_ptr<DZAdView>& adView,
                                    const core::URLRequest& request);

    // The ad view whose page is the request's main document, or nullptr.
    [[nodiscard]] std::shared_ptr<DZAdView> adViewForURLRequest(const core::URLRequest& request);
    // Whether the URL protocol takes the request to capture its response:
    // "sb_response" is true and the request's ad view shows an ad whose
    // safe-browsing reporter reports malicious ads with auto-click
    // protection enabled, or reports benign ads.
    [[nodiscard]] bool shouldInterceptRequest(const core::URLRequest& request);
    // Whether any live ad view has a page load in progress.
    [[nodiscard]] bool hasLoadingAd() const;

    // For tests: the ad view's current collection, or nullptr; the number
    // of ad views the stash holds anything for.
    [[nodiscard]] std::shared_ptr<DZAdViewResourceCollection>
    resourceCollectionForAdView(const std::shared_ptr<DZAdView>& adView) const;
    [[nodiscard]] size_t adViewCount() const;

    DZAdURLStash();

private:
    // An ad view by identity: the weak reference's owner, which stays
    // unique while the stash holds it.
    struct Key {
        std::weak_ptr<DZAdView> adView;
        const DZAdView* address = nullptr;
    };
    struct KeyOrder {
        bool operator()(const Key& a, const Key& b) const { return a.adView.owner_before(b.adView); }
    };
    struct Entry {
        DZResourceCollectionAdView access;
        std::shared_ptr<DZAdViewResourceCollection> collection;
        std::optional<std::string> mainDocumentURL;  // canonical text
        std::int64_t loadingFrameCount = 0;
        // The ad's reporter as the main thread last saw it.
        std::shared_ptr<DZSafeBrowsingReporter> reporter;
    };
    // What an update names: the ad view, or none (its page's URL decides).
    struct Subject {
        std::optional<Key> key;
        DZResourceCollectionAdView access;
        // Its ad's reporter, when named on the main thread.
        std::optional<std::shared_ptr<DZSafeBrowsingReporter>> reporter;
    };
    using Action = std::function<void(DZAdViewResourceCollection& collection)>;

    [[nodiscard]] static Subject subjectOf(const std::shared_ptr<DZAdView>& adView);
    // Resolves the subject and feeds its collection, found or created.
    void record(Subject subject, const std::optional<core::URL>& mainDocumentURL,
                bool setsMainDocument, Action action);
    // Feeds the ad view's collection when it has one.
    void recordIfCollected(const std::shared_ptr<DZAdView>& adView, Action action);
    // Without a reporter given, the one the main thread last saw.
    void reportAndForget(const Key& key,
                         const std::optional<std::shared_ptr<DZSafeBrowsingReporter>>& reporter);

    // Lock queue only.
    [[nodiscard]] Entry& entryFor(const Key& key, const DZResourceCollectionAdView& access);
    [[nodiscard]] DZAdViewResourceCollection* collectionForEntry(Entry& entry);
    // The key of the live ad view whose page is url; a gone one's entries
    // are removed on the way (forgetGoneAdView).
    [[nodiscard]] std::optional<Key> adViewForMainDocumentURL(const std::string& url);
    // Reports the collection of an ad view that has gone to the reporter the
    // collection took from its ad, and forgets the ad view.
    void forgetGoneAdView(const Key& key);
    void removeInformationForAdViewKey(const Key& key);
    // Forgets the URL's mapping while it leads to key.
    void unmapMainDocumentURL(const std::string& url, const Key& key);
    void removeEntryIfEmpty(const Key& key);

    const std::shared_ptr<core::Queue> lockQueue_;
    std::map<Key, Entry, KeyOrder> adViews_;
    std::map<std::string, Key> mainDocumentURLAdViewKeys_;
};

}  // namespace ads
