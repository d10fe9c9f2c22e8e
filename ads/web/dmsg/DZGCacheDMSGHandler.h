#pragma once
// The page's "gcache" message: "start_cache" lets the SDK core page fetch a
// gcache URL into its cache ahead of use (the answer is not awaited). Only
// a "url" whose scheme is exactly "gcache" is taken. Main thread.

#include <memory>

#include "ads/web/cache/DZGCacheURLLoader.h"
#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZGCacheDMSGHandler : public DZDMSGHandler {
public:
    DZGCacheDMSGHandler() : gcacheURLLoader_(std::make_shared<DZGCacheURLLoader>()) {}
    explicit DZGCacheDMSGHandler(std::shared_ptr<DZGCacheURLLoader> loader)
        : gcacheURLLoader_(std::move(loader)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] const ActionTable* subActionBlockDictionary() const override;

    [[nodiscard]] const std::shared_ptr<DZGCacheURLLoader>& gcacheURLLoader() const {
        return gcacheURLLoader_;
    }

    void didReceiveGCacheAction(const std::shared_ptr<DZAdView>& adView,
                                const core::Dictionary& parameters);
    void didReceiveStartCacheAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);

private:
    const std::shared_ptr<DZGCacheURLLoader> gcacheURLLoader_;
};

}  // namespace ads
