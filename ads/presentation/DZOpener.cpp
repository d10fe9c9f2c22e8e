#include "ads/presentation/DZOpener.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ads/web/view/DZAdView.h"
#include "core/JSON.h"

namespace ads {

namespace {

std::string text(const std::optional<std::string>& value) {
    return value ? *value : "-";
}

std::string text(const std::optional<core::URL>& url) {
    return url ? url->absoluteString() : "-";
}

std::string flag(bool value) {
    return value ? "1" : "0";
}

void record(std::string_view operation, const std::string& arguments) {
    DZCallLog::record("DZOpener." + std::string(operation) + " " + arguments);
}

bool isWebURL(const core::URL& url) {
    return url.hasScheme("http") || url.hasScheme("https");
}

}  // namespace

bool DZOpener::shouldPerformOpenAction() {
    DZCallLog::record("DZOpener.shouldPerformOpenAction");
    if (!autoClickProtection_ || !autoClickProtection_->enabled()) return true;
    const auto adView = this->adView();
    if (adView && adView->touched()) return true;
    std::optional<std::string> url;
    if (navigationRequest_) url = navigationRequest_->url().absoluteString();
    DZCallLog::record("DZOpener.autoClickAttempt " + url.value_or(""));
    autoClickProtection_->reportSpamOpenActionWithAdDebugDialogString(
        adView ? adView->adDebugDialogString() : std::nullopt, url);
    return false;
}

void DZOpener::openApp(const core::URL& url) {
    DZCallLog::record("DZOpener.openApp " + url.absoluteString());
    // Whatever the opener opens for an ad is a click on it.
    if (const auto slot = this->slot()) slot->pingClickURLs();
    DZApplication::sharedInstance()->openURL(url);
}

void DZOpener::openEmailComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openEmailComposer " + url.absoluteString());
}

void DZOpener::openSmsComposer(const core::URL& url) {
    DZCallLog::record("DZOpener.openSmsComposer " + url.absoluteString());
}

void DZOpener::fetchInAppStoreForProductID(const std::optional<std::string>& productID) {
    record("fetchInAppStoreForProductID", text(productID));
}

void DZOpener::openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                           const std::optional<core::URL>& fallbackURL,
                                           bool shouldWaitForFetch) {
    record("openInAppStoreWithProductID",
           text(productID) + " " + text(fallbackURL) + " " + flag(shouldWaitForFetch));
}

void DZOpener::openBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations) {
    record("openBrowserToURL", url.absoluteString() + " " + std::to_string(supportedOrientations));
    if (isWebURL(url)) DZApplication::sharedInstance()->openURL(url);
}

void DZOpener::openSafariViewControllerToURL(const core::URL& url,
                                             std::uint64_t supportedOrientations) {
    record("openSafariViewControllerToURL",
           url.absoluteString() + " " + std::to_string(supportedOrientations));
}

void DZOpener::openWebApp(const core::URL& url, std::uint64_t supportedOrientations,
                          bool usingCustomClose) {
    record("openWebApp", url.absoluteString() + " " + std::to_string(supportedOrientations) + " " +
                             flag(usingCustomClose));
}

void DZOpener::openWebAppWithHTML(const std::string& html, const std::optional<core::URL>& baseURL,
                                  std::uint64_t supportedOrientations, bool usingCustomClose) {
    record("openWebAppWithHTML", std::to_string(html.size()) + " " + text(baseURL) + " " +
                                     std::to_string(supportedOrientations) + " " +
                                     flag(usingCustomClose));
}

void DZOpener::expandToWebAppWithSupportedOrientations(std::uint64_t supportedOrientations,
                                                       bool usingCustomClose) {
    record("expandToWebAppWithSupportedOrientations",
           std::to_string(supportedOrientations) + " " + flag(usingCustomClose));
}

void DZOpener::openWebAppWithResizeProperties(
    const std::shared_ptr<DZMRAIDResizeProperties>& properties) {
    if (!properties) return;
    const core::Dictionary described{
        {"width", properties->size().width},
        {"height", properties->size().height},
        {"offsetX", properties->offset().width},
        {"offsetY", properties->offset().height},
        {"customClosePosition", properties->customClosePosition()},
        {"allowOffscreen", properties->allowOffscreen()},
    };
    record("openWebAppWithResizeProperties", core::JSON::write(described).value_or(""));
}

void DZOpener::openAppLink(const core::URL& url, const std::string& eventID) {
    record("openAppLink", url.absoluteString() + " " + eventID);
}

void DZOpener::openPromptToStorePictureAtURL(const std::optional<core::URL>& url) {
    record("openPromptToStorePictureAtURL", text(url));
    reportMRAIDError("Saving pictures is not permitted in this application.", "storePicture");
}

void DZOpener::openCalendarWithDictionary(const core::Dictionary& parameters) {
    record("openCalendarWithDictionary", core::JSON::write(parameters).value_or(""));
    reportMRAIDError("Creating calendar events is not supported.", "createCalendarEvent");
}

void DZOpener::reportMRAIDError(const std::string& message, const std::string& action) const {
    std::shared_ptr<DZAd> ad;
    if (const auto adView = this->adView()) ad = adView->ad();
    if (!ad) {
        if (const auto slot = this->slot()) ad = slot->ad();
    }
    const auto handler = ad ? ad->MRAIDEventHandler().lock() : nullptr;
    if (handler) handler->handleError(message, action);
}

}  // namespace ads
