#pragma once
// Carries out every action by which an ad reaches beyond its own view after
// a click or an MRAID request: opening a URL in the system, a deep link
// answered to the page, a store product page inside the app, the SDK's
// browser or the system's in-app one, MRAID expansion, two-part expansion
// and resizing, mail and message composers, and the refusals of storePicture
// and createCalendarEvent. Every action passes the same gates first (the
// ad's auto-click protection, the supported orientations, a confirmation for
// the schemes the server names) and ends with the same click bookkeeping
// (the slot's click statistics and pings, the URL stash).
//
// Whatever the ad's auto-click protection says, an action that leaves the
// app (handing a URL to the system: another app, the desktop's browser, a
// dial; a store page; a mail or message composer) needs a person: a gesture
// the engine saw start the navigation being decided, or a touch on the ad
// within the last kUserActionWindow seconds. A refused attempt is reported
// as the protection reports it when the protection is on, and logged once
// per ad otherwise. What stays inside the ad (the SDK's browser, web apps,
// expansion, resizing) keeps the protection's own rule.
//
// URLs of the schemes "file", "javascript", "data" and "about" are never
// handed to the system nor loaded as a page by any action: nothing opens
// and no click is counted; a deep link of such a scheme is answered NO.
//
// One opener belongs to each ad view delegate, which sets its controller,
// ad view, navigation request and referring URL before it forwards a
// navigation or message. Main thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"
#include "store/MailComposeViewController.h"
#include "store/MessageComposeViewController.h"

namespace ui {
class AlertController;
class ViewController;
}  // namespace ui

namespace store {
class StoreProductViewController;
}

namespace ads {

class DZAdView;
class DZAdViewSlot;
class DZVideoReportingSlot;
class DZAutoClickProtection;
class DZMRAIDResizeProperties;
class DZSlot;
class DZAdAppViewController;
class DZViewController;

class DZOpener : public store::MailComposeViewControllerDelegate,
                 public store::MessageComposeViewControllerDelegate,
                 public std::enable_shared_from_this<DZOpener> {
public:
    // The server's dictionary from URL scheme to the title of the button
    // that confirms opening it; kDefaultConfirmationSchemes when absent.
    static constexpr const char* kConfirmationSchemesKey =
        "/dozuza/ads/clickthrough_confirm_schemes";
    // Whether landing pages open in the system's in-app browser.
    static constexpr const char* kCustomBrowserKey =
        "/dozuza/ads/show_landing_page_in_custom_browser";
    // How often a composer waits 0.25 s for a busy full-screen ad before
    // the opener gives up on it.
    static constexpr int kMaximumComposerRetries = 40;
    static constexpr double kComposerRetryInterval = 0.25;

    // Seconds after a touch on the ad during which it may leave the app.
    static constexpr double kUserActionWindow = 1.0;

    DZOpener();
    ~DZOpener() override;

    // Gates.
    [[nodiscard]] virtual bool shouldPerformOpenAction();
    [[nodiscard]] bool shouldPerformOpenActionWithOrientations(std::uint64_t mask);
    [[nodiscard]] bool shouldOpenURL(const std::optional<core::URL>& url);
    // Whether an action may leave the app now (see above); reports or logs
    // the refusal when not.
    [[nodiscard]] bool shouldLeaveApplication(const std::optional<core::URL>& target = std::nullopt);
    // The title of the confirmation for the URL's scheme (compared without
    // case); nullopt when the scheme needs none.
    [[nodiscard]] std::optional<std::string> confirmationMessageForURL(const core::URL& url) const;
    // Whether no action may hand the URL to the system or load it.
    [[nodiscard]] static bool isUnsafeURL(const core::URL& url);

    // Bookkeeping.
    void didClickURL(const std::optional<core::URL>& url);
    void willLeaveApplication();
    // The controller to present from: the opener's controller when its view
    // is in a window, else the main window's root, followed through what it
    // presents; nullptr when there is none.
    [[nodiscard]] std::shared_ptr<ui::ViewController> topViewController() const;

    // Actions.
    virtual void openApp(const core::URL& url);
    // openApp for a person's press on the SDK's own controls (the browser's
    // button): no touch on an ad is needed.
    void openAppForPersonsAction(const core::URL& url);
    virtual void openAppLink(const core::URL& url, const std::string& eventID);
    virtual void fetchInAppStoreForProductID(const std::optional<std::string>& productID);
    virtual void openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                             const std::optional<core::URL>& fallbackURL,
                                             bool shouldWaitForFetch);
    virtual void openBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations);
    virtual void openWebViewBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations);
    virtual void openSafariViewControllerToURL(const core::URL& url,
                                               std::uint64_t supportedOrientations);
    virtual void openWebApp(const core::URL& url, std::uint64_t supportedOrientations,
                            bool usingCustomClose);
    virtual void openWebAppWithHTML(const std::string& html,
                                    const std::optional<core::URL>& baseURL,
                                    std::uint64_t supportedOrientations, bool usingCustomClose);
    virtual void expandToWebAppWithSupportedOrientations(std::uint64_t supportedOrientations,
                                                         bool usingCustomClose);
    virtual void
    openWebAppWithResizeProperties(const std::shared_ptr<DZMRAIDResizeProperties>& properties);
    // Refused: "Saving pictures is not permitted in this application." for
    // "storePicture", "Creating calendar events is not supported." for
    // "createCalendarEvent".
    virtual void openPromptToStorePictureAtURL(const std::optional<core::URL>& url);
    virtual void openCalendarWithDictionary(const core::Dictionary& parameters);
    virtual void openEmailComposer(const core::URL& url);
    virtual void openSmsComposer(const core::URL& url);
    void presentComposerController(const std::shared_ptr<ui::ViewController>& composer,
                                   const core::URL& url);

    // The confirmation's answer: index 1 (the confirming button) opens.
    void alertViewClickedButtonAtIndex(const ui::AlertController& alert, size_t index);
    void mailComposeController(store::MailComposeViewController& controller,
                               store::MailComposeResult result,
                               const std::optional<store::StoreError>& error) override;
    void messageComposeViewController(store::MessageComposeViewController& controller,
                                      store::MessageComposeResult result) override;

    // Set by the ad view delegate while it decides a navigation: whether
    // the engine saw a person's gesture start it (nullopt when it does not
    // tell, and outside a navigation).
    [[nodiscard]] std::optional<bool> navigationUserGesture() const {
        return navigationUserGesture_;
    }
    void setNavigationUserGesture(std::optional<bool> gesture) {
        navigationUserGesture_ = gesture;
    }
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
    [[nodiscard]] bool didOpenAnotherApplication() const { return didOpenAnotherApplication_; }
    void setDidOpenAnotherApplication(bool opened) { didOpenAnotherApplication_ = opened; }
    // Store pages loaded ahead, by product id.
    [[nodiscard]] const std::map<std::string, std::shared_ptr<store::StoreProductViewController>>&
    cachedStoreProductViewController() const {
        return cachedStoreProductViewController_;
    }
    [[nodiscard]] const std::set<std::string>& allowedAppURLs() const { return allowedAppURLs_; }
    // The confirmations on screen.
    [[nodiscard]] std::vector<std::shared_ptr<ui::AlertController>> confirmationAlerts() const;

