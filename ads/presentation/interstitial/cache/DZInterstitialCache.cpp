#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"

#include <algorithm>
#include <mutex>
#include <typeinfo>

#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnDismissPolicy.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnPopPolicy.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillWhenIdlePolicy.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::int64_t maxPools() {
    const core::Value stored = core::UserDefaults::standard()->objectForKey(
        DZInterstitialCache::kMaxPoolsKey);
    return stored.isNull() ? DZInterstitialCache::kDefaultMaxPools : stored.intValue();
}

std::shared_ptr<DZInterstitialPoolRefilling> makePolicy(const std::string& name) {
    if (name == "onDismiss") return DZInterstitialPoolRefillOnDismissPolicy::create();
    if (name == "whenIdle") return DZInterstitialPoolRefillWhenIdlePolicy::create();
    return std::make_shared<DZInterstitialPoolRefillOnPopPolicy>();
}

const std::type_info& policyType(const std::string& name) {
    if (name == "onDismiss") return typeid(DZInterstitialPoolRefillOnDismissPolicy);
    if (name == "whenIdle") return typeid(DZInterstitialPoolRefillWhenIdlePolicy);
    return typeid(DZInterstitialPoolRefillOnPopPolicy);
}

// The pattern's text of a value: text as it is, numbers and booleans as
// their text, anything else as its description.
std::string textOf(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    if (value.isNumber() || value.isBool()) return value.stringValue();
    return core::describe(value);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

template <typename Pairs>
auto findKey(Pairs& pairs, const core::Value& key) {
    return std::find_if(pairs.begin(), pairs.end(),
                        [&](const auto& pair) { return pair.first == key; });
}

}  // namespace

namespace {

struct Shared {
    std::mutex mutex;
    std::shared_ptr<DZInterstitialCache> instance;
};

Shared& shared() {
    static auto* const state = new Shared();
    return *state;
}

}  // namespace

std::shared_ptr<DZInterstitialCache> DZInterstitialCache::sharedInstance() {
    DZCallLog::record("DZInterstitialCache.sharedInstance");
    Shared& state = shared();
    const std::lock_guard lock(state.mutex);
    if (!state.instance) {
        state.instance = create();
        // Queued before anyone else can reach the new cache.
        state.instance->loadInterstitialsForSavedRequests();
    }
    return state.instance;
}

void DZInterstitialCache::setSharedInstanceForTesting(std::shared_ptr<DZInterstitialCache> cache) {
    std::shared_ptr<DZInterstitialCache> previous;
    {
        Shared& state = shared();
        const std::lock_guard lock(state.mutex);
        previous = std::exchange(state.instance, std::move(cache));
    }
}

std::shared_ptr<DZInterstitialCache> DZInterstitialCache::create() {
    std::shared_ptr<DZInterstitialCache> cache(new DZInterstitialCache());
    cache->weakSelf_ = cache;
    cache->start();
    return cache;
}

DZInterstitialCache::DZInterstitialCache()
    : poolRefillPolicy_(std::make_shared<DZInterstitialPoolRefillOnPopPolicy>()),
      lockQueue_(core::Queue::serial(kLockQueueLabel)) {}

void DZInterstitialCache::start() {
    const std::weak_ptr<DZInterstitialCache> weak = weakSelf_;
    SDKCoreConstantsObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        DZSDKCoreController::kDidUpdateConstantsNotification, nullptr, nullptr,
        [weak](const core::Notification&) {
            if (const auto cache = weak.lock()) cache->updateRefillPolicy();
        });
    updateRefillPolicy();
}

DZInterstitialCache::~DZInterstitialCache() {
    core::NotificationCenter::defaultCenter().removeObserver(SDKCoreConstantsObserver_);
}

core::Array DZInterstitialCache::defaultSchema() {
    return {"customTargeting", "extras", "networkType"};
}

