#include "ads/web/net/DZPinger.h"

#include <mutex>
#include <optional>
#include <utility>

#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/net/DZIsHTTPSuccessResponse.h"
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

std::optional<core::URL> sendableURL(const std::string& text) {
    auto url = core::URL::create(text);
    if (!url || !url->isHTTPorHTTPS()) {
        return std::nullopt;
    }
    return url;
}

}  // namespace

DZPinger::DZPinger()
    : queue_(DZCreateQueueWithQoS(DZQueueLabel("pinger"), DZQoSUtility)),
      maximumRetryURLCount_(
          integerConstant("/dozuza/ads/maximum_retry_url_count", kDefaultMaximumRetryURLCount)),
      URLRetryCount_(integerConstant("/dozuza/ads/url_time_to_live", kDefaultURLRetryCount)) {}

std::shared_ptr<DZPinger> DZPinger::sharedInstance() {
    std::lock_guard lock(gSharedMutex);
    if (!gShared) {
        gShared = std::shared_ptr<DZPinger>(new DZPinger());
    }
    return gShared;
}

void DZPinger::resetSharedInstanceForTesting() {
    std::lock_guard lock(gSharedMutex);
    gShared.reset();
}

void DZPinger::pingURLString(const std::string& urlString, std::shared_ptr<core::Queue> queue,
                             std::function<void(bool)> completion) {
    auto report = [queue = std::move(queue), completion = std::move(completion)](bool success) {
        if (queue && completion) queue->async([completion, success] { completion(success); });
    };
    if (urlString.empty() || !core::URL::create(urlString)) {
        report(false);
        return;
    }
    queue_->async([self = shared_from_this(), urlString, report = std::move(report)] {
        self->sendPing(urlString, report);
    });
}

void DZPinger::pingWithRetryGroupKey(const std::string& key, const core::URL& url,
                                     const std::string& retryURLString) {
    if (key.empty() || retryURLString.empty()) {
        return;
    }
    queue_->async([self = shared_from_this(), key, url, retryURLString] {
        self->storeOnQueue(retryURLString, key);
        self->sendPing(url.absoluteString(), [self, key, retryURLString](bool succeeded) {
            if (succeeded) {
                self->removeOnQueue(retryURLString, key);
            }
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

std::size_t DZPinger::pingsInFlight() const {
    std::size_t count = 0;
    queue_->sync([&] { count = pingedURLs_.size(); });
    return count;
}

void DZPinger::start() {
    queue_->async([self = shared_from_this()] { self->pingRetryURLs(); });
}

void DZPinger::storeOnQueue(const std::string& urlString, const std::string& retryGroupKey) {
    if (urlString.empty() || retryGroupKey.empty() || !sendableURL(urlString)) {
        return;
    }
    const auto defaults = core::UserDefaults::standard();
    core::Array keys = defaults->arrayForKey(kRetryGroupKeysKey).value_or(core::Array{});
    bool listed = false;
    for (const core::Value& key : keys) {
        const std::string* text = key.string();
        listed = listed || (text && *text == retryGroupKey);
    }
    if (!listed) {
        keys.emplace_back(retryGroupKey);
    }
    defaults->setObject(std::string(kRetryGroupKeysKey), std::move(keys));

    core::Dictionary group = defaults->dictionaryForKey(retryGroupKey).value_or(core::Dictionary{});
    if (static_cast<std::int64_t>(group.size()) >= maximumRetryURLCount_ ||
        group.contains(urlString)) {
        return;
    }
    group.set(urlString, core::Dictionary{{std::string(kRetryCountKey), URLRetryCount_}});
    defaults->setObject(retryGroupKey, std::move(group));
}

void DZPinger::removeOnQueue(const std::string& urlString, const std::string& retryGroupKey) {
    const auto defaults = core::UserDefaults::standard();
    auto group = defaults->dictionaryForKey(retryGroupKey);
    if (group && group->remove(urlString)) {
        defaults->setObject(retryGroupKey, std::move(*group));
    }
}

void DZPinger::pingRetryURLs() {
    const auto defaults = core::UserDefaults::standard();
    const auto keys = defaults->arrayForKey(kRetryGroupKeysKey);
    if (!keys) {
        return;
    }
    for (const core::Value& keyValue : *keys) {
        const std::string* key = keyValue.string();
        const auto group = key ? defaults->dictionaryForKey(*key) : std::nullopt;
        if (!group) {
            continue;
        }
        core::Dictionary kept;
        for (const auto& [urlString, entry] : *group) {
            if (pingedURLs_.contains(urlString)) {
                kept.set(urlString, entry);
                continue;
            }
            const std::int64_t remaining = entry[kRetryCountKey].intValue();
            if (remaining < 1) {
                continue;
            }
            core::Dictionary spent = entry.dictionary() ? *entry.dictionary() : core::Dictionary{};
            spent.set(std::string(kRetryCountKey), remaining - 1);
            kept.set(urlString, std::move(spent));
            pingRetryString(urlString, *key);
        }
        defaults->setObject(*key, std::move(kept));
    }
}

void DZPinger::pingRetryString(const std::string& urlString, const std::string& retryGroupKey) {
    sendPing(urlString, [self = shared_from_this(), urlString, retryGroupKey](bool succeeded) {
        if (succeeded) {
            self->removeOnQueue(urlString, retryGroupKey);
        }
    });
}

void DZPinger::sendPing(const std::string& urlString, std::function<void(bool)> completion) {
    const auto url = sendableURL(urlString);
    auto request = DZMakeURLRequest(url, std::nullopt, std::nullopt, std::nullopt);
    if (!request) {
        completion(false);
        return;
    }
    pingedURLs_.insert(urlString);
    auto task = core::URLSession::shared()->dataTask(
        std::move(*request),
        [self = shared_from_this(), urlString, completion = std::move(completion)](
            core::Data, std::optional<core::HTTPURLResponse> response,
            std::optional<core::NetworkError> error) {
            if (const auto found = self->pingedURLs_.find(urlString);
                found != self->pingedURLs_.end()) {
                self->pingedURLs_.erase(found);
            }
            completion(!error && DZIsHTTPSuccessResponse(response));
        },
        queue_);
    task->resume();
}

}  // namespace ads
