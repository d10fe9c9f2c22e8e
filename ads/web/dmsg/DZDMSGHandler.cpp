#include "ads/web/dmsg/DZDMSGHandler.h"

#include "ads/foundation/DZLogger.h"
#include "ads/web/view/DZNotification.h"

namespace ads {

bool DZDMSGHandler::handleRequest(const core::URLRequest& request,
                                  const std::shared_ptr<DZAdView>& adView) {
    if (!DZNotification::isNotificationURL(request.url())) return false;
    const auto notification = DZNotification::create(request.url());
    return notification && handleNotification(notification, adView);
}

bool DZDMSGHandler::handleNotification(const std::shared_ptr<const DZNotification>& notification,
                                       const std::shared_ptr<DZAdView>& adView) {
    if (!notification) return false;
    const ActionTable* table = actionBlockDictionary();
    if (!table) return false;
    const auto entry = table->find(notification->name());
    if (entry == table->end()) return false;
    if (shouldBufferNotification(*notification, adView)) {
        if (buffered_.size() >= kMaximumBufferedNotifications) {
            DZLogger::sharedInstance().logPublicMessage("Dropped the oldest held message: " +
                                                        buffered_.front().first->name());
            buffered_.pop_front();
        }
        buffered_.emplace_back(notification, adView);
        return true;
    }
    entry->second(*this, adView, notification->parameters());
    return true;
}

bool DZDMSGHandler::shouldBufferNotification(const DZNotification&,
                                             const std::shared_ptr<DZAdView>&) {
    return false;
}

void DZDMSGHandler::flushBuffer() {
    const auto keep = weak_from_this().lock();
    std::deque<Buffered> held;
    held.swap(buffered_);
    for (const auto& [notification, adView] : held) handleNotification(notification, adView);
}

const std::string* DZDMSGHandler::stringParameter(const core::Dictionary& parameters,
                                                  std::string_view key) {
    const core::Value* value = parameters.find(key);
    return value ? value->string() : nullptr;
}

std::optional<core::URL> DZDMSGHandler::URLFromParams(const core::Dictionary& parameters,
                                                      std::string_view key) {
    const std::string* text = stringParameter(parameters, key);
    if (!text) return std::nullopt;
    return core::URL::create(*text);
}

bool DZDMSGHandler::performSubAction(std::string_view key, const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters) {
    const ActionTable* table = subActionBlockDictionary();
    const core::Value* name = parameters.find(key);
    if (!table || !name || !name->isString()) return false;
    const auto entry = table->find(name->stringValue());
    if (entry == table->end()) return false;
    entry->second(*this, adView, parameters);
    return true;
}

}  // namespace ads