core::Dictionary DZInterstitialCache::defaultFieldNames() {
    return {{"birthday", "cust_age"},
            {"categoryExclusions", "category_exclusions"},
            {"contentUrl", "url"},
            {"customTargeting", "custom_targeting"},
            {"extras", "extras"},
            {"gender", "cust_gender"},
            {"isTestDevice", "adtest"},
            {"keywords", "kw"},
            {"location", "uule"},
            {"manualImpressionsEnabled", "d_imp_hdr"},
            {"networkExtras", core::Value()},
            {"networkType", "net_last"},
            {"publisherProvidedId", "ppid"},
            {"requestAgent", "request_agent"},
            {"requestPackage", core::Value()},
            {"searchAdRequestParcel", core::Value()},
            {"tagForChildDirectedTreatment", "tag_for_child_directed_treatment"}};
}

bool DZInterstitialCache::valuePassesPattern(const core::Value& value, const core::Regex& regex,
                                             std::vector<std::string> path) {
    if (const core::Array* array = value.array()) {
        return std::all_of(array->begin(), array->end(), [&](const core::Value& element) {
            return valuePassesPattern(element, regex, path);
        });
    }
    if (!path.empty()) {
        const core::Dictionary* dictionary = value.dictionary();
        if (!dictionary) return true;
        const core::Value* found = dictionary->find(path.front());
        if (!found) return true;
        path.erase(path.begin());
        return valuePassesPattern(*found, regex, std::move(path));
    }
    return regex.numberOfMatches(textOf(value)) > 0;
}

core::Value DZInterstitialCache::requestKey(const std::shared_ptr<DZRequest>& request,
                                            const std::optional<std::string>& adUnitID) {
    if (!adUnitID || !request) return {};
    const auto copy = request->copy();
    if (!copy || !copy->cacheable()) return {};
    const auto defaults = core::UserDefaults::standard();
    if (const auto exclusions = defaults->stringForKey(kAdUnitExclusionsKey)) {
        const auto regex = core::Regex::create(*exclusions);
        if (regex && regex->numberOfMatches(*adUnitID) > 0) return {};
    }
    const core::Value storedSchema = defaults->objectForKey(kSchemaKey);
    const core::Array schema = storedSchema.array() ? *storedSchema.array() : defaultSchema();
    const core::Value storedNames = defaults->objectForKey(kFieldNamesKey);
    const core::Dictionary fieldNames =
        storedNames.dictionary() ? *storedNames.dictionary() : defaultFieldNames();
    const core::Dictionary parameters = copy->threadSafeParameters();

    const core::Value patterns = defaults->objectForKey(kAllowedSchemaPatternsKey);
    if (const core::Dictionary* allowed = patterns.dictionary(); allowed && !allowed->empty()) {
        const core::Value safe = dz_JSONSafeDictionary(parameters);
        for (const auto& [keyPath, pattern] : *allowed) {
            const std::string* text = pattern.string();
            const auto regex = text ? core::Regex::create(*text) : nullptr;
            if (!regex) continue;
            if (!valuePassesPattern(safe, *regex, split(keyPath, '.'))) return {};
        }
    }

    core::Dictionary fields;
    for (const core::Value& field : schema) {
        const std::string* name = field.string();
        if (!name) continue;
        std::optional<std::string> parameterKey = *name;
        if (const core::Value* mapped = fieldNames.find(*name))
            parameterKey = mapped->string() ? std::optional<std::string>(*mapped->string())
                                            : std::nullopt;
        if (!parameterKey) continue;
        if (const core::Value* value = parameters.find(*parameterKey)) fields.set(*name, *value);
    }
    return core::Array{*adUnitID, std::move(fields)};
}

std::shared_ptr<DZInterstitialCacheEntry>
DZInterstitialCache::cacheEntryForRequest(const std::shared_ptr<DZRequest>& request,
                                          const std::optional<std::string>& adUnitID) {
    const core::Value key = requestKey(request, adUnitID);
    if (key.isNull()) return nullptr;
    std::shared_ptr<DZInterstitialCacheEntry> entry;
    lockQueue_->sync([&] {
        if (const auto found = findKey(interstitialPoolsByRequestKey_, key);
            found != interstitialPoolsByRequestKey_.end()) {
            found->second->setRequest(request);
            entry = found->second->nextEntry();
        }
        didAccessKey(key, request);
    });
    return entry;
}

