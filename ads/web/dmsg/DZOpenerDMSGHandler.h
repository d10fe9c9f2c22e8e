#pragma once
// The ad page's click and open requests, carried out by the ad view
// delegate's opener: "click" pings a click URL (with the slot's click
// signal) and opens nothing; "fetchAppStore" prefetches a store page;
// "open" selects by "a" a store page, a browser, a web-app overlay, an
// expansion, another app or a deep link, and an absent or unknown "a" opens
// another app. The slot for click signals is the opener's at the time of the
// message; without one nothing is pinged or opened. Main thread.

#include <cstdint>
#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZOpener;

class DZOpenerDMSGHandler : public DZDMSGHandler {
public:
    explicit DZOpenerDMSGHandler(std::shared_ptr<DZOpener> opener) : opener_(std::move(opener)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] const ActionTable* subActionBlockDictionary() const override;

    [[nodiscard]] const std::shared_ptr<DZOpener>& opener() const { return opener_; }
    void setOpener(std::shared_ptr<DZOpener> opener) { opener_ = std::move(opener); }

    // The supported-orientations mask "o" names: absent 30, "p" 6, "l" 24,
    // "c" the status bar's family (24 in landscape, else 6), other 30.
    [[nodiscard]] static std::uint64_t orientationFromParams(const core::Dictionary& parameters);
    // "custom_close" is "1".
    [[nodiscard]] static bool shouldUseCustomClose(const core::Dictionary& parameters);

    void didReceiveClickNotification(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
    void fetchInAppStore(const std::shared_ptr<DZAdView>& adView,
                         const core::Dictionary& parameters);
    void didReceiveOpenNotification(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void actionOpenInAppStore(const std::shared_ptr<DZAdView>& adView,
                              const core::Dictionary& parameters);
    void actionOpenBrowser(const std::shared_ptr<DZAdView>& adView,
                           const core::Dictionary& parameters);
    void actionOpenInlineSafari(const std::shared_ptr<DZAdView>& adView,
                                const core::Dictionary& parameters);
    void actionOpenWebApp(const std::shared_ptr<DZAdView>& adView,
                          const core::Dictionary& parameters);
    void actionExpand(const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters);
    void actionOpenApp(const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters);
    void actionOpenAppLink(const std::shared_ptr<DZAdView>& adView,
                           const core::Dictionary& parameters);

private:
    std::shared_ptr<DZOpener> opener_;
};

}  // namespace ads
