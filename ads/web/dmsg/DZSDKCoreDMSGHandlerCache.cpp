// DZSDKCoreDMSGHandler: the core page's downloads of resources into the SDK
// cache folder ("cacheResource"), their status ("resourceStatusCheck"),
// their removal ("removeResource") and the wiping of the folder
// ("cleanupCacheDirectory"). Each download is a DZResourceCache registered
// under the page's "request_id" until it ends; its progress reaches the
// page as "DUZO_resourceCache({cache, file, environment[, error]})", which
// the page matches by "cache_id".

#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "core/FileManager.h"

namespace ads {

namespace {

constexpr std::string_view kRunning = "running";
constexpr std::string_view kSucceed = "succeed";
constexpr std::string_view kFailed = "failed";
constexpr std::string_view kNotRunning = "not_running";

std::optional<std::string> textOf(const core::Dictionary& parameters, std::string_view key) {
    const core::Value* value = parameters.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

std::optional<core::URL> URLOf(const core::Dictionary& parameters, std::string_view key) {
    const auto text = textOf(parameters, key);
    return text && !text->empty() ? core::URL::create(*text) : std::nullopt;
}

core::Dictionary cacheDictionary(const std::optional<std::string>& cacheID,
                                 std::string_view status,
                                 const std::optional<core::Dictionary>& headers) {
    core::Dictionary dictionary;
    if (cacheID) dictionary.set("cache_id", *cacheID);
    dictionary.set("status", std::string(status));
    if (headers) dictionary.set("headers", *headers);
    return dictionary;
}

// The header fields of a "cacheResource": a JSON object of texts, or none.
// False when the text is no JSON object.
bool readHeaderFields(const core::Dictionary& parameters, core::Dictionary& fields) {
    const core::Value* text = parameters.find("headers");
    if (!text) return true;
    if (!text->isString()) return false;
    const auto decoded = dz_decodedJSONObjectError(*text->string(), nullptr);
    const core::Dictionary* object = decoded ? decoded->dictionary() : nullptr;
    if (!object) return false;
    fields = *object;
    return true;
}

}  // namespace

void DZSDKCoreDMSGHandler::didReceiveCacheResourceAction(const std::shared_ptr<DZAdView>&,
                                                         const core::Dictionary& parameters) {
    // Without an id a download could be neither registered nor reported.
    const auto requestID = textOf(parameters, "request_id");
    if (!requestID || resourceCaches_.count(*requestID)) return;
    const auto urlText = textOf(parameters, "url");
    const auto cacheID = textOf(parameters, "cache_id");
    if (!urlText || !cacheID) return;
    const auto url = core::URL::create(*urlText);
    if (!url || !url->isHTTPorHTTPS()) {
        notifyCacheDictionary(cacheDictionary(cacheID, kFailed, std::nullopt), std::nullopt,
                              requestID,
                              DZErrorWithCodeDescription(
                                  kDZErrorInternalError,
                                  "Only http and https resources are cached: " + *urlText));
        return;
    }
    // A second download into the file of a running one would clobber it:
    // the page hears that the first is still running.
    for (const auto& [id, running] : resourceCaches_) {
        if (running->cacheID() != cacheID || running->completed()) continue;
        notifyCacheDictionary(cacheDictionary(cacheID, kRunning, running->responseHeaders()),
                              fileDictionaryForFileURL(running->fileURL()), requestID,
                              std::nullopt);
        return;
    }
    core::Dictionary fields;
    if (!readHeaderFields(parameters, fields)) return;
    core::URLRequest request(*url);
    request.setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
    request.setHTTPShouldHandleCookies(true);
    for (const auto& [name, value] : fields)
        if (const std::string* text = value.string()) (void)request.setValue(name, *text);

    Error error;
    auto cache = DZResourceCache::createWithCacheID(std::move(request), *cacheID, &error);
    if (!cache) return;
    cache->setDelegate(std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this()));
    resourceCaches_.emplace(*requestID, cache);
    cache->start();
}

void DZSDKCoreDMSGHandler::didReceiveRemoveResourceAction(const std::shared_ptr<DZAdView>&,
                                                          const core::Dictionary& parameters) {
    const auto fileURL = URLOf(parameters, "fileurl");
    if (!fileURL) return;
    if (const auto cache = resourceCacheForFileURL(*fileURL))
        cache->cancelWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, "Delete cached resource."));
    if (const auto path = DZPathInsideCacheDirectory(*fileURL))
        (void)core::FileManager::removeItem(*path);
}

