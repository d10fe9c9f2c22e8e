#pragma once
// What the banner cache needs of a banner view: the ad unit, the screen it
// is on (its root view controller), its slot, the slot parameters of a
// request, and the key it was last filed under. The banner view
// implements it.
//
// Threading: bannerKey() and setBannerKey() are called on the banner
// cache's queue, so they must be safe from any thread; the rest are called
// on the thread that asks the cache (the main thread).

#include <memory>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZRequest;
class DZSlot;

class DZBannerCacheView {
public:
    virtual ~DZBannerCacheView() = default;

    [[nodiscard]] virtual std::optional<std::string> adUnitID() const = 0;
    [[nodiscard]] virtual std::shared_ptr<ui::ViewController> rootViewController() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZSlot> slot() const = 0;
    [[nodiscard]] virtual core::Dictionary
    requestParametersForRequest(const std::shared_ptr<DZRequest>& request) const = 0;
    [[nodiscard]] virtual std::optional<core::Dictionary> bannerKey() const = 0;
    virtual void setBannerKey(std::optional<core::Dictionary> key) = 0;
};

}  // namespace ads
