#pragma once
// The SDK's one pinger: fire-and-forget GETs of tracking URLs, with retry
// groups kept in the standard user defaults so that a URL that could not be
// sent goes out again at a later start.
//
// "/dozuza/ads/retry_group_keys" lists every group key ever used. Under each
// group key is a dictionary from retry URL text to an entry
// {"/dozuza/ads/retry_count": retries still allowed}. A group holds at most
// "/dozuza/ads/maximum_retry_url_count" entries (default 10); a new entry is
// given "/dozuza/ads/url_time_to_live" retries (default 3); both are read once
// when the pinger is made. A 2xx answer removes the entry; a failure leaves it
// for the next retry pass, which spends one retry per send and drops an entry
// with none left. Only http and https URLs are sent or stored.
//
// Threading: any thread. Every send, its completion and every access to the
// stored groups runs on the serial queue "com.dozuza.vuraz.pinger".

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "core/Queue.h"
#include "core/URL.h"

namespace ads {

class DZPinger : public std::enable_shared_from_this<DZPinger> {
public:
    static constexpr std::int64_t kDefaultMaximumRetryURLCount = 10;
    static constexpr std::int64_t kDefaultURLRetryCount = 3;
    static constexpr std::string_view kRetryGroupKeysKey = "/dozuza/ads/retry_group_keys";
    static constexpr std::string_view kRetryCountKey = "/dozuza/ads/retry_count";

    static std::shared_ptr<DZPinger> sharedInstance();
    // Sends the URL once, without retries. The completion, when given with a
    // queue, gets the success flag there; a string that is not a sendable
    // URL fails at once.
    void pingURLString(const std::string& urlString, std::shared_ptr<core::Queue> queue,
                       std::function<void(bool)> completion);
    // Sends url asynchronously on the pinger's queue under the group's retry rules.
    void pingWithRetryGroupKey(const std::string& key, const core::URL& url,
                               const std::string& retryURLString);
    // Synchronously adds the key to "/dozuza/ads/retry_group_keys" and stores the URL
    // text in the group with its retry count (persisted in the user defaults).
    void storeRetryURLString(const std::string& urlString, const std::string& retryGroupKey);
    // Sends every stored retry URL (what a later start does).
    void start();
    static void resetSharedInstanceForTesting();

    [[nodiscard]] std::int64_t maximumRetryURLCount() const { return maximumRetryURLCount_; }
    [[nodiscard]] std::int64_t URLRetryCount() const { return URLRetryCount_; }
    // Sends started whose answer has not been handled yet. Blocks on the
    // pinger's queue; not from it.
    [[nodiscard]] std::size_t pingsInFlight() const;

    DZPinger(const DZPinger&) = delete;
    DZPinger& operator=(const DZPinger&) = delete;

private:
    DZPinger();

    // Each of these runs on queue_.
    void storeOnQueue(const std::string& urlString, const std::string& retryGroupKey);
    void removeOnQueue(const std::string& urlString, const std::string& retryGroupKey);
    void pingRetryURLs();
    void sendPing(const std::string& urlString, std::function<void(bool)> completion);
    void pingRetryString(const std::string& urlString, const std::string& retryGroupKey);

    const std::shared_ptr<core::Queue> queue_;
    const std::int64_t maximumRetryURLCount_;
    const std::int64_t URLRetryCount_;
    std::multiset<std::string> pingedURLs_;
};

}  // namespace ads