void DZSDKCoreDMSGHandler::didReceiveResourceStatusCheckAction(
    const std::shared_ptr<DZAdView>&, const core::Dictionary& parameters) {
    const auto requestID = textOf(parameters, "request_id");
    const auto fileURL = URLOf(parameters, "fileurl");
    if (!requestID || !fileURL) return;
    auto fileDictionary = fileDictionaryForFileURL(*fileURL);
    core::Dictionary cache;
    if (const auto registered = resourceCacheForFileURL(*fileURL)) {
        const bool succeeded = registered->completed() && registered->valid();
        cache = cacheDictionary(registered->cacheID(), succeeded ? kSucceed : kRunning,
                                registered->responseHeaders());
    } else {
        cache = cacheDictionary(textOf(parameters, "cache_id"),
                                fileDictionary ? kNotRunning : kFailed, std::nullopt);
    }
    notifyCacheDictionary(cache, fileDictionary, requestID, std::nullopt);
}

void DZSDKCoreDMSGHandler::didReceiveCleanupCacheDirectoryAction(const std::shared_ptr<DZAdView>&,
                                                                 const core::Dictionary&) {
    const auto folder = DZCacheDirectoryPath(std::nullopt, nullptr);
    const auto path = folder ? folder->fileSystemPath() : std::nullopt;
    if (path && core::FileManager::fileExists(*path)) (void)core::FileManager::removeItem(*path);
}

std::shared_ptr<DZResourceCache>
DZSDKCoreDMSGHandler::resourceCacheForFileURL(const core::URL& fileURL) const {
    const std::string text = fileURL.absoluteString();
    for (const auto& [id, cache] : resourceCaches_)
        if (cache->fileURL().absoluteString() == text) return cache;
    return nullptr;
}

std::optional<std::string>
DZSDKCoreDMSGHandler::requestIDForResourceCache(const DZResourceCache& cache) const {
    for (const auto& [id, registered] : resourceCaches_)
        if (registered.get() == &cache) return id;
    return std::nullopt;
}

std::optional<core::Dictionary>
DZSDKCoreDMSGHandler::fileDictionaryForFileURL(const core::URL& fileURL) {
    // The resolved path is read, never the spelling the page gave.
    const auto path = DZPathInsideCacheDirectory(fileURL);
    if (!path) return std::nullopt;
    const auto size = core::FileManager::fileSize(*path);
    const auto created = core::FileManager::creationTime(*path);
    if (!size || !created) return std::nullopt;
    return core::Dictionary{{"fileurl", fileURL.absoluteString()},
                            {"size", core::Value(size.value())},
                            {"creation_timestamp_in_seconds", created.value()}};
}

void DZSDKCoreDMSGHandler::notifyResourceCache(const std::shared_ptr<DZResourceCache>& cache,
                                               std::string_view status, bool cachingInProgress,
                                               const std::optional<Error>& error) {
    const auto requestID = requestIDForResourceCache(*cache);
    if (!requestID) {
        cache->cancelWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, "Cancel zombie resource cache."));
        cache->setDelegate({});
        return;
    }
    notifyCacheDictionary(cacheDictionary(cache->cacheID(), status, cache->responseHeaders()),
                          fileDictionaryForFileURL(cache->fileURL()), requestID, error);
    if (!cachingInProgress) resourceCaches_.erase(*requestID);
}

void DZSDKCoreDMSGHandler::notifyCacheDictionary(
    const std::optional<core::Dictionary>& cacheDictionary,
    const std::optional<core::Dictionary>& fileDictionary,
    const std::optional<std::string>& requestID, const std::optional<Error>& error) {
    if (!requestID) return;
    core::Dictionary message{
        {"cache", cacheDictionary.value_or(core::Dictionary())},
        {"file", fileDictionary.value_or(core::Dictionary())},
        {"environment", DZDiskSpaceInfo(nullptr).value_or(core::Dictionary())},
    };
    if (error) message.set("error", error->message);
    const auto json = dz_JSONStringPretty(message, false, nullptr);
    const auto webView = SDKCoreWebView();
    if (json && webView) webView->enqueueJavaScriptCommand("DUZO_resourceCache(" + *json + ")");
}

void DZSDKCoreDMSGHandler::resourceCacheDidStartCaching(
    const std::shared_ptr<DZResourceCache>& cache) {
    notifyResourceCache(cache, kRunning, true, std::nullopt);
}

void DZSDKCoreDMSGHandler::resourceCacheDidReceiveResponse(
    const std::shared_ptr<DZResourceCache>& cache) {
    notifyResourceCache(cache, kRunning, true, std::nullopt);
}

void DZSDKCoreDMSGHandler::resourceCacheDidSucceedCaching(
    const std::shared_ptr<DZResourceCache>& cache) {
    notifyResourceCache(cache, kSucceed, false, std::nullopt);
}

void DZSDKCoreDMSGHandler::resourceCacheDidFailCachingWithError(
    const std::shared_ptr<DZResourceCache>& cache, const Error& error) {
    notifyResourceCache(cache, kFailed, false, error);
}

}  // namespace ads
