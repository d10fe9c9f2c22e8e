#pragma once
// The 360-degree view of an in-ad video: frames drawn on a sphere with the
// spherical shader on a render thread of its own, turned by the device and
// by the page's touch drags. Its renderer is not built yet, so create()
// answers nullptr and a spherical ad shows the flat view; what the ad view
// and the page's messages use of it (the delegate, the touch vector, the
// optimization operations, which do nothing here) is fixed by this base.
//
// Main thread.

#include <memory>

#include "ads/core/request/DZError.h"
#include "ads/video/DZVideoRendering.h"

namespace ads {

class DZVideoPlayerGLView;

class DZVideoPlayerGLViewDelegate {
public:
    virtual ~DZVideoPlayerGLViewDelegate() = default;
    virtual void videoPlayerGLViewDidSetUpVideoPlayer(
        DZVideoPlayerGLView& view, const std::shared_ptr<media::Player>& player) = 0;
    // error: domain kErrorDomain, code -1.
    virtual void videoPlayerGLViewDidFailToSetupVideoPlayer(
        DZVideoPlayerGLView& view, const std::shared_ptr<media::Player>& player,
        const Error& error) = 0;
};

class DZVideoPlayerGLView : public DZVideoRendering {
public:
    static constexpr const char* kErrorDomain = "com.dozuza.dz_videoplayer_glview";
    static constexpr long kErrorCode = -1;

    // A view over frame; nullptr when it cannot be made.
    [[nodiscard]] static std::shared_ptr<DZVideoPlayerGLView> create(gfx::Rect frame);

    // A drag of the page's video (points), turning the view direction.
    virtual void handleUserTouchMovedByVector(double dx, double dy) = 0;

    void enableVideoPlaybackOptimization() override {}
    void resetVideoPlaybackOptimization() override {}
    void disableVideoPlaybackOptimization() override {}
    void optimizeVideoForAdVisibility(bool) override {}

    [[nodiscard]] std::shared_ptr<DZVideoPlayerGLViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoPlayerGLViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

protected:
    using DZVideoRendering::DZVideoRendering;

private:
    std::weak_ptr<DZVideoPlayerGLViewDelegate> delegate_;
};

}  // namespace ads
