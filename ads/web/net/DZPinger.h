#pragma once
// The SDK's one sender of tracking pings: fire-and-forget GETs whose body is
// never read. A plain ping goes out once; a ping with retries first records
// the caller's retry form of the URL in a named retry group in the standard
// user defaults, and periodic retry passes send it again until it succeeds
// or its retries are spent, across launches.
//
// Transport, per URL: a text that begins "https:" (exactly) goes out as a
// direct request with the SDK's User-Agent; any other goes through the
// hidden web-view pinger while "/dozuza/ads/enable_http_web_view_pings" is
// absent or true and a web view can be made, else directly. Success is a
// final 2xx. Only http and https URLs (in any case) are sent or stored:
// anything else fails at once.
//
// Stored form: "/dozuza/ads/retry_group_keys" lists every group key ever
// used, in order of first use. Under each group key is a dictionary from
// retry URL text to an entry {"/dozuza/ads/retry_count": retries left}. A
// group holds at most "/dozuza/ads/maximum_retry_url_count" entries
// (default 10); a new entry gets "/dozuza/ads/url_time_to_live" retries
// (default 3); both are read once when the pinger is made. A success
// removes the entry; a retry pass leaves entries in flight alone, spends
// one retry of each other entry as it sends it, and drops an entry with
// none left. What a pass reads back is bounded again: the first entries up
// to the limit are kept, and no count above the retry count is believed; a
// value under a listed key that is not a retry entry is left alone.
//
// Schedule (start): a retry pass every "/dozuza/ads/ping_interval" seconds
// (60) on a DZScheduler, plus one after "/dozuza/ads/first_ping_interval"
// (3) when that is shorter; an interval that is not a positive finite
// number takes its default.
//
// Threading: any thread. Pings in flight, the scheduler and every access to
// the stored groups run on the serial queue "com.dozuza.vuraz.pinger";
// web-view pings start on the main thread; a caller's completion runs on
// the caller's queue.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZScheduler;
class DZWebViewPinger;

class DZPinger : public std::enable_shared_from_this<DZPinger> {
public:
    static constexpr std::int64_t kDefaultMaximumRetryURLCount = 10;
    static constexpr std::int64_t kDefaultURLRetryCount = 3;
    static constexpr double kDefaultPingInterval = 60.0;
    static constexpr double kDefaultFirstPingInterval = 3.0;
    static constexpr std::string_view kRetryGroupKeysKey = "/dozuza/ads/retry_group_keys";
    static constexpr std::string_view kRetryCountKey = "/dozuza/ads/retry_count";
    static constexpr std::string_view kPingIntervalKey = "/dozuza/ads/ping_interval";
    static constexpr std::string_view kFirstPingIntervalKey = "/dozuza/ads/first_ping_interval";
    static constexpr std::string_view kEnableWebViewPingsKey =
        "/dozuza/ads/enable_http_web_view_pings";

    static std::shared_ptr<DZPinger> sharedInstance();
    static void resetSharedInstanceForTesting();

    // Sends the URL once. The completion, when given with a queue, gets the
    // success flag there.
    void pingURLString(const std::string& urlString, std::shared_ptr<core::Queue> queue,
                       std::function<void(bool)> completion);
    // Records retryURLString in the group, then sends url once; a success
    // removes the record. Ignored without a key or a retry text.
    void pingWithRetryGroupKey(const std::string& key, const core::URL& url,
                               const std::string& retryURLString);
    // Records the retry text in the group now, before returning (a crashing
    // process stores its report this way). Not from the pinger's queue.
    void storeRetryURLString(const std::string& urlString, const std::string& retryGroupKey);
    // One retry pass, asynchronously on the pinger's queue.
    void pingRetryURLs();
    // Starts the periodic retry passes (see above).
    void start();

    [[nodiscard]] std::int64_t maximumRetryURLCount() const { return maximumRetryURLCount_; }
    [[nodiscard]] std::int64_t URLRetryCount() const { return URLRetryCount_; }
    // Blocking reads on the pinger's queue; not from it.
    [[nodiscard]] std::size_t pingsInFlight() const;
    [[nodiscard]] std::shared_ptr<DZScheduler> scheduler() const;
    // The web-view pinger, once a ping has needed it. Main thread.
    [[nodiscard]] std::shared_ptr<DZWebViewPinger> webViewPinger() const { return webViewPinger_; }
    // Whether a URL that is not "https:" goes through the web-view pinger now.
    [[nodiscard]] static bool webViewPingsEnabled();

    // The web-view pinger is released on the main thread.
    ~DZPinger();
    // One group's retry pass, decided from what was read back: the group to
    // store again and the URLs to send now (their counts already spent).
    // touched is false when the group holds no retry entry: it is then left
    // unwritten. inFlight tells which URLs are being sent (kept as they are).
    struct RetryPass {
        core::Dictionary group;
        std::vector<std::string> sends;
        bool touched = false;
    };
    [[nodiscard]] static RetryPass
    planRetryPass(const core::Dictionary& stored, std::int64_t limit, std::int64_t retryCount,
                  const std::function<bool(const std::string&)>& inFlight);
    // An entry of a retry group as this pinger stores them (a dictionary);
    // anything else under a group's key is not the pinger's to change.
    [[nodiscard]] static bool isRetryEntry(const core::Value& entry);

    DZPinger(const DZPinger&) = delete;
    DZPinger& operator=(const DZPinger&) = delete;

private:
    DZPinger();

    // Each of these runs on queue_.
    void storeOnQueue(const std::string& urlString, const std::string& retryGroupKey);
    void removeOnQueue(const std::string& urlString, const std::string& retryGroupKey);
    void pingRetryURLsOnQueue();
    // A plain ping whose completion runs on queue_.
    void pingOnQueue(const std::string& urlString, std::function<void(bool)> completion);
    // Sends through the transport of the URL; done runs on queue_.
    void sendThroughTransport(const std::string& urlString, std::function<void(bool)> done);
    // The direct transport; done runs on queue_.
    void sendPing(const std::string& urlString, std::function<void(bool)> done);
    // Main thread: through the web-view pinger, or directly when none can
    // be made.
    void sendThroughWebView(const std::string& urlString, std::function<void(bool)> done);

    const std::shared_ptr<core::Queue> queue_;
    const std::int64_t maximumRetryURLCount_;
    const std::int64_t URLRetryCount_;
    // queue_ only. A URL pinged twice at once is in flight until both end.
    std::multiset<std::string> pingedURLs_;
    std::shared_ptr<DZScheduler> scheduler_;
    // Main thread only.
    std::shared_ptr<DZWebViewPinger> webViewPinger_;
};

}  // namespace ads
