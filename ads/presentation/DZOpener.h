#pragma once
// Opens what an ad's clicks and scripts ask for (store pages, browsers,
// composers, web-app overlays). It carries the context of the navigation
// that asked: the request, the ad view, the controller that presents, and
// the page the click came from. Apps open through the application's URL
// opening; composers are recorded in DZCallLog ("DZOpener.openEmailComposer
// <url>", "DZOpener.openSmsComposer <url>"), as are app opens
// ("DZOpener.openApp <url>"). It acts for a slot (held weakly). Open actions
// are allowed unless the ad's auto-click protection is on and the user has
// not touched the ad view; a refused attempt is recorded in DZCallLog
// ("DZOpener.autoClickAttempt <url>") and reported by the protection.
// Main thread.

#include <memory>
#include <optional>

#include "core/URL.h"
#include "core/URLRequest.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdView;
class DZVideoReportingSlot;
class DZAutoClickProtection;
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

private:
    std::optional<core::URLRequest> navigationRequest_;
    std::weak_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZAdView> adView_;
    std::optional<core::URL> referringURL_;
    std::weak_ptr<DZVideoReportingSlot> videoReportingSlot_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZAutoClickProtection> autoClickProtection_;
};

}  // namespace ads
