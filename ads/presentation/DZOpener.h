#pragma once
// Opens what an ad's clicks and scripts ask for (store pages, browsers,
// composers, web-app overlays). It carries the context of the navigation
// that asked: the request, the ad view, the controller that presents, and
// the page the click came from. It acts for a slot (held weakly). Open
// actions are allowed unless the ad's auto-click protection is on and the
// user has not touched the ad view; a refused attempt is recorded in
// DZCallLog ("DZOpener.autoClickAttempt <url>") and reported by the
// protection.
//
// Click opening is not built yet. Each open operation is recorded in
// DZCallLog as "DZOpener.<operation> <arguments>" (masks in decimal, flags
// as 1 or 0, HTML by its length in bytes, resize properties and calendar
// parameters as JSON, absent values as "-"); app opens and http(s) browser opens go
// on to the application's URL opening; composers, store pages, in-app
// browsers, web apps, expansion, app links and resizing go no further.
// Saving pictures and calendar events are refused: the ad's MRAID event
// handler hears the error for its MRAID action. Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdView;
class DZAdViewSlot;
class DZVideoReportingSlot;
class DZAutoClickProtection;
class DZMRAIDResizeProperties;
class DZSlot;

class DZOpener {
public:
    DZOpener() = default;
    virtual ~DZOpener() = default;

    // Whether an open action may run now.
    [[nodiscard]] virtual bool shouldPerformOpenAction();

    virtual void openApp(const core::URL& url);
    virtual void openEmailComposer(const core::URL& url);
    virtual void openSmsComposer(const core::URL& url);

    // Store pages: a prefetch, and the page of a product (or the fallback
    // URL when the page cannot be shown).
    virtual void fetchInAppStoreForProductID(const std::optional<std::string>& productID);
    virtual void openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                             const std::optional<core::URL>& fallbackURL,
                                             bool shouldWaitForFetch);
    // Landing pages, in the SDK's browser and in the system's in-app one,
    // allowed the orientations of the mask.
    virtual void openBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations);
    virtual void openSafariViewControllerToURL(const core::URL& url,
                                               std::uint64_t supportedOrientations);
    // Full-screen web-app overlays and MRAID expand and resize.
    virtual void openWebApp(const core::URL& url, std::uint64_t supportedOrientations,
                            bool usingCustomClose);
    virtual void openWebAppWithHTML(const std::string& html,
                                    const std::optional<core::URL>& baseURL,
                                    std::uint64_t supportedOrientations, bool usingCustomClose);
    virtual void expandToWebAppWithSupportedOrientations(std::uint64_t supportedOrientations,
                                                         bool usingCustomClose);
    virtual void
    openWebAppWithResizeProperties(const std::shared_ptr<DZMRAIDResizeProperties>& properties);
    // A deep link, reported with the page's event id.
    virtual void openAppLink(const core::URL& url, const std::string& eventID);
    // Refused: "Saving pictures is not permitted in this application." for
    // "storePicture", "Creating calendar events is not supported." for
    // "createCalendarEvent".
    virtual void openPromptToStorePictureAtURL(const std::optional<core::URL>& url);
    virtual void openCalendarWithDictionary(const core::Dictionary& parameters);

    [[nodiscard]] const std::optional<core::URLRequest>& navigationRequest() const {
        return navigationRequest_;
    }
    void setNavigationRequest(std::optional<core::URLRequest> request) {
        navigationRequest_ = std::move(request);
    }
    [[nodiscard]] std::shared_ptr<ui::ViewController> viewController() const {
        return viewController_.lock();
    }
    void setViewController(std::weak_ptr<ui::ViewController> controller) {
        viewController_ = std::move(controller);
    }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const { return adView_.lock(); }
    void setAdView(std::weak_ptr<DZAdView> adView) { adView_ = std::move(adView); }
    [[nodiscard]] const std::optional<core::URL>& referringURL() const { return referringURL_; }
    void setReferringURL(std::optional<core::URL> url) { referringURL_ = std::move(url); }
    // The slot whose ad this opener acts for, as in-ad video asks it.
    [[nodiscard]] std::shared_ptr<DZVideoReportingSlot> videoReportingSlot() const {
        return videoReportingSlot_.lock();
    }
    void setVideoReportingSlot(std::weak_ptr<DZVideoReportingSlot> slot) {
        videoReportingSlot_ = std::move(slot);
    }
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }
    // The protection of the ad's safe-browsing settings; none means off.
    [[nodiscard]] const std::shared_ptr<DZAutoClickProtection>& autoClickProtection() const {
        return autoClickProtection_;
    }
    void setAutoClickProtection(std::shared_ptr<DZAutoClickProtection> protection) {
        autoClickProtection_ = std::move(protection);
    }
    // The slot whose ad this opener acts for, as the web layer asks it.
    [[nodiscard]] std::shared_ptr<DZAdViewSlot> adViewSlot() const { return adViewSlot_.lock(); }
    void setAdViewSlot(std::weak_ptr<DZAdViewSlot> slot) { adViewSlot_ = std::move(slot); }
    // Set when an open took the user to another application; the
    // full-screen ad that did it clears it when the user comes back.
    [[nodiscard]] bool didOpenAnotherApplication() const { return didOpenAnotherApplication_; }
    void setDidOpenAnotherApplication(bool opened) { didOpenAnotherApplication_ = opened; }

private:
    // To the MRAID event handler of the ad view's ad, else of the slot's.
    void reportMRAIDError(const std::string& message, const std::string& action) const;

    std::optional<core::URLRequest> navigationRequest_;
    std::weak_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZAdView> adView_;
    std::optional<core::URL> referringURL_;
    std::weak_ptr<DZVideoReportingSlot> videoReportingSlot_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZAutoClickProtection> autoClickProtection_;
    std::weak_ptr<DZAdViewSlot> adViewSlot_;
    bool didOpenAnotherApplication_ = false;
};

}  // namespace ads
