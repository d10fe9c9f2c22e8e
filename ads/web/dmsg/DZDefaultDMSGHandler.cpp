#include "ads/web/dmsg/DZDefaultDMSGHandler.h"

#include <utility>
#include <vector>

#include "ads/core/request/DZSignalModule.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/view/DZAdView.h"
#include "core/Queue.h"
#include "ui/SystemSoundPlayer.h"

namespace ads {

namespace {

constexpr std::int64_t kNoTouchValue = -1;

// The texts between commas, empty ones included ("" gives one empty text).
std::vector<std::string> splitAtCommas(std::string_view text) {
    std::vector<std::string> texts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        texts.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return texts;
}

}  // namespace

const DZDMSGHandler::ActionTable* DZDefaultDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"httpTrack", action(&DZDefaultDMSGHandler::didReceiveTrackHTTPNotification)},
        {"log", action(&DZDefaultDMSGHandler::didReceiveLogNotification)},
        {"touch", action(&DZDefaultDMSGHandler::didReceiveTouchNotification)},
        {"vibrate", action(&DZDefaultDMSGHandler::didReceiveVibrateNotification)},
        {"canOpenURLs", action(&DZDefaultDMSGHandler::didReceiveCanOpenURLsNotification)},
        {"close", action(&DZDefaultDMSGHandler::didReceiveCloseNotification)},
    };
    return &table;
}

std::int64_t DZDefaultDMSGHandler::integerForKey(std::string_view key,
                                                 const core::Dictionary& dictionary,
                                                 std::int64_t defaultValue) {
    const core::Value* value = dictionary.find(key);
    if (!value) return defaultValue;
    return DZIntegerValue<std::int64_t>(*value).value_or(defaultValue);
}

void DZDefaultDMSGHandler::didReceiveTrackHTTPNotification(const std::shared_ptr<DZAdView>&,
                                                           const core::Dictionary& parameters) {
    if (const auto url = URLFromParams(parameters, "u"))
        DZClickTrackerCollection::sharedInstance()->trackURL(*url);
}

void DZDefaultDMSGHandler::didReceiveLogNotification(const std::shared_ptr<DZAdView>&,
                                                     const core::Dictionary& parameters) {
    if (const std::string* text = stringParameter(parameters, "string"))
        DZLogWithLevel(1, "%@", *text);
}

void DZDefaultDMSGHandler::didReceiveTouchNotification(const std::shared_ptr<DZAdView>&,
                                                       const core::Dictionary& parameters) {
    const auto read = [&](std::string_view key) {
        const std::int64_t value = integerForKey(key, parameters, kNoTouchValue);
        return static_cast<std::int32_t>(std::in_range<std::int32_t>(value) ? value
                                                                            : kNoTouchValue);
    };
    const std::int32_t x = read("tx");
    const std::int32_t y = read("ty");
    const std::int32_t d = read("td");
    core::Queue::main()->async([x, y, d] { DZGestureReportTouch(x, y, d); });
}

void DZDefaultDMSGHandler::didReceiveVibrateNotification(const std::shared_ptr<DZAdView>&,
                                                         const core::Dictionary&) {
    ui::SystemSoundPlayer::play(ui::SystemSoundPlayer::kVibrate);
}

void DZDefaultDMSGHandler::didReceiveCanOpenURLsNotification(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    std::vector<std::string> urls;
    if (const std::string* list = stringParameter(parameters, "urls")) urls = splitAtCommas(*list);
    core::Queue::main()->async([weakAdView = std::weak_ptr<DZAdView>(adView), urls] {
        const core::Dictionary answers = DZDevice::sharedInstance()->canOpenURLs(urls);
        if (const auto adView = weakAdView.lock())
            adView->postJSNotification("openableURLs", core::Value(answers));
    });
}

void DZDefaultDMSGHandler::didReceiveCloseNotification(const std::shared_ptr<DZAdView>& adView,
                                                       const core::Dictionary&) {
    const auto controller =
        adView ? std::dynamic_pointer_cast<DZViewController>(adView->viewController()) : nullptr;
    if (controller) controller->relinquishScreenWithCompletion(nullptr);
}

}  // namespace ads
