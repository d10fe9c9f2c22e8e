#pragma once
// The handler of the SDK core page's dmsg messages. Answers to the
// controller's commands and ad URL requests go to its delegate; the page's
// requests for native services are carried out here: HTTP fetches on its
// behalf (http and https only, one per "http_request_id" and at most 8 at
// a time, each answered once through
// "DUZO_ReceiveMessage('fetchHttpRequestCompleted', ...)"), its saved
// state in the user defaults (bounded), the pause ids of the core
// refresh, and downloads of resources into the SDK cache folder
// (DZSDKCoreDMSGHandlerCache.cpp), reported through "DUZO_resourceCache".
// Replies go through the core web view's command queue.
//
// The page's word is not trusted with the file system: only http and https
// resources are downloaded, one download per cache id at a time, and a
// file URL the page names is acted on (reported, deleted) only when it
// names an existing item inside the SDK cache folder once escapes, dots and
// symbolic links are resolved.
//
// Messages arrive on the main thread; the fetcher table is guarded by the
// serial queue "com.dozuza.vuraz.sdk-core-dmsghandler"; the pause ids and
// the resource caches are main-thread only. The answers handed to the
// delegate on the main queue ("loadAdURL", "loadAd", "invalidRequest",
// "loadSdkConstants", "requestReload") pass, in the order they came, through
// the serial queue "com.dozuza.vuraz.sdk-core-answers", where "loadAd"'s
// ad (megabytes of JSON for a large ad) is decoded, so that none is decoded
// on the main thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/core/response/DZAdFetcherDelegate.h"
#include "ads/web/cache/DZResourceCacheDelegate.h"
#include "ads/web/dmsg/DZDMSGHandler.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandlerDelegate.h"
#include "core/Queue.h"
#include "core/URLRequest.h"

