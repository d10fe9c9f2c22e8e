#include "ads/web/dmsg/DZGCacheDMSGHandler.h"

#include "ads/web/cache/DZGCacheTargetURL.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZGCacheDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"gcache", action(&DZGCacheDMSGHandler::didReceiveGCacheAction)},
    };
    return &table;
}

const DZDMSGHandler::ActionTable* DZGCacheDMSGHandler::subActionBlockDictionary() const {
    static const ActionTable table = {
        {"start_cache", action(&DZGCacheDMSGHandler::didReceiveStartCacheAction)},
    };
    return &table;
}

void DZGCacheDMSGHandler::didReceiveGCacheAction(const std::shared_ptr<DZAdView>& adView,
                                                 const core::Dictionary& parameters) {
    (void)performSubAction("action", adView, parameters);
}

void DZGCacheDMSGHandler::didReceiveStartCacheAction(const std::shared_ptr<DZAdView>&,
                                                     const core::Dictionary& parameters) {
    const core::Value* text = parameters.find("url");
    if (!text || !text->isString()) return;
    const auto url = core::URL::create(*text->string());
    if (url && DZIsGCacheURL(*url)) gcacheURLLoader_->prefetchGCacheURL(*url);
}

}  // namespace ads
