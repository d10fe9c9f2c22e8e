#pragma once
// An opener that records each action it is asked for in DZCallLog, as
// "DZOpener.<operation> <arguments>" (masks in decimal, flags as 1 or 0,
// HTML by its length in bytes, resize properties and calendar parameters
// as JSON, absent values as "-"), and does nothing more: the tests of the
// page's messages and navigations check what reaches the opener, the
// opener's own tests what it then does.

#include <memory>
#include <string>

#include "ads/foundation/DZCallLog.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "core/JSON.h"

namespace openertesting {

class RecordingOpener : public ads::DZOpener {
public:
    void openApp(const core::URL& url) override { record("openApp", url.absoluteString()); }
    void openEmailComposer(const core::URL& url) override {
        record("openEmailComposer", url.absoluteString());
    }
    void openSmsComposer(const core::URL& url) override {
        record("openSmsComposer", url.absoluteString());
    }
    void fetchInAppStoreForProductID(const std::optional<std::string>& productID) override {
        record("fetchInAppStoreForProductID", text(productID));
    }
    void openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                     const std::optional<core::URL>& fallbackURL,
                                     bool shouldWaitForFetch) override {
        record("openInAppStoreWithProductID",
               text(productID) + " " + text(fallbackURL) + " " + flag(shouldWaitForFetch));
    }
    void openBrowserToURL(const core::URL& url, std::uint64_t mask) override {
        record("openBrowserToURL", url.absoluteString() + " " + std::to_string(mask));
    }
    void openSafariViewControllerToURL(const core::URL& url, std::uint64_t mask) override {
        record("openSafariViewControllerToURL", url.absoluteString() + " " + std::to_string(mask));
    }
    void openWebApp(const core::URL& url, std::uint64_t mask, bool customClose) override {
        record("openWebApp",
               url.absoluteString() + " " + std::to_string(mask) + " " + flag(customClose));
    }
    void openWebAppWithHTML(const std::string& html, const std::optional<core::URL>& baseURL,
                            std::uint64_t mask, bool customClose) override {
        record("openWebAppWithHTML", std::to_string(html.size()) + " " + text(baseURL) + " " +
                                         std::to_string(mask) + " " + flag(customClose));
    }
    void expandToWebAppWithSupportedOrientations(std::uint64_t mask, bool customClose) override {
        record("expandToWebAppWithSupportedOrientations",
               std::to_string(mask) + " " + flag(customClose));
    }
    void openWebAppWithResizeProperties(
        const std::shared_ptr<ads::DZMRAIDResizeProperties>& properties) override {
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
    void openAppLink(const core::URL& url, const std::string& eventID) override {
        record("openAppLink", url.absoluteString() + " " + eventID);
    }
    void openPromptToStorePictureAtURL(const std::optional<core::URL>& url) override {
        record("openPromptToStorePictureAtURL", text(url));
        DZOpener::openPromptToStorePictureAtURL(url);
    }
    void openCalendarWithDictionary(const core::Dictionary& parameters) override {
        record("openCalendarWithDictionary", core::JSON::write(parameters).value_or(""));
        DZOpener::openCalendarWithDictionary(parameters);
    }

private:
    static std::string text(const std::optional<std::string>& value) {
        return value ? *value : "-";
    }
    static std::string text(const std::optional<core::URL>& url) {
        return url ? url->absoluteString() : "-";
    }
    static std::string flag(bool value) { return value ? "1" : "0"; }
    static void record(const std::string& operation, const std::string& arguments) {
        ads::DZCallLog::record("DZOpener." + operation + " " + arguments);
    }
};

}  // namespace openertesting
