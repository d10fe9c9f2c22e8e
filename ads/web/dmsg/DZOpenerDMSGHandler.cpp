#include "ads/web/dmsg/DZOpenerDMSGHandler.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "core/Queue.h"
#include "ui/Application.h"

namespace ads {

namespace {

constexpr std::uint64_t kAllOrientations = 30;
constexpr std::uint64_t kPortraitOrientations = 6;
constexpr std::uint64_t kLandscapeOrientations = 24;

}  // namespace

const DZDMSGHandler::ActionTable* DZOpenerDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"click", action(&DZOpenerDMSGHandler::didReceiveClickNotification)},
        {"open", action(&DZOpenerDMSGHandler::didReceiveOpenNotification)},
        {"fetchAppStore", action(&DZOpenerDMSGHandler::fetchInAppStore)},
    };
    return &table;
}

const DZDMSGHandler::ActionTable* DZOpenerDMSGHandler::subActionBlockDictionary() const {
    static const ActionTable table = {
        {"in_app_store", action(&DZOpenerDMSGHandler::actionOpenInAppStore)},
        {"browser", action(&DZOpenerDMSGHandler::actionOpenBrowser)},
        {"webapp", action(&DZOpenerDMSGHandler::actionOpenWebApp)},
        {"expand", action(&DZOpenerDMSGHandler::actionExpand)},
        {"video", action(&DZOpenerDMSGHandler::actionOpenBrowser)},
        {"call", action(&DZOpenerDMSGHandler::actionOpenApp)},
        {"app", action(&DZOpenerDMSGHandler::actionOpenApp)},
        {"deep_link", action(&DZOpenerDMSGHandler::actionOpenAppLink)},
        {"inline_browser", action(&DZOpenerDMSGHandler::actionOpenInlineSafari)},
    };
    return &table;
}

std::uint64_t DZOpenerDMSGHandler::orientationFromParams(const core::Dictionary& parameters) {
    const std::string* code = stringParameter(parameters, "o");
    if (!code) return kAllOrientations;
    if (*code == "p") return kPortraitOrientations;
    if (*code == "l") return kLandscapeOrientations;
    if (*code == "c") {
        const long orientation = ui::Application::shared().statusBarOrientation();
        const bool landscape =
            DZInterfaceOrientationMaskForOrientation(orientation) & kLandscapeOrientations;
        return landscape ? kLandscapeOrientations : kPortraitOrientations;
    }
    return kAllOrientations;
}

bool DZOpenerDMSGHandler::shouldUseCustomClose(const core::Dictionary& parameters) {
    const std::string* flag = stringParameter(parameters, "custom_close");
    return flag && *flag == "1";
}

void DZOpenerDMSGHandler::didReceiveClickNotification(const std::shared_ptr<DZAdView>&,
                                                      const core::Dictionary& parameters) {
    const auto url = URLFromParams(parameters, "u");
    const auto slot = opener_ ? opener_->slot() : nullptr;
    if (!url || !slot) return;
    DZClickTrackerCollection::sharedInstance()->trackURL(slot->gestureClickURLWithURL(*url));
}

void DZOpenerDMSGHandler::fetchInAppStore(const std::shared_ptr<DZAdView>&,
                                          const core::Dictionary& parameters) {
    if (!opener_) return;
    const std::string* productID = stringParameter(parameters, "product_id");
    opener_->fetchInAppStoreForProductID(productID ? std::optional(*productID) : std::nullopt);
}

void DZOpenerDMSGHandler::didReceiveOpenNotification(const std::shared_ptr<DZAdView>& adView,
                                                     const core::Dictionary& parameters) {
    if (!performSubAction("a", adView, parameters)) actionOpenApp(adView, parameters);
}

void DZOpenerDMSGHandler::actionOpenInAppStore(const std::shared_ptr<DZAdView>&,
                                               const core::Dictionary& parameters) {
    if (!opener_) return;
    const std::string* productID = stringParameter(parameters, "product_id");
    const std::string* wait = stringParameter(parameters, "wait_for_fetch");
    opener_->openInAppStoreWithProductID(productID ? std::optional(*productID) : std::nullopt,
                                         URLFromParams(parameters, "u"), !wait || *wait == "true");
}

void DZOpenerDMSGHandler::actionOpenBrowser(const std::shared_ptr<DZAdView>&,
                                            const core::Dictionary& parameters) {
    const auto url = URLFromParams(parameters, "u");
    if (opener_ && url) opener_->openBrowserToURL(*url, orientationFromParams(parameters));
}

void DZOpenerDMSGHandler::actionOpenInlineSafari(const std::shared_ptr<DZAdView>&,
                                                 const core::Dictionary& parameters) {
    const auto url = URLFromParams(parameters, "u");
    if (opener_ && url)
        opener_->openSafariViewControllerToURL(*url, orientationFromParams(parameters));
}

void DZOpenerDMSGHandler::actionOpenWebApp(const std::shared_ptr<DZAdView>&,
                                           const core::Dictionary& parameters) {
    if (!opener_) return;
    const std::uint64_t orientations = orientationFromParams(parameters);
    const bool customClose = shouldUseCustomClose(parameters);
    if (const auto url = URLFromParams(parameters, "u")) {
        opener_->openWebApp(*url, orientations, customClose);
    } else if (const std::string* html = stringParameter(parameters, "html")) {
        opener_->openWebAppWithHTML(*html, URLFromParams(parameters, "baseurl"), orientations,
                                    customClose);
    }
}

void DZOpenerDMSGHandler::actionExpand(const std::shared_ptr<DZAdView>&,
                                       const core::Dictionary& parameters) {
    if (opener_)
        opener_->expandToWebAppWithSupportedOrientations(orientationFromParams(parameters),
                                                         shouldUseCustomClose(parameters));
}

void DZOpenerDMSGHandler::actionOpenApp(const std::shared_ptr<DZAdView>&,
                                        const core::Dictionary& parameters) {
    const auto url = URLFromParams(parameters, "u");
    const auto slot = opener_ ? opener_->slot() : nullptr;
    if (url && slot) opener_->openApp(slot->gestureClickURLWithURL(*url));
}

void DZOpenerDMSGHandler::actionOpenAppLink(const std::shared_ptr<DZAdView>&,
                                            const core::Dictionary& parameters) {
    const auto url = URLFromParams(parameters, "u");
    const std::string* eventID = stringParameter(parameters, "event_id");
    if (!opener_ || !url || !eventID) return;
    core::Queue::main()->async(
        [opener = opener_, url = *url, eventID = *eventID] { opener->openAppLink(url, eventID); });
}

}  // namespace ads
