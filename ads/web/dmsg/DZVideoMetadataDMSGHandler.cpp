#include "ads/web/dmsg/DZVideoMetadataDMSGHandler.h"

#include "ads/video/DZAdViewVideoController.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

// The value under key when it answers a numeric reading.
const core::Value* numeric(const core::Dictionary& parameters, std::string_view key) {
    const core::Value* value = parameters.find(key);
    if (!value || !(value->isNumber() || value->isBool() || value->isString())) return nullptr;
    return value;
}

}  // namespace

const DZDMSGHandler::ActionTable* DZVideoMetadataDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"videoMeta", action(&DZVideoMetadataDMSGHandler::didReceiveVideoMetadataAction)},
    };
    return &table;
}

void DZVideoMetadataDMSGHandler::didReceiveVideoMetadataAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto controller = adView ? adView->videoController() : nullptr;
    if (!controller) return;
    controller->setHasVideoContent(true);
    if (const auto* value = numeric(parameters, "duration"))
        controller->setVideoDuration(static_cast<float>(value->doubleValue()));
    if (const auto* value = numeric(parameters, "currentTime"))
        controller->setCurrentPlaybackTime(static_cast<float>(value->doubleValue()));
    if (const auto* value = numeric(parameters, "playbackState"))
        controller->setVideoPlaybackState(value->intValue());
    if (const auto* value = numeric(parameters, "muted"))
        controller->setVideoMuted(value->boolValue());
    if (const auto* value = numeric(parameters, "aspectRatio"))
        controller->setAspectRatio(value->doubleValue());
    if (const auto* value = numeric(parameters, "customControlsAllowed"))
        controller->setCustomControlsEnabled(value->boolValue());
}

}  // namespace ads