private:
    struct Confirmation {
        std::weak_ptr<ui::AlertController> alert;
        core::URL url;
    };

    // Runs body with the person's action standing for the gesture gate: a
    // press on a confirmation, or the later steps of an action whose gate
    // passed when it began.
    template <typename Body>
    void actingForPerson(Body&& body);
    // A gesture or a recent touch; no reporting.
    [[nodiscard]] bool hasUserAction() const;
    void reportAutoClickAttempt();
    void confirmClickToURL(const core::URL& url, const std::string& message);
    void disableAutoCollapseForResize();
    void configureOverlay(DZViewController& overlay, std::uint64_t orientations,
                          bool usingCustomClose) const;
    [[nodiscard]] std::shared_ptr<DZAdAppViewController>
    overlayWithOrientations(std::uint64_t orientations, bool usingCustomClose) const;
    // The controller that shows the ad view itself, expanded or resized.
    [[nodiscard]] std::shared_ptr<DZAdAppViewController>
    expandedControllerForAdView(const std::shared_ptr<DZAdView>& adView) const;
    void presentWebApp(const std::shared_ptr<DZAdAppViewController>& overlay,
                       const std::optional<core::URL>& clickURL);
    void presentComposerController(const std::shared_ptr<ui::ViewController>& composer,
                                   const core::URL& url, int attempt);
    void finishComposer(const std::shared_ptr<ui::ViewController>& composer);
    void postDeepLinkAnswer(const core::URL& url, const std::string& eventID, bool opened) const;
    void reportMRAIDError(const std::string& message, const std::string& action) const;

    std::map<const ui::AlertController*, Confirmation> confirmationAlertURLs_;
    std::optional<bool> navigationUserGesture_;
    int personsActionDepth_ = 0;
    bool refusalLoggedWithoutAdView_ = false;
    // The ad (or, without one, the ad view) whose refused exit was logged.
    std::weak_ptr<const void> refusalLoggedFor_;
    std::set<std::string> allowedAppURLs_;
    bool didOpenAnotherApplication_ = false;
    std::optional<core::URLRequest> navigationRequest_;
    std::weak_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZAdView> adView_;
    std::optional<core::URL> referringURL_;
    std::weak_ptr<DZVideoReportingSlot> videoReportingSlot_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZAutoClickProtection> autoClickProtection_;
    std::weak_ptr<DZAdViewSlot> adViewSlot_;
    std::map<std::string, std::shared_ptr<store::StoreProductViewController>>
        cachedStoreProductViewController_;
};

}  // namespace ads
