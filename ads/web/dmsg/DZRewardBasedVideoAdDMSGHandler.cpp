#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandler.h"

#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandlerDelegate.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZRewardBasedVideoAdDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"reward", action(&DZRewardBasedVideoAdDMSGHandler::didReceiveRewardBasedVideoAdAction)},
    };
    return &table;
}

void DZRewardBasedVideoAdDMSGHandler::didReceiveRewardBasedVideoAdAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const std::string* action = stringParameter(parameters, "action");
    if (!action) return;
    if (*action == "video_start") {
        didReceiveStartVideoAction(adView, parameters);
    } else if (*action == "grant") {
        didReceiveGrantRewardAction(adView, parameters);
    }
}

void DZRewardBasedVideoAdDMSGHandler::didReceiveStartVideoAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary&) {
    if (const auto delegate = adView ? adView->rewardBasedVideoAdDMSGHandlerDelegate() : nullptr)
        delegate->rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(*this);
}

void DZRewardBasedVideoAdDMSGHandler::didReceiveGrantRewardAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto delegate = adView ? adView->rewardBasedVideoAdDMSGHandlerDelegate() : nullptr;
    if (!delegate) return;
    const std::string* type = stringParameter(parameters, "type");
    const core::Value* amount = parameters.find("amount");
    std::optional<core::Decimal> decimal;
    if (amount && amount->string()) {
        decimal = DZAdReward::decimalFromText(*amount->string());
    } else if (amount) {
        decimal = DZAdReward::decimalFromNumber(*amount);
    }
    const auto reward = DZAdReward::create(type ? std::optional(*type) : std::nullopt, decimal);
    if (reward) delegate->didReceiveRewardNotificationWithRewardItem(*this, reward);
}

}  // namespace ads