namespace ads {

class DZResourceCache;
class DZSDKCoreWebView;

class DZSDKCoreDMSGHandler : public DZDMSGHandler,
                             public DZAdFetcherDelegate,
                             public DZResourceCacheDelegate {
public:
    static constexpr std::string_view kSavedStateKey = "/dozuza/ads/sdk_core_state";
    // The saved state is the page's, within bounds: at most 32 keys of the
    // page, each of 1 to 256 bytes, and 64 KiB of keys and states in all.
    // "version" is the SDK's own. A message past a bound is refused and
    // logged; what was saved before stays.
    // Fetches on the page's behalf run at most this many at once; one more
    // is answered with a failure at once.
    static constexpr size_t kMaximumConcurrentFetches = 8;
    static constexpr std::string_view kSavedStateVersionKey = "version";
    static constexpr int kSavedStateVersion = 1;
    static constexpr size_t kMaximumSavedStateKeys = 32;
    static constexpr size_t kMaximumSavedStateKeyBytes = 256;
    static constexpr size_t kMaximumSavedStateBytes = 64 * 1024;

    DZSDKCoreDMSGHandler();
    ~DZSDKCoreDMSGHandler() override;

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    [[nodiscard]] std::shared_ptr<DZSDKCoreWebView> SDKCoreWebView() const {
        return SDKCoreWebView_.lock();
    }
    void setSDKCoreWebView(std::weak_ptr<DZSDKCoreWebView> webView) {
        SDKCoreWebView_ = std::move(webView);
    }
    [[nodiscard]] std::shared_ptr<DZSDKCoreDMSGHandlerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZSDKCoreDMSGHandlerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Messages.
    void didReceiveLoadAdURLAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveLoadAdAction(const std::shared_ptr<DZAdView>& adView,
                                const core::Dictionary& parameters);
    void didReceiveInvalidAdRequestAction(const std::shared_ptr<DZAdView>& adView,
                                          const core::Dictionary& parameters);
    void didReceiveLoadSDKConstantsAction(const std::shared_ptr<DZAdView>& adView,
                                          const core::Dictionary& parameters);
    void didReceiveFetchAdAction(const std::shared_ptr<DZAdView>& adView,
                                 const core::Dictionary& parameters);
    void didReceiveSDKCoreReloadRequestWithParameters(const std::shared_ptr<DZAdView>& adView,
                                                      const core::Dictionary& parameters);
    void didReceiveSDKCoreSaveState(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveResultAction(const std::shared_ptr<DZAdView>& adView,
                                const core::Dictionary& parameters);
    void didReceiveSDKCoreRefreshAction(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);
    // The server's app settings as the page fetched them
    // (DZSDKCoreDMSGHandlerAppSettings.cpp): a successful answer of status 1
    // is merged into the application configuration.
    void didReceiveAppSettings(const std::shared_ptr<DZAdView>& adView,
                               const core::Dictionary& parameters);
    void didReceiveCacheResourceAction(const std::shared_ptr<DZAdView>& adView,
                                       const core::Dictionary& parameters);
    void didReceiveRemoveResourceAction(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);
    void didReceiveResourceStatusCheckAction(const std::shared_ptr<DZAdView>& adView,
                                             const core::Dictionary& parameters);
    void didReceiveCleanupCacheDirectoryAction(const std::shared_ptr<DZAdView>& adView,
                                               const core::Dictionary& parameters);

    // A "fetchHttpRequest" message as read: the page's "http_request_id"
    // (none when the message has none) and the request to send, or the
    // error to answer with.
    struct FetchRequest {
        std::optional<std::string> id;
        std::optional<core::URLRequest> request;
        std::optional<Error> error;
    };
    [[nodiscard]] static FetchRequest
    fetchRequestFromParameters(const core::Dictionary& parameters);

    // The fetcher table.
    void setAdFetcher(const std::shared_ptr<class DZAdFetcher>& fetcher, const std::string& id);
    [[nodiscard]] bool isFetchInProgressForFetchRequestID(const std::string& id) const;
    [[nodiscard]] size_t fetchCount() const;
    [[nodiscard]] std::optional<std::string>
    fetchRequestIDForAdFetcher(const DZAdFetcher& fetcher) const;
    void removeAdFetcherForFetchRequestID(const std::string& id);

    [[nodiscard]] const std::set<std::int64_t>& SDKCoreRefreshPauseIDs() const { return pauseIDs_; }

    // The resource caches by the page's "request_id", from their start to
    // their end. Main thread.
    [[nodiscard]] const std::map<std::string, std::shared_ptr<DZResourceCache>>&
    resourceCaches() const {
        return resourceCaches_;
    }
    // The first registered cache whose file URL has the same text; nullptr
    // when there is none.
    [[nodiscard]] std::shared_ptr<DZResourceCache>
    resourceCacheForFileURL(const core::URL& fileURL) const;
    [[nodiscard]] std::optional<std::string>
    requestIDForResourceCache(const DZResourceCache& cache) const;
    // Reports a registered cache to the page (and, when it is no longer in
    // progress, unregisters it); an unregistered one is cancelled silently.
    void notifyResourceCache(const std::shared_ptr<DZResourceCache>& cache,
                             std::string_view status, bool cachingInProgress,
                             const std::optional<Error>& error);
    // Enqueues "DUZO_resourceCache(<JSON>)" with {"cache", "file",
    // "environment"} and "error" when given; nothing without a request id.
    void notifyCacheDictionary(const std::optional<core::Dictionary>& cacheDictionary,
                               const std::optional<core::Dictionary>& fileDictionary,
                               const std::optional<std::string>& requestID,
                               const std::optional<Error>& error);
    // {"fileurl", "size", "creation_timestamp_in_seconds"} of the file a URL
    // names inside the SDK cache folder; nullopt for any other URL.
    [[nodiscard]] static std::optional<core::Dictionary>
    fileDictionaryForFileURL(const core::URL& fileURL);

    // DZAdFetcherDelegate.
    void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) override;
    void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad, const Error& error,
                          int responseCode) override;

    // DZResourceCacheDelegate.
    void resourceCacheDidStartCaching(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidReceiveResponse(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>& cache,
                                              const Error& error) override;

private:
    // Why saving state under key would break a bound; nullopt when it may.
    [[nodiscard]] static std::optional<std::string>
    savedStateRefusal(const core::Dictionary& saved, std::string_view key, std::string_view state);
    // Hands an answer to the delegate on the main queue, behind the answers
    // before it (whose JSON is decoded on the answer queue).
    void forward(std::function<void()> call);
    // Enqueues the reply to one fetch on the core web view.
    void replyToFetch(bool success, const std::shared_ptr<DZAd>& ad, const std::string& id,
                      const std::optional<Error>& error, int responseCode);

    std::weak_ptr<DZSDKCoreWebView> SDKCoreWebView_;
    std::weak_ptr<DZSDKCoreDMSGHandlerDelegate> delegate_;
    const std::shared_ptr<core::Queue> lockQueue_;
    const std::shared_ptr<core::Queue> answerQueue_;
    std::map<std::string, std::shared_ptr<DZAdFetcher>> adFetchers_;  // lock queue
    std::set<std::int64_t> pauseIDs_;
    std::map<std::string, std::shared_ptr<DZResourceCache>> resourceCaches_;  // main thread
};

}  // namespace ads
