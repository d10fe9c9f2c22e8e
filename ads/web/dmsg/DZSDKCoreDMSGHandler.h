#pragma once
// The handler of the SDK core page's dmsg messages. Answers to the
// controller's commands and ad URL requests go to its delegate; the page's
// requests for native services are carried out here: HTTP fetches on its
// behalf (http and https only, one per "http_request_id" and at most 8 at
// a time, each answered once through
// "DUZO_ReceiveMessage('fetchHttpRequestCompleted', ...)"), its saved
// state in the user defaults (bounded), and the pause ids of the core
// refresh. Replies go through the core web view's command queue.
//
// Messages arrive on the main thread; the fetcher table is guarded by the
// serial queue "com.dozuza.vuraz.sdk-core-dmsghandler"; the pause ids are
// main-thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/core/response/DZAdFetcherDelegate.h"
#include "ads/web/dmsg/DZDMSGHandler.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandlerDelegate.h"
#include "core/Queue.h"
#include "core/URLRequest.h"

namespace ads {

class DZSDKCoreWebView;

class DZSDKCoreDMSGHandler : public DZDMSGHandler, public DZAdFetcherDelegate {
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

    // DZAdFetcherDelegate.
    void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) override;
    void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad, const Error& error,
                          int responseCode) override;

private:
    // Why saving state under key would break a bound; nullopt when it may.
    [[nodiscard]] static std::optional<std::string>
    savedStateRefusal(const core::Dictionary& saved, std::string_view key, std::string_view state);
    // Enqueues the reply to one fetch on the core web view.
    void replyToFetch(bool success, const std::shared_ptr<DZAd>& ad, const std::string& id,
                      const std::optional<Error>& error, int responseCode);

    std::weak_ptr<DZSDKCoreWebView> SDKCoreWebView_;
    std::weak_ptr<DZSDKCoreDMSGHandlerDelegate> delegate_;
    const std::shared_ptr<core::Queue> lockQueue_;
    std::map<std::string, std::shared_ptr<DZAdFetcher>> adFetchers_;  // lock queue
    std::set<std::int64_t> pauseIDs_;
};

}  // namespace ads
