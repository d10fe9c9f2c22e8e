#pragma once
// What a resource collection reads of the ad view whose page it records:
// whether the user has touched the ad, the ad it shows (for its
// safe-browsing reporter) and an image of the rendered ad. Each function is
// called on the main thread and answers false or nullptr once the ad view
// has gone; a missing function counts as a gone ad view.
//
// of() builds it from an ad view that is a ui::View with touched() and ad();
// the image is the view rendered after its web views took a fresh snapshot.

#include <functional>
#include <memory>

#include "ads/foundation/DZViewImaging.h"
#include "gfx/Image.h"
#include "ui/View.h"

namespace ads {

class DZAd;

struct DZResourceCollectionAdView {
    using ImageCompletion = std::function<void(gfx::ImagePtr image)>;

    std::function<bool()> touched;
    std::function<std::shared_ptr<DZAd>()> ad;
    // Calls the completion on the main thread, with nullptr when there is
    // no image.
    std::function<void(ImageCompletion)> renderImage;

    template <class AdView>
    [[nodiscard]] static DZResourceCollectionAdView of(const std::shared_ptr<AdView>& adView) {
        const std::weak_ptr<AdView> weak = adView;
        return {
            [weak] {
                const auto view = weak.lock();
                return view && view->touched();
            },
            [weak]() -> std::shared_ptr<DZAd> {
                const auto view = weak.lock();
                return view ? view->ad() : nullptr;
            },
            [weak](ImageCompletion completion) {
                DZRenderViewWithFreshWebContent(std::static_pointer_cast<ui::View>(weak.lock()),
                                                std::move(completion));
            },
        };
    }
};

}  // namespace ads
