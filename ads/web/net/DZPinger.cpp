#include "ads/web/net/DZPinger.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <utility>

#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZScheduler.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "ads/web/net/DZIsHTTPSuccessResponse.h"
#include "ads/web/net/DZWebViewPinger.h"
#include "core/URLSession.h"
#include "core/UserDefaults.h"
#include "core/Value.h"

namespace ads {

namespace {

std::mutex gSharedMutex;
std::shared_ptr<DZPinger> gShared;

std::int64_t integerConstant(std::string_view key, std::int64_t fallback) {
    const core::Value value = core::UserDefaults::standard()->objectForKey(key);
    return value.isNull() ? fallback : value.intValue();
}

// Seconds; a value that is absent or not a positive finite number would
// leave no timer or one that never rests, so it takes the default.
double intervalConstant(std::string_view key, double fallback) {
    const core::Value value = core::UserDefaults::standard()->objectForKey(key);
    if (value.isNull()) return fallback;
    const double seconds = value.doubleValue();
    return std::isfinite(seconds) && seconds > 0 ? seconds : fallback;
}

std::optional<core::URL> sendableURL(const std::string& text) {
    auto url = core::URL::create(text);
    if (!url || !url->isHTTPorHTTPS()) return std::nullopt;
    return url;
}

}  // namespace

DZPinger::DZPinger()
    : queue_(DZCreateQueueWithQoS(DZQueueLabel("pinger"), DZQoSUtility)),
      maximumRetryURLCount_(
          integerConstant("/dozuza/ads/maximum_retry_url_count", kDefaultMaximumRetryURLCount)),
      URLRetryCount_(integerConstant("/dozuza/ads/url_time_to_live", kDefaultURLRetryCount)) {}

DZPinger::~DZPinger() {
    DZReleaseOnMainThread(std::move(webViewPinger_));
}

std::shared_ptr<DZPinger> DZPinger::sharedInstance() {
    std::lock_guard lock(gSharedMutex);
    if (!gShared) gShared = std::shared_ptr<DZPinger>(new DZPinger());
    return gShared;
}

void DZPinger::resetSharedInstanceForTesting() {
    std::lock_guard lock(gSharedMutex);
    gShared.reset();
}

bool DZPinger::webViewPingsEnabled() {
    const core::Value enabled =
        core::UserDefaults::standard()->objectForKey(kEnableWebViewPingsKey);
    return (enabled.isNull() || enabled.boolValue()) && DZWebViewPinger::isAvailable();
}

void DZPinger::pingURLString(const std::string& urlString, std::shared_ptr<core::Queue> queue,
                             std::function<void(bool)> completion) {
    auto report = DZCompletionOnQueue(std::move(queue), std::move(completion));
    if (!sendableURL(urlString)) {
        report(false);
        return;
    }
    queue_->async([self = shared_from_this(), urlString, report = std::move(report)] {
        self->pingOnQueue(urlString, report);
    });
}

void DZPinger::pingWithRetryGroupKey(const std::string& key, const core::URL& url,
                                     const std::string& retryURLString) {
    if (key.empty() || retryURLString.empty()) return;
    queue_->async([self = shared_from_this(), key, url, retryURLString] {
        self->storeOnQueue(retryURLString, key);
        if (!sendableURL(url.absoluteString())) return;
        self->pingOnQueue(url.absoluteString(), [self, key, retryURLString](bool succeeded) {
            if (succeeded) self->removeOnQueue(retryURLString, key);
        });
    });
}

void DZPinger::storeRetryURLString(const std::string& urlString, const std::string& retryGroupKey) {
    if (queue_->isCurrent()) {
        storeOnQueue(urlString, retryGroupKey);
    } else {
        queue_->sync([&] { storeOnQueue(urlString, retryGroupKey); });
    }
}

void DZPinger::pingRetryURLs() {
    queue_->async([self = shared_from_this()] { self->pingRetryURLsOnQueue(); });
}

std::size_t DZPinger::pingsInFlight() const {
    std::size_t count = 0;
    queue_->sync([&] { count = pingedURLs_.size(); });
    return count;
}

std::shared_ptr<DZScheduler> DZPinger::scheduler() const {
    std::shared_ptr<DZScheduler> scheduler;
    queue_->sync([&] { scheduler = scheduler_; });
    return scheduler;
}

void DZPinger::start() {
    const double pingInterval = intervalConstant(kPingIntervalKey, kDefaultPingInterval);
    const double firstPingInterval =
        intervalConstant(kFirstPingIntervalKey, kDefaultFirstPingInterval);
    const std::weak_ptr<DZPinger> weak = weak_from_this();
    const auto pass = [weak] {
        if (const auto pinger = weak.lock()) pinger->pingRetryURLsOnQueue();
    };
    queue_->async([self = shared_from_this(), pingInterval, pass] {
        const bool created = !self->scheduler_;
        if (created) self->scheduler_ = DZScheduler::create(pingInterval);
        core::Queue::main()->async(
            [scheduler = self->scheduler_, queue = self->queue_, created, pass] {
                if (created) scheduler->taskIDScheduledOnQueue(queue, pass);
                scheduler->start();
            });
    });
    if (firstPingInterval < pingInterval) queue_->after(firstPingInterval, pass);
}

void DZPinger::storeOnQueue(const std::string& urlString, const std::string& retryGroupKey) {
    if (retryGroupKey.empty() || !sendableURL(urlString)) return;
    const auto defaults = core::UserDefaults::standard();
    core::Array keys = defaults->arrayForKey(kRetryGroupKeysKey).value_or(core::Array{});
    bool listed = false;
    for (const core::Value& key : keys) {
        const std::string* text = key.string();
        listed = listed || (text && *text == retryGroupKey);
    }
    if (!listed) keys.emplace_back(retryGroupKey);
    defaults->setObject(std::string(kRetryGroupKeysKey), std::move(keys));

    core::Dictionary group = defaults->dictionaryForKey(retryGroupKey).value_or(core::Dictionary{});
    const auto entries = std::count_if(group.begin(), group.end(),
                                       [](const auto& item) { return isRetryEntry(item.second); });
    if (entries >= maximumRetryURLCount_ || group.contains(urlString)) return;
    group.set(urlString, core::Dictionary{{std::string(kRetryCountKey), URLRetryCount_}});
    defaults->setObject(retryGroupKey, std::move(group));
}

void DZPinger::removeOnQueue(const std::string& urlString, const std::string& retryGroupKey) {
    if (urlString.empty() || retryGroupKey.empty()) return;
    const auto defaults = core::UserDefaults::standard();
    auto group = defaults->dictionaryForKey(retryGroupKey);
    if (group && group->remove(urlString)) defaults->setObject(retryGroupKey, std::move(*group));
}

void DZPinger::pingRetryURLsOnQueue() {
    const auto defaults = core::UserDefaults::standard();
    const auto keys = defaults->arrayForKey(kRetryGroupKeysKey);
    if (!keys) return;
    for (const core::Value& keyValue : *keys) {
        const std::string* key = keyValue.string();
        const auto group = key ? defaults->dictionaryForKey(*key) : std::nullopt;
        if (!group) continue;
        RetryPass pass =
            planRetryPass(*group, maximumRetryURLCount_, URLRetryCount_,
                          [&](const std::string& url) { return pingedURLs_.contains(url); });
        if (!pass.touched) continue;
        for (const std::string& urlString : pass.sends) {
            pingOnQueue(urlString, [self = shared_from_this(), urlString = urlString,
                                    key = *key](bool succeeded) {
                if (succeeded) self->removeOnQueue(urlString, key);
            });
        }
        defaults->setObject(*key, std::move(pass.group));
    }
}

DZPinger::RetryPass
DZPinger::planRetryPass(const core::Dictionary& stored, std::int64_t limit, std::int64_t retryCount,
                        const std::function<bool(const std::string&)>& inFlight) {
    RetryPass pass;
    std::int64_t entries = 0;
    for (const auto& [urlString, entry] : stored) {
        // Only retry entries are the pass's: anything else stored under a
        // listed key (another store's dictionary) is left as it is.
        if (!isRetryEntry(entry)) {
            pass.group.set(urlString, entry);
            continue;
        }
        pass.touched = true;
        // What is read back is not trusted: a group holds no more than its
        // limit, and no entry more retries than a new one gets.
        if (entries >= limit) continue;
        if (inFlight && inFlight(urlString)) {
            ++entries;
            pass.group.set(urlString, entry);
            continue;
        }
        const std::int64_t remaining = std::min(entry[kRetryCountKey].intValue(), retryCount);
        // An entry that can never be sent (stored by another version) goes too.
        if (remaining < 1 || !sendableURL(urlString)) continue;
        ++entries;
        core::Dictionary spent = *entry.dictionary();
        spent.set(std::string(kRetryCountKey), remaining - 1);
        pass.group.set(urlString, std::move(spent));
        pass.sends.push_back(urlString);
    }
    return pass;
}

bool DZPinger::isRetryEntry(const core::Value& entry) {
    return entry.isDictionary();
}

void DZPinger::pingOnQueue(const std::string& urlString, std::function<void(bool)> completion) {
    pingedURLs_.insert(urlString);
    sendThroughTransport(urlString, [self = shared_from_this(), urlString,
                                     completion = std::move(completion)](bool succeeded) {
        if (const auto found = self->pingedURLs_.find(urlString); found != self->pingedURLs_.end())
            self->pingedURLs_.erase(found);
        completion(succeeded);
    });
}

void DZPinger::sendThroughTransport(const std::string& urlString, std::function<void(bool)> done) {
    if (!urlString.starts_with("https:") && webViewPingsEnabled()) {
        DZRunOnMainThread([self = shared_from_this(), urlString, done = std::move(done)] {
            self->sendThroughWebView(urlString, done);
        });
        return;
    }
    sendPing(urlString, std::move(done));
}

void DZPinger::sendThroughWebView(const std::string& urlString, std::function<void(bool)> done) {
    if (!webViewPinger_) webViewPinger_ = DZWebViewPinger::create();
    if (webViewPinger_) {
        webViewPinger_->pingURLString(urlString, queue_, std::move(done));
        return;
    }
    // No web view after all: the ping still goes out, and its completion
    // still ends its time in flight.
    queue_->async([self = shared_from_this(), urlString, done = std::move(done)] {
        self->sendPing(urlString, done);
    });
}

void DZPinger::sendPing(const std::string& urlString, std::function<void(bool)> done) {
    auto request =
        DZMakeURLRequest(sendableURL(urlString), std::nullopt, std::nullopt, std::nullopt);
    if (!request) {
        done(false);
        return;
    }
    request->setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
    auto task = DZURLSession()->dataTask(
        std::move(*request),
        [done = std::move(done)](core::Data, std::optional<core::HTTPURLResponse> response,
                                 std::optional<core::NetworkError> error) {
            done(!error && DZIsHTTPSuccessResponse(response));
        },
        queue_);
    task->resume();
}

}  // namespace ads
