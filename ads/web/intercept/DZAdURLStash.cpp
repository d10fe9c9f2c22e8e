#include "ads/web/intercept/DZAdURLStash.h"

#include <vector>

#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/view/DZAdView.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::optional<std::string> canonicalText(const std::optional<core::URL>& url) {
    const auto canonical = DZCanonicalURL(url);
    if (!canonical) return std::nullopt;
    return canonical->absoluteString();
}

// The ad's reporter, read where the ad view lives: on the main thread only.
// Elsewhere nothing is read (a wait for the main thread from a loading
// thread would deadlock with a main thread that waits for that load).
std::optional<std::shared_ptr<DZSafeBrowsingReporter>> reporterOf(const DZAdView& adView) {
    if (!core::RunLoop::isMainThread()) return std::nullopt;
    const auto& ad = adView.ad();
    return ad ? ad->safeBrowsingReporter() : nullptr;
}

}  // namespace

std::shared_ptr<DZAdURLStash> DZAdURLStash::sharedInstance() {
    static const auto* const shared = new std::shared_ptr<DZAdURLStash>(create());
    return *shared;
}

std::shared_ptr<DZAdURLStash> DZAdURLStash::create() {
    return std::make_shared<DZAdURLStash>();
}

DZAdURLStash::DZAdURLStash() : lockQueue_(core::Queue::serial(DZQueueLabel("ad-url-stash"))) {}

DZAdURLStash::Subject DZAdURLStash::subjectOf(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return {};
    return {Key{adView, adView.get()}, DZResourceCollectionAdView::of(adView), reporterOf(*adView)};
}

// Recording.

void DZAdURLStash::willLoadURLRequest(const std::shared_ptr<DZAdView>& adView,
                                      const core::URLRequest& request) {
    record(subjectOf(adView), request.mainDocumentURL(), true,
           [request](DZAdViewResourceCollection& collection) { collection.addURLRequest(request); });
}

void DZAdURLStash::willReceiveResponse(const std::shared_ptr<DZAdView>& adView,
                                       const core::URLRequest& request,
                                       const core::HTTPURLResponse& response) {
    record(subjectOf(adView), request.mainDocumentURL(), false,
           [request, response](DZAdViewResourceCollection& collection) {
               collection.addURLResponse(response, request);
           });
}

void DZAdURLStash::didReceiveData(const std::shared_ptr<DZAdView>& adView,
                                  const core::URLRequest& request, const core::Data& data) {
    record(subjectOf(adView), request.mainDocumentURL(), false,
           [request, data](DZAdViewResourceCollection& collection) {
               collection.addResourceData(data, request);
           });
}

void DZAdURLStash::didReceiveUncapturedData(const std::shared_ptr<DZAdView>& adView,
                                            const core::URLRequest& request, std::uint64_t length) {
    record(subjectOf(adView), request.mainDocumentURL(), false,
           [request, length](DZAdViewResourceCollection& collection) {
               collection.addUncapturedResourceData(length, request);
           });
}

void DZAdURLStash::record(Subject subject, const std::optional<core::URL>& mainDocumentURL,
                          bool setsMainDocument, Action action) {
    const auto canonical = canonicalText(mainDocumentURL);
    // A request of no page is filed nowhere: not even its own ad view's.
    if (setsMainDocument && !canonical) return;
    if (!subject.key && !canonical) return;
    const auto canonicalURL = DZCanonicalURL(mainDocumentURL);
    lockQueue_->async([self = shared_from_this(), subject = std::move(subject), canonical,
                       canonicalURL, setsMainDocument, action = std::move(action)] {
        const auto key = subject.key ? subject.key : self->adViewForMainDocumentURL(*canonical);
        if (!key) return;
        Entry& entry = self->entryFor(*key, subject.access);
        if (subject.reporter) entry.reporter = *subject.reporter;
        DZAdViewResourceCollection* collection = self->collectionForEntry(entry);
        if (!collection) return;
        if (setsMainDocument && entry.mainDocumentURL != canonical) {
            if (entry.mainDocumentURL) self->unmapMainDocumentURL(*entry.mainDocumentURL, *key);
            self->mainDocumentURLAdViewKeys_[*canonical] = *key;
            entry.mainDocumentURL = canonical;
            collection->setMainDocumentURL(canonicalURL);
        }
        action(*collection);
    });
}