void DZInterstitialCache::loadRequest(const std::shared_ptr<DZRequest>& request,
                                      const std::optional<std::string>& adUnitID) {
    core::Value key = requestKey(request, adUnitID);
    if (key.isNull()) return;
    lockQueue_->async([self = weakSelf_.lock(), key = std::move(key), request] {
        if (self) self->didAccessKey(key, request);
    });
}

void DZInterstitialCache::didAccessKey(const core::Value& key,
                                       const std::shared_ptr<DZRequest>& request) {
    if (key.isNull() || !request) return;
    std::erase(recentlyAccessedRequestKeys_, key);
    recentlyAccessedRequestKeys_.push_back(key);
    if (const auto found = findKey(interstitialPoolsByRequestKey_, key);
        found != interstitialPoolsByRequestKey_.end()) {
        found->second->setRequest(request);
    } else {
        const core::Array& parts = *key.array();
        std::optional<std::string> adUnitID;
        if (const std::string* id = parts[0].string()) adUnitID = *id;
        addPoolOnQueue(key, DZInterstitialPool::create(request, adUnitID));
    }
    const std::int64_t limit = maxPools();
    while (std::int64_t(recentlyAccessedRequestKeys_.size()) > std::max<std::int64_t>(limit, 0)) {
        const core::Value oldest = recentlyAccessedRequestKeys_.front();
        recentlyAccessedRequestKeys_.erase(recentlyAccessedRequestKeys_.begin());
        std::erase_if(interstitialPoolsByRequestKey_,
                      [&](const auto& pair) { return pair.first == oldest; });
        // What is no longer pooled is not rebuilt at the next launch either.
        std::erase_if(observedRequestsByRequestKey_,
                      [&](const auto& pair) { return pair.first == oldest; });
    }
    if (std::find(recentlyAccessedRequestKeys_.begin(), recentlyAccessedRequestKeys_.end(), key) ==
        recentlyAccessedRequestKeys_.end()) {
        saveObservedRequests();
        return;
    }
    core::Dictionary parameters = request->threadSafeParameters();
    lockQueue_->async([self = weakSelf_.lock(), key, parameters = std::move(parameters)] {
        if (!self) return;
        if (auto found = findKey(self->observedRequestsByRequestKey_, key);
            found != self->observedRequestsByRequestKey_.end())
            self->observedRequestsByRequestKey_.erase(found);
        self->observedRequestsByRequestKey_.emplace_back(key, parameters);
        self->saveObservedRequests();
    });
}

void DZInterstitialCache::addPoolOnQueue(const core::Value& key,
                                         const std::shared_ptr<DZInterstitialPool>& pool) {
    if (!pool) return;
    pool->setDelegate(poolRefillPolicy_);
    interstitialPoolsByRequestKey_.emplace_back(key, pool);
    poolRefillPolicy_->addPool(pool);
}

void DZInterstitialCache::saveObservedRequests() {
    // Least recently used first, so that a restore keeps the latest.
    core::Array saved;
    for (const core::Value& key : recentlyAccessedRequestKeys_)
        if (const auto found = findKey(observedRequestsByRequestKey_, key);
            found != observedRequestsByRequestKey_.end())
            saved.push_back(core::Array{key, found->second});
    const auto text = core::JSON::write(core::Value(std::move(saved)));
    if (!text) {
        core::Console::log("DZInterstitialCache: the requests to preload cannot be saved as JSON.");
        return;
    }
    core::UserDefaults::standard()->setString(std::string(kSavedRequestsKey), *text);
}

