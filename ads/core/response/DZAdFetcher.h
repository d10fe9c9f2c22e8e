#pragma once
// Fetches one ad response over HTTP into a DZAd: the ad's markup from the
// body, and its type, tracking URLs and settings from the "x-duzo-" headers
// of the core page's answer, of every redirect and of the final (or cached)
// response, later ones overriding earlier ones. HTTP failures become SDK
// errors. An ad whose markup the core page already delivered needs no load:
// it completes on the next turn of the main queue.
//
// Single use: one fetcher, one fetch; a second is refused. After a failure
// or cancel() the delegate hears nothing more.
//
// Threading: the main thread only. Make it with make_shared: the load's
// callbacks reach it through a weak reference.

#include <cstdint>
#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"
#include "ads/core/response/DZAdFetcherDelegate.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/web/net/DZURLConnection.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZAd;
class DZTiming;

class DZAdFetcher : public DZURLConnectionDelegate,
                    public std::enable_shared_from_this<DZAdFetcher> {
public:
    DZAdFetcher();
    ~DZAdFetcher() override;
    DZAdFetcher(const DZAdFetcher&) = delete;
    DZAdFetcher& operator=(const DZAdFetcher&) = delete;

    // GETs the ad's adURL unless the ad already has markup (or no URL);
    // headers are those of the core page's answer. True when started.
    [[nodiscard]] bool fetchRemainingContentForAd(const std::shared_ptr<DZAd>& ad,
                                                  const std::optional<core::Dictionary>& headers,
                                                  std::weak_ptr<DZAdFetcherDelegate> delegate,
                                                  Error* error);
    // Fetches the request into a new, empty ad.
    [[nodiscard]] bool fetchRequestURL(const core::URLRequest& request,
                                       std::weak_ptr<DZAdFetcherDelegate> delegate, Error* error);
    // The fetch itself. Without a request the ad's markup stands as it is.
    [[nodiscard]] bool fetchRequestURL(const std::optional<core::URLRequest>& request,
                                       std::weak_ptr<DZAdFetcherDelegate> delegate,
                                       const std::optional<core::Dictionary>& headers,
                                       std::shared_ptr<DZAd> ad, Error* error);
    // Stops the load; no callback follows.
    void cancel();

    // Applies response headers (any case) to the ad.
    void processHTTPHeaders(const core::Dictionary& headers);
    // The type that lowercased headers announce; the error (when given)
    // receives SDK error 3 for type 0.
    [[nodiscard]] static DZAdResponseType adResponseTypeFromHeaders(const core::Dictionary& headers,
                                                                    Error* error);

    [[nodiscard]] const std::shared_ptr<DZAd>& ad() const { return ad_; }
    [[nodiscard]] bool hasStartedFetch() const { return hasStartedFetch_; }
    [[nodiscard]] const std::shared_ptr<DZTiming>& timer() const { return timer_; }

    // DZURLConnectionDelegate.
    std::optional<Error> shouldRedirectToURL(DZURLConnection& connection,
                                             const core::URL& url) override;
    void willPerformRedirect(DZURLConnection& connection,
                             const DZURLConnectionRedirect& redirect) override;
    bool loadShouldUseCacheForResponse(DZURLConnection& connection,
                                       const core::HTTPURLResponse& response) override;
    void loadDidReceiveCachedResponse(DZURLConnection& connection,
                                      const core::HTTPURLResponse& response) override;
    void loadDidFinish(DZURLConnection& connection, const std::optional<std::string>& text,
                       const std::optional<core::URL>& baseURL) override;
    void loadDidFail(DZURLConnection& connection, const std::optional<Error>& error,
                     int httpStatusCode) override;

private:
    // Delivers the outcome once the load has ended.
    void completedURLConnection();
    // Tells the delegate of the failure, then cancels.
    void resourceFailedToLoadWithError(const Error& error, int responseCode);
    void markFetchStart();
    void markFetchComplete();
    // DZAdFetcherHeaders.cpp: the eighteen settings headers, in order.
    void applySettingsHeaders(const core::Dictionary& lowercased);

    const std::shared_ptr<DZURLConnection> adConnection_;
    const std::shared_ptr<DZTiming> timer_;
    std::weak_ptr<DZAdFetcherDelegate> delegate_;
    std::shared_ptr<DZAd> ad_;
    bool hasStartedFetch_ = false;
    bool adConnectionHasCompleted_ = false;
    bool hasNotifiedDelegate_ = false;
};

}  // namespace ads