void DZAdURLStash::recordIfCollected(const std::shared_ptr<DZAdView>& adView, Action action) {
    if (!adView) return;
    lockQueue_->async([self = shared_from_this(), key = Key{adView, adView.get()},
                       action = std::move(action)] {
        const auto found = self->adViews_.find(key);
        if (found != self->adViews_.end() && found->second.collection)
            action(*found->second.collection);
    });
}

void DZAdURLStash::adViewDidFinishLayout(const std::shared_ptr<DZAdView>& adView) {
    recordIfCollected(adView, [](DZAdViewResourceCollection& collection) {
        collection.adViewDidFinishLayout();
    });
}

void DZAdURLStash::didClickThroughToURL(const std::shared_ptr<DZAdView>& adView,
                                        const core::URL& url) {
    recordIfCollected(adView, [url](DZAdViewResourceCollection& collection) {
        collection.addClickthroughURL(url);
    });
}

void DZAdURLStash::didAttemptAutoClickRequest(const std::shared_ptr<DZAdView>& adView,
                                              const core::URLRequest& request) {
    recordIfCollected(adView, [request](DZAdViewResourceCollection& collection) {
        collection.addAutoClickRequest(request);
    });
}

// Loads.

void DZAdURLStash::adViewDidStartLoad(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return;
    lockQueue_->async([self = shared_from_this(), subject = subjectOf(adView)] {
        Entry& entry = self->entryFor(*subject.key, subject.access);
        if (subject.reporter) entry.reporter = *subject.reporter;
        ++entry.loadingFrameCount;
    });
}

void DZAdURLStash::adViewDidFinishLoad(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return;
    lockQueue_->async([self = shared_from_this(), key = Key{adView, adView.get()}] {
        const auto found = self->adViews_.find(key);
        if (found == self->adViews_.end()) return;
        auto& count = found->second.loadingFrameCount;
        count = count > 1 ? count - 1 : 0;
        self->removeEntryIfEmpty(key);
    });
}

bool DZAdURLStash::hasLoadingAd() const {
    bool loading = false;
    lockQueue_->sync([&] {
        for (const auto& [key, entry] : adViews_)
            if (entry.loadingFrameCount > 0 && !key.adView.expired()) loading = true;
    });
    return loading;
}

// Forgetting.

void DZAdURLStash::adViewWillLoadRootContent(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return;
    reportAndForget(Key{adView, adView.get()}, reporterOf(*adView));
}

void DZAdURLStash::removeAdView(const DZAdView* adView) {
    if (!adView) return;
    // The ad view is going: its own weak references have expired already,
    // so it is known by its address among the expired keys.
    const auto reporter = reporterOf(*adView);
    lockQueue_->async([self = shared_from_this(), adView, reporter] {
        std::vector<Key> going;
        for (const auto& [key, entry] : self->adViews_)
            if (key.address == adView && key.adView.expired()) going.push_back(key);
        for (const Key& key : going) self->reportAndForget(key, reporter);
    });
}

void DZAdURLStash::reportAndForget(
    const Key& key, const std::optional<std::shared_ptr<DZSafeBrowsingReporter>>& given) {
    const auto forget = [self = shared_from_this(), key, given] {
        const auto found = self->adViews_.find(key);
        if (found == self->adViews_.end()) return;
        const auto reporter = given ? *given : found->second.reporter;
        if (reporter && found->second.collection)
            reporter->reportResourceCollection(found->second.collection);
        self->removeInformationForAdViewKey(key);
    };
    if (lockQueue_->isCurrent()) {
        forget();
    } else {
        lockQueue_->async(forget);
    }
}

// Look-ups.

std::shared_ptr<DZAdView> DZAdURLStash::adViewForURLRequest(const core::URLRequest& request) {
    const auto canonical = canonicalText(request.mainDocumentURL());
    if (!canonical) return nullptr;
    std::weak_ptr<DZAdView> found;
    lockQueue_->sync([&] {
        if (const auto key = adViewForMainDocumentURL(*canonical)) found = key->adView;
    });
    return found.lock();
}