void DZInterstitialCache::loadInterstitialsForSavedRequests() {
    const auto stored = core::UserDefaults::standard()->stringForKey(kSavedRequestsKey);
    if (!stored) return;
    const auto parsed = core::JSON::parse(*stored);
    const core::Array* pairs = parsed ? parsed->array() : nullptr;
    if (!pairs) {
        core::Console::log("DZInterstitialCache: the saved requests to preload cannot be read.");
        return;
    }
    std::vector<std::pair<core::Value, core::Dictionary>> restored;
    for (const core::Value& pair : *pairs) {
        const core::Array* parts = pair.array();
        if (!parts || parts->size() != 2) continue;
        const core::Array* key = (*parts)[0].array();
        const core::Dictionary* parameters = (*parts)[1].dictionary();
        if (!key || key->size() != 2 || !(*key)[0].string() || !(*key)[1].dictionary() ||
            !parameters)
            continue;
        std::erase_if(restored, [&](const auto& held) { return held.first == (*parts)[0]; });
        restored.emplace_back((*parts)[0], *parameters);
    }
    lockQueue_->async([self = weakSelf_.lock(), restored = std::move(restored)] {
        if (!self) return;
        // The most recently used keys win when there are more than max_pools.
        const std::int64_t limit = std::max<std::int64_t>(maxPools(), 0);
        const size_t skip = restored.size() > size_t(limit) ? restored.size() - size_t(limit) : 0;
        for (size_t i = skip; i < restored.size(); ++i) {
            const core::Value& key = restored[i].first;
            const core::Dictionary& parameters = restored[i].second;
            if (findKey(self->interstitialPoolsByRequestKey_, key) !=
                self->interstitialPoolsByRequestKey_.end())
                continue;
            const auto request = DZRequest::initWithParameters(core::Value(parameters));
            const auto pool = DZInterstitialPool::create(request, *key.array()->front().string());
            if (!pool) continue;
            self->addPoolOnQueue(key, pool);
            std::erase(self->recentlyAccessedRequestKeys_, key);
            self->recentlyAccessedRequestKeys_.push_back(key);
            std::erase_if(self->observedRequestsByRequestKey_,
                          [&](const auto& held) { return held.first == key; });
            self->observedRequestsByRequestKey_.emplace_back(key, parameters);
        }
        self->saveObservedRequests();
    });
}

void DZInterstitialCache::updateRefillPolicy() {
    const std::string name =
        core::UserDefaults::standard()->stringForKey(kRefillPolicyKey).value_or("onPop");
    lockQueue_->async([self = weakSelf_.lock(), name] {
        if (!self) return;
        if (const DZInterstitialPoolRefilling* current = self->poolRefillPolicy_.get();
            current && typeid(*current) == policyType(name))
            return;
        self->poolRefillPolicy_ = makePolicy(name);
        for (const auto& [key, pool] : self->interstitialPoolsByRequestKey_) {
            pool->setDelegate(self->poolRefillPolicy_);
            self->poolRefillPolicy_->addPool(pool);
        }
    });
}

std::vector<core::Value> DZInterstitialCache::recentlyAccessedRequestKeys() const {
    std::vector<core::Value> keys;
    lockQueue_->sync([&] { keys = recentlyAccessedRequestKeys_; });
    return keys;
}

std::shared_ptr<DZInterstitialPool> DZInterstitialCache::poolForKey(const core::Value& key) const {
    std::shared_ptr<DZInterstitialPool> pool;
    lockQueue_->sync([&] {
        const auto found = std::find_if(interstitialPoolsByRequestKey_.begin(),
                                        interstitialPoolsByRequestKey_.end(),
                                        [&](const auto& pair) { return pair.first == key; });
        if (found != interstitialPoolsByRequestKey_.end()) pool = found->second;
    });
    return pool;
}

std::shared_ptr<DZInterstitialPoolRefilling> DZInterstitialCache::poolRefillPolicy() const {
    std::shared_ptr<DZInterstitialPoolRefilling> policy;
    lockQueue_->sync([&] { policy = poolRefillPolicy_; });
    return policy;
}

void DZInterstitialCache::waitForQueue() const {
    lockQueue_->sync([] {});
}

}  // namespace ads
