#pragma once
// The page's "refresh" message: "action" "pause" stops the opener's slot
// from reloading by timer, "resume" lets it again and arms the timer.
// Nothing happens while the server's protection flag is on. Main thread.

#include <memory>
#include <string_view>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZOpener;

class DZAdRefreshDMSGHandler : public DZDMSGHandler {
public:
    static constexpr std::string_view kProtectionKey = "/dozuza/ads/enable_refresh_dmsg_protection";

    explicit DZAdRefreshDMSGHandler(std::shared_ptr<DZOpener> opener)
        : opener_(std::move(opener)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveRefreshAction(const std::shared_ptr<DZAdView>& adView,
                                 const core::Dictionary& parameters);

private:
    std::shared_ptr<DZOpener> opener_;
};

}  // namespace ads