bool DZAdURLStash::shouldInterceptRequest(const core::URLRequest& request) {
    if (!core::UserDefaults::standard()->boolForKey(kSafeBrowsingResponseKey)) return false;
    std::shared_ptr<DZSafeBrowsingReporter> reporter;
    if (core::RunLoop::isMainThread()) {
        const auto adView = adViewForURLRequest(request);
        if (!adView) return false;
        reporter = reporterOf(*adView).value_or(nullptr);
    } else {
        // A URL-loading thread: the reporter the main thread noted for the
        // page's ad view; the ad view itself is not touched here.
        const auto canonical = canonicalText(request.mainDocumentURL());
        if (!canonical) return false;
        lockQueue_->sync([&] {
            const auto key = adViewForMainDocumentURL(*canonical);
            if (!key) return;
            if (const auto found = adViews_.find(*key); found != adViews_.end())
                reporter = found->second.reporter;
        });
    }
    if (!reporter) return false;
    const auto& protection = reporter->autoClickProtection();
    return (reporter->shouldReportMaliciousAds() && protection && protection->enabled()) ||
           reporter->shouldReportBenignAds();
}

std::shared_ptr<DZAdViewResourceCollection>
DZAdURLStash::resourceCollectionForAdView(const std::shared_ptr<DZAdView>& adView) const {
    std::shared_ptr<DZAdViewResourceCollection> collection;
    if (!adView) return collection;
    lockQueue_->sync([&] {
        const auto found = adViews_.find(Key{adView, adView.get()});
        if (found != adViews_.end()) collection = found->second.collection;
    });
    return collection;
}

size_t DZAdURLStash::adViewCount() const {
    size_t count = 0;
    lockQueue_->sync([&] { count = adViews_.size(); });
    return count;
}

// Lock queue only.

DZAdURLStash::Entry& DZAdURLStash::entryFor(const Key& key,
                                            const DZResourceCollectionAdView& access) {
    auto [found, inserted] = adViews_.try_emplace(key);
    if (inserted) found->second.access = access;
    return found->second;
}

DZAdViewResourceCollection* DZAdURLStash::collectionForEntry(Entry& entry) {
    if (!entry.collection) entry.collection = DZAdViewResourceCollection::create(entry.access);
    return entry.collection.get();
}

std::optional<DZAdURLStash::Key> DZAdURLStash::adViewForMainDocumentURL(const std::string& url) {
    const auto found = mainDocumentURLAdViewKeys_.find(url);
    if (found == mainDocumentURLAdViewKeys_.end()) return std::nullopt;
    const Key key = found->second;
    if (key.adView.expired()) {
        forgetGoneAdView(key);
        mainDocumentURLAdViewKeys_.erase(url);
        return std::nullopt;
    }
    return key;
}

void DZAdURLStash::forgetGoneAdView(const Key& key) {
    // Its teardown may be on its way here, or may never come: either way the
    // page's collection goes to the reporter it took from the ad, rather
    // than unreported.
    const auto found = adViews_.find(key);
    if (found != adViews_.end() && found->second.collection) {
        if (const auto reporter = found->second.collection->safeBrowsingReporter())
            reporter->reportResourceCollection(found->second.collection);
    }
    removeInformationForAdViewKey(key);
}

void DZAdURLStash::removeInformationForAdViewKey(const Key& key) {
    const auto found = adViews_.find(key);
    if (found == adViews_.end()) return;
    if (const auto& url = found->second.mainDocumentURL) unmapMainDocumentURL(*url, key);
    adViews_.erase(found);
}

void DZAdURLStash::unmapMainDocumentURL(const std::string& url, const Key& key) {
    // The URL may lead to another ad view by now.
    const auto mapped = mainDocumentURLAdViewKeys_.find(url);
    if (mapped != mainDocumentURLAdViewKeys_.end() && !KeyOrder()(mapped->second, key) &&
        !KeyOrder()(key, mapped->second))
        mainDocumentURLAdViewKeys_.erase(mapped);
}

void DZAdURLStash::removeEntryIfEmpty(const Key& key) {
    const auto found = adViews_.find(key);
    if (found != adViews_.end() && !found->second.collection && found->second.loadingFrameCount == 0)
        adViews_.erase(found);
}

}  // namespace ads
