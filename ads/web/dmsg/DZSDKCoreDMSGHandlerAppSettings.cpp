// DZSDKCoreDMSGHandler: the page's "appSettingsFetched" answer.

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"

namespace ads {

void DZSDKCoreDMSGHandler::didReceiveAppSettings(const std::shared_ptr<DZAdView>&,
                                                 const core::Dictionary& parameters) {
    if (!parameters["isSuccessful"].boolValue()) return;
    if (const core::Value* message = parameters.find("errorMessage")) {
        DZLogger::sharedInstance().logPublicMessage(message->stringValue());
        return;
    }
    const core::Value* json = parameters.find("appSettingsJson");
    if (!json || !json->isString()) return;
    auto decoded = dz_decodedJSONObjectError(*json->string(), nullptr);
    // Settings that are not an object carry nothing to merge.
    if (!decoded || !decoded->isDictionary()) return;
    const core::Dictionary& settings = *decoded->dictionary();
    if (settings["status"].intValue() != 1) return;
    DZApplication::sharedInstance()->didFetchServerSideConfiguration(settings);
}

}  // namespace ads
