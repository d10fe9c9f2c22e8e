#include "ads/foundation/DZSawmill.h"

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZSawmillJSCoreCommandExecutor.h"
#include "ads/foundation/DZSawmillTimerCommandExecutor.h"
#include "ads/web/cache/DZVersionedCache.h"
#include "core/Unicode.h"

namespace ads {

namespace {

std::mutex sharedMutex;
std::shared_ptr<DZSawmill>& sharedSlot() {
    // Never destroyed at exit, when the queues its executor uses are gone.
    static auto* const slot = new std::shared_ptr<DZSawmill>();
    return *slot;
}

std::mutex makerMutex;
DZSawmill::AdViewExecutorMaker& makerSlot() {
    static auto* const slot = new DZSawmill::AdViewExecutorMaker();
    return *slot;
}

DZSawmill::AdViewExecutorMaker adViewExecutorMaker() {
    const std::lock_guard lock(makerMutex);
    return makerSlot();
}

}  // namespace

void DZSawmill::setAdViewExecutorMaker(AdViewExecutorMaker maker) {
    const std::lock_guard lock(makerMutex);
    makerSlot() = std::move(maker);
}

std::shared_ptr<DZSawmill> DZSawmill::sharedInstance() {
    std::shared_ptr<DZSawmill> made;
    {
        const std::lock_guard lock(sharedMutex);
        if (sharedSlot()) return sharedSlot();
        made.reset(new DZSawmill());
        sharedSlot() = made;
    }
    made->updateIfNeeded();
    return made;
}

void DZSawmill::resetSharedInstanceForTesting() {
    std::shared_ptr<DZSawmill> previous;
    const std::lock_guard lock(sharedMutex);
    previous.swap(sharedSlot());
}

void DZSawmill::updateIfNeeded() {
    std::optional<DZSawmillConfig> config;
    std::shared_ptr<DZVersionedCache> cache;
    {
        const std::lock_guard lock(mutex_);
        if (commandExecutor_ || isUpdating_) return;
        config = DZSawmillConfig::create();
        if (!config || !config->scriptURL) return;
        if (!versionedCache_) versionedCache_ = DZVersionedCache::create(kCacheID);
        cache = versionedCache_;
        isUpdating_ = true;
    }
    cache->updateWithURL(*config->scriptURL, config->version.value_or(""),
                         [weak = weak_from_this(), weakCache = std::weak_ptr(cache),
                          config = *config](const std::optional<Error>&) {
                             if (const auto self = weak.lock()) {
                                 self->scriptDidUpdate(config, weakCache.lock());
                             }
                         });
}

void DZSawmill::scriptDidUpdate(const DZSawmillConfig& config,
                                const std::shared_ptr<DZVersionedCache>& cache) {
    const auto data = cache ? cache->cacheData() : std::nullopt;
    if (data) {
        const std::string script(data->begin(), data->end());
        if (core::Unicode::isValidUTF8(script) && updateCommandExecutorWithConfig(config, script)) {
            return;
        }
    }
    resetUpdateCheckingState();
}

bool DZSawmill::updateCommandExecutorWithConfig(const DZSawmillConfig& config,
                                                const std::string& script) {
    std::shared_ptr<DZSawmillCommandExecuting> inner;
    if (config.useJSCore) {
        inner = DZSawmillJSCoreCommandExecutor::create(script);
    } else if (const auto maker = adViewExecutorMaker()) {
        inner = maker(script, config.baseURL);
    } else {
        DZLogWithLevel(2, "Sawmill: no ad web view executor is registered; the script does not "
                          "run.");
    }
    auto executor = DZSawmillTimerCommandExecutor::create(std::move(inner), config.beaconInterval);
    if (!executor) return false;
    const std::lock_guard lock(mutex_);
    if (!commandExecutor_) commandExecutor_ = std::move(executor);
    isUpdating_ = false;
    return true;
}

void DZSawmill::resetUpdateCheckingState() {
    const std::lock_guard lock(mutex_);
    isUpdating_ = false;
}

bool DZSawmill::isLoaded() const {
    const auto executor = commandExecutor();
    return executor && executor->isLoaded();
}

void DZSawmill::asynchronouslyExecuteCommands(core::Array commands) {
    if (const auto executor = commandExecutor()) {
        executor->asynchronouslyExecuteCommands(std::move(commands));
    }
}

std::string DZSawmill::nextUniqueID() {
    std::int64_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        number = ++sawmillID_;
    }
    std::string id = DZApplication::sharedInstance()->UUIDString();
    id.push_back(':');
    id.append(std::to_string(number));
    return id;
}

std::shared_ptr<DZSawmillCommandExecuting> DZSawmill::commandExecutor() const {
    const std::lock_guard lock(mutex_);
    return commandExecutor_;
}

void DZSawmill::setCommandExecutorForTesting(std::shared_ptr<DZSawmillCommandExecuting> executor) {
    const std::lock_guard lock(mutex_);
    commandExecutor_ = std::move(executor);
    isUpdating_ = false;
}

bool DZSawmill::isUpdating() const {
    const std::lock_guard lock(mutex_);
    return isUpdating_;
}

}  // namespace ads
