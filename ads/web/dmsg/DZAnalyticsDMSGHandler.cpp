#include "ads/web/dmsg/DZAnalyticsDMSGHandler.h"

#include "ads/foundation/DZAnalytics.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZAnalyticsDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"logScionEvent", action(&DZAnalyticsDMSGHandler::didReceiveLogEventNotification)},
    };
    return &table;
}

void DZAnalyticsDMSGHandler::didReceiveLogEventNotification(const std::shared_ptr<DZAdView>& adView,
                                                            const core::Dictionary& parameters) {
    const std::string* name = stringParameter(parameters, "eventName");
    const std::string* eventID = stringParameter(parameters, "eventId");
    if (!name || !eventID) return;
    if (const auto analytics = DZAnalytics::sharedInstance())
        analytics->logEventWithName(*name, *eventID);
    const auto delegate = adView ? adView->delegate() : nullptr;
    if (!delegate) return;
    if (*name == DZAnalytics::kImpressionEvent) {
        delegate->adViewDidRecordImpression(*adView);
    } else if (*name == DZAnalytics::kClickEvent) {
        delegate->adViewDidRecordClick(*adView);
    }
}

}  // namespace ads
