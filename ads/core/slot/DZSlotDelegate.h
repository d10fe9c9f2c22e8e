#pragma once
// What a slot asks and tells its owner (a banner view, an interstitial, a
// native ad loader, a cache entry): whether and when to load and reload,
// where the ad sits and which sizes it may take, and what the ad asks of
// the owner's screen. Every operation is optional: each default does what
// the slot does when its owner lacks the operation, and the operations
// whose absence changes what the slot does answer std::optional (nullopt:
// not answered). Called on the main thread with the calling slot first.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZError.h"
#include "gfx/Geometry.h"

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZAd;
class DZAudioVideoManager;
class DZRequest;
class DZSlot;

// The kind of owner, which the core page is told as the requested ad type.
enum class DZSlotDelegateKind { other = 0, banner = 1, interstitial = 2 };

class DZSlotDelegate {
public:
    virtual ~DZSlotDelegate() = default;

    [[nodiscard]] virtual DZSlotDelegateKind slotDelegateKind() const {
        return DZSlotDelegateKind::other;
    }
    // An interstitial answers whether it serves a rewarded video ad (its own
    // delegate is the rewarded ad); the full-screen screen name says so.
    [[nodiscard]] virtual bool servesRewardedAd() const { return false; }

    // Load policy. A refusal may say why through error.
    [[nodiscard]] virtual std::optional<bool>
    shouldLoadRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request,
                      std::optional<Error>* error) {
        (void)slot, (void)request, (void)error;
        return std::nullopt;
    }
    // nullopt: the slot asks again after one more reload interval.
    [[nodiscard]] virtual std::optional<bool> slotShouldReloadCurrentRequest(DZSlot& slot) {
        (void)slot;
        return std::nullopt;
    }
    [[nodiscard]] virtual bool slotShouldPreemptInProgressRequest(DZSlot& slot) {
        (void)slot;
        return false;
    }

    // Geometry; nullopt: the slot uses its ad view's.
    [[nodiscard]] virtual std::optional<gfx::Rect> frame() const { return std::nullopt; }
    [[nodiscard]] virtual std::optional<gfx::Rect> frameInInterface() const { return std::nullopt; }
    [[nodiscard]] virtual std::optional<gfx::Rect> bounds() const { return std::nullopt; }
    [[nodiscard]] virtual std::shared_ptr<ui::ViewController> rootViewController() const {
        return nullptr;
    }

    // The view that shows the ad (nullptr: none any more).
    virtual void didReceiveAdView(DZSlot& slot, const std::shared_ptr<ui::View>& view) {
        (void)slot, (void)view;
    }
    virtual void contentSizeDidChange(DZSlot& slot, gfx::Size size) { (void)slot, (void)size; }
    // Whether the owner takes size changes from the ad (setAdSize); the
    // slot hides its ad view before it hands one over.
    [[nodiscard]] virtual bool takesAdSizeChanges() const { return false; }
    virtual void setAdSize(const DZAdSize& adSize, bool reload) { (void)adSize, (void)reload; }
    virtual void layoutSubviewsIfNeeded() {}
    [[nodiscard]] virtual std::optional<DZAdSize> adSize() const { return std::nullopt; }
    // Boxed DZAdSize values; entries of another type are skipped.
    [[nodiscard]] virtual std::optional<std::vector<DZBoxedValue>> validAdSizes() const {
        return std::nullopt;
    }

    virtual void slotDidLoadMRAIDAd(DZSlot& slot) { (void)slot; }
    virtual void willResizeToAdSize(DZSlot& slot, const DZAdSize& adSize) {
        (void)slot, (void)adSize;
    }
    // Whether the owner takes app events (didReceiveAppEvent); those of a
    // mediated banner are kept for its ad otherwise.
    [[nodiscard]] virtual bool receivesAppEvents() const { return false; }
    virtual void didReceiveAppEvent(DZSlot& slot, const std::string& name,
                                    const std::optional<std::string>& info) {
        (void)slot, (void)name, (void)info;
    }
    // True: the owner renders the ad itself and drives the slot's states.
    [[nodiscard]] virtual bool
    notifyPublisherToRenderCustomRenderingAd(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                             std::optional<Error>* error) {
        (void)slot, (void)ad, (void)error;
        return false;
    }
    virtual void willLoadAdWithRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request) {
        (void)slot, (void)request;
    }
    virtual void slotDidReceiveAdClick(DZSlot& slot) { (void)slot; }
    [[nodiscard]] virtual bool shouldChangeAudioSessionCategoryTo(DZSlot& slot,
                                                                  const std::string& category) {
        (void)slot, (void)category;
        return true;
    }
    [[nodiscard]] virtual bool
    shouldDisableVideoEventReportToAudioVideoManager(DZSlot& slot, DZAudioVideoManager& manager) {
        (void)slot, (void)manager;
        return false;
    }
};

}  // namespace ads
