#pragma once
// Opens what an ad's clicks and scripts ask for (store pages, browsers,
// composers, web-app overlays). It carries the context of the navigation
// that asked: the request, the ad view, the controller that presents, and
// the page the click came from. Apps open through the application's URL
// opening; composers are recorded in DZCallLog ("DZOpener.openEmailComposer
// <url>", "DZOpener.openSmsComposer <url>"), as are app opens
// ("DZOpener.openApp <url>"). Click opening actions are not built yet: the
// opener refuses every other open action ("DZOpener.shouldPerformOpenAction").
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
class DZAdViewSlot;
class DZVideoReportingSlot;

class DZOpener {
public:
    DZOpener() = default;
    virtual ~DZOpener() = default;

    // Whether an open action may run now: never yet.
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
    // The slot whose ad this opener acts for, as the web layer asks it.
    [[nodiscard]] std::shared_ptr<DZAdViewSlot> adViewSlot() const { return adViewSlot_.lock(); }
    void setAdViewSlot(std::weak_ptr<DZAdViewSlot> slot) { adViewSlot_ = std::move(slot); }

private:
    std::optional<core::URLRequest> navigationRequest_;
    std::weak_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZAdView> adView_;
    std::optional<core::URL> referringURL_;
    std::weak_ptr<DZVideoReportingSlot> videoReportingSlot_;
    std::weak_ptr<DZAdViewSlot> adViewSlot_;
};

}  // namespace ads
