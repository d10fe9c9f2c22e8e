// DZURLConnection: the memory cache shared by every connection.

#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/web/net/DZURLConnection.h"
#include "core/Clock.h"
#include "core/FileManager.h"

namespace ads {

namespace {

double now() {
    return core::Clock::current()->wallSeconds();
}

}  // namespace

DZURLConnection::MemoryCache& DZURLConnection::memoryCache() {
    static auto* cache = new MemoryCache(kMemoryCacheCountLimit);
    return *cache;
}

void DZURLConnection::clearCache() {
    memoryCache().removeAllObjects();
}

core::Data DZURLConnection::cacheKeyForURL(const core::URL& url) {
    std::string text = url.absoluteString();
    if (const auto slot = DZQueryValueForKey(url, "slotname"))
        text = url.host() + url.path() + *slot;
    return DZMD5OfString(text);
}

std::string DZURLConnection::defaultCachePath() {
    return core::FileManager::folderPath(core::Folder::Caches) + "/VuRaz";
}

std::shared_ptr<const DZCachedURLResponse>
DZURLConnection::cachedResponseForURL(const core::URL& url) const {
    const core::Data key = cacheKeyForURL(url);
    const auto entry = memoryCache().object(key);
    if (!entry || !*entry) return nullptr;
    if ((*entry)->expirationDate().secondsSince1970 > now()) return *entry;
    memoryCache().removeObject(key);
    return nullptr;
}

bool DZURLConnection::tryToStoreResponseAndData() {
    if (!response_ || !sourceURL_ || response_->statusCode() >= 400) return false;
    const auto expiry = dz_expirationDate(*response_);
    if (!expiry || expiry->secondsSince1970 <= now()) return false;
    auto entry = DZCachedURLResponse::create(response_, receivedData_, expiry, destinationURL_);
    if (!entry) return false;
    memoryCache().setObject(cacheKeyForURL(*sourceURL_), std::move(entry));
    return true;
}

}  // namespace ads
