#pragma once
// Shows a resized banner ad: the transparent overlay with the ad view placed
// at the rectangle the ad asked for, given relative to the banner's
// container (the reference view), instead of filling the screen. A request
// that does not fit the screen is nudged back on it when the ad allows no
// off-screen placement, refused otherwise; after every move and rotation
// the placement is checked again, and one that no longer fits closes the
// resized ad. Every refusal reaches the ad as an MRAID error. Main thread.

#include <memory>

#include "ads/presentation/fullscreen/DZTransparentOverlayPresenter.h"
#include "gfx/Geometry.h"

namespace ui {
class View;
}

namespace ads {

class DZMRAIDEventHandling;
class DZMRAIDResizeProperties;

class DZMRAIDResizeOverlayPresenter : public DZTransparentOverlayPresenter {
public:
    explicit DZMRAIDResizeOverlayPresenter(std::shared_ptr<ui::View> referenceView);

    // Whether the properties' rectangle (or its nudged form, without
    // off-screen placement) fits the screen's application frame, seen
    // from view.
    [[nodiscard]] bool
    resizePropertiesAreValid(const std::shared_ptr<DZMRAIDResizeProperties>& properties,
                             const ui::View* view) const;
    // Keeps valid properties; others leave the stored ones and are reported.
    void setResizeProperties(const std::shared_ptr<DZMRAIDResizeProperties>& properties);
    // The frame moved, size kept, to lie within bounds where it can.
    [[nodiscard]] static gfx::Rect adjustedContentFrame(const gfx::Rect& frame,
                                                        const gfx::Rect& bounds);
    // The requested rectangle in the crop view's coordinates.
    [[nodiscard]] gfx::Rect contentFrame() const;
    void repositionContentIfNeeded();

    [[nodiscard]] bool isReadyToPresent() const override;
    void composeTransparentInterstitialViewsForPresentation() override;
    void updateTransparentInterstitialOrientation() override;

    [[nodiscard]] bool dismissToDefaultState() const { return dismissToDefaultState_; }
    void setDismissToDefaultState(bool dismiss) { dismissToDefaultState_ = dismiss; }
    [[nodiscard]] const std::shared_ptr<DZMRAIDResizeProperties>& resizeProperties() const {
        return resizeProperties_;
    }
    [[nodiscard]] std::shared_ptr<DZMRAIDEventHandling> MRAIDEventHandler() const {
        return MRAIDEventHandler_.lock();
    }
    void setMRAIDEventHandler(std::weak_ptr<DZMRAIDEventHandling> handler) {
        MRAIDEventHandler_ = std::move(handler);
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& referenceView() const { return referenceView_; }
    void setReferenceView(std::shared_ptr<ui::View> view) { referenceView_ = std::move(view); }

    // "<DZMRAIDResizeProperties: offset (x, y) size (w x h) closePosition n
    // allowOffscreen YES|NO>".
    [[nodiscard]] static std::string describe(const DZMRAIDResizeProperties& properties);

private:
    [[nodiscard]] std::weak_ptr<DZMRAIDResizeOverlayPresenter> weakSelf();
    void reportError(const std::string& message, const std::string& action) const;

    bool dismissToDefaultState_ = true;
    std::shared_ptr<DZMRAIDResizeProperties> resizeProperties_;
    std::weak_ptr<DZMRAIDEventHandling> MRAIDEventHandler_;
    std::shared_ptr<ui::View> referenceView_;
};

}  // namespace ads
