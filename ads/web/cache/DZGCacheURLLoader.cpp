#include "ads/web/cache/DZGCacheURLLoader.h"

#include <algorithm>
#include <mutex>

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/cache/DZGCacheCoreBridge.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

std::mutex sharedMutex;
std::shared_ptr<DZGCacheSDKCore>& sharedCore() {
    static auto* const core = new std::shared_ptr<DZGCacheSDKCore>();
    return *core;
}

Error loadError(const core::URL& url) {
    return DZErrorWithCodeDescription(
        kDZErrorInternalError, core::format("Failed to load gcache URL %@", url.absoluteString()));
}

}  // namespace

void DZGCacheURLLoader::setSharedSDKCore(std::shared_ptr<DZGCacheSDKCore> sdkCore) {
    const std::lock_guard lock(sharedMutex);
    sharedCore() = std::move(sdkCore);
}

std::shared_ptr<DZGCacheSDKCore> DZGCacheURLLoader::core() const {
    if (core_) return core_;
    const std::lock_guard lock(sharedMutex);
    // Until another is registered: the shared core controller's page.
    if (!sharedCore()) sharedCore() = std::make_shared<DZGCacheCoreBridge>();
    return sharedCore();
}

void DZGCacheURLLoader::loadGCacheURL(const core::URL& url, LoadCompletion completion) const {
    if (!completion) return;
    if (!DZIsGCacheURL(url)) {
        completion(
            url, nullptr,
            DZErrorWithCodeDescription(
                kDZErrorInternalError,
                core::format("Provided URL %@ isn't a valid gcache URL.", url.absoluteString())));
        return;
    }
    requestGCacheURLLoad(url, [sdkCore = core(), url, completion](const core::Dictionary& reply,
                                                                  std::optional<Error> error) {
        if (error) {
            completion(url, nullptr, std::move(error));
            return;
        }
        auto cache = cacheForReply(sdkCore, url, reply);
        if (!cache) {
            completion(url, nullptr, loadError(url));
            return;
        }
        completion(url, std::move(cache), std::nullopt);
    });
}

std::shared_ptr<DZResourceCache>
DZGCacheURLLoader::cacheForReply(const std::shared_ptr<DZGCacheSDKCore>& sdkCore,
                                 const core::URL& url, const core::Dictionary& reply) {
    const std::string* fileText = reply["fileurl"].string();
    const auto fileURL =
        fileText && !fileText->empty() ? core::URL::create(*fileText) : std::nullopt;
    const auto checkedPath = fileURL ? DZPathInsideCacheDirectory(*fileURL) : std::nullopt;
    if (!checkedPath) return nullptr;
    if (sdkCore) {
        if (auto running = sdkCore->resourceCacheForFileURL(*fileURL)) return running;
    }
    const auto target = DZGCacheTargetURL(url);
    if (!target) return nullptr;
    const core::Value& type = reply["content-type"];
    // A length that is negative or no 64-bit integer is unknown.
    const std::int64_t length = std::max<std::int64_t>(
        DZIntegerValue<std::int64_t>(reply["content-length"]).value_or(0), 0);
    // The file that was checked, not the one the URL may name by now; the
    // cache reads it without following a link put in its place.
    return DZResourceCache::create(core::URLRequest(*target), core::URL::fileURL(*checkedPath),
                                   type.isString() ? std::optional(*type.string()) : std::nullopt,
                                   length, false);
}

void DZGCacheURLLoader::prefetchGCacheURL(const core::URL& url) const {
    requestGCacheURLLoad(url, nullptr);
}

void DZGCacheURLLoader::requestGCacheURLLoad(const core::URL& url,
                                             DZGCacheSDKCore::CommandCompletion completion) const {
    const auto environment = DZDiskSpaceInfo(nullptr);
    core::Dictionary parameters{{"gcache_url", url.absoluteString()},
                                {"environment", environment.value_or(core::Dictionary())}};
    if (const auto sdkCore = core()) {
        sdkCore->executeExportedJavaScriptCommand("DUZO_GCache", std::move(parameters),
                                                  std::move(completion));
        return;
    }
    if (!completion) return;
    core::Queue::main()->async([completion = std::move(completion)] {
        completion(core::Dictionary(),
                   DZErrorWithCodeDescription(kDZErrorInternalError,
                                              "The SDK core page is not available."));
    });
}

}  // namespace ads
