#pragma once
// The 360-degree view of an in-ad video: frames copied out of the player
// are drawn on a sphere by the spherical shader, on a render thread of its
// own paced by a display link, into a GL view filling this view; the
// device's attitude and the page's touch drags turn it.
//
// Rendering runs while the view shows a player that has an item: the
// render thread makes the context current, creates the shader (telling the
// delegate whether that worked) and draws at each display-link slot while
// the app is active and the view is in a window; otherwise the link is
// paused. Each draw takes the frame due when it will be on screen from a
// video output on the player's current item (DZVideoFrameSource); an
// output that never gives a frame is replaced up to ten times, then the
// delegate hears "Video output produced no frames.". Without a new frame
// the previous one is drawn again.
//
// The server may set the degrees of turn per point dragged
// ("opengl_external_pitch_multiplier", "opengl_external_roll_mulitiplier",
// 0.2 each by default).
//
// Main thread, apart from what runs on the render thread inside.

#include <atomic>
#include <functional>
#include <memory>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/video/DZVideoRendering.h"
#include "core/NotificationCenter.h"
#include "core/Thread.h"
#include "media/ChangeObservers.h"

namespace media {
class DisplayLink;
class GLContext;
class GLView;
}  // namespace media

namespace ads {

class DZGLSphericalShader;
class DZVideoFrameSource;
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
    struct Token {};

public:
    static constexpr const char* kErrorDomain = "com.dozuza.dz_videoplayer_glview";
    static constexpr long kErrorCode = -1;
    static constexpr const char* kShaderFailureMessage = "Failed to create spherical shader.";
    static constexpr const char* kRenderThreadName =
        "com.dozuza.VoveruDiririVur.GLView.RenderThread";
    static constexpr std::string_view kPitchMultiplierKey =
        "/dozuza/ads/opengl_external_pitch_multiplier";
    static constexpr std::string_view kRollMultiplierKey =
        "/dozuza/ads/opengl_external_roll_mulitiplier";
    static constexpr double kDefaultTouchMultiplier = 0.2;

    // Makes the shader on the render thread, its context current: the
    // pitch and roll multipliers, and where to put the reason of a failure.
    using ShaderFactory =
        std::function<std::shared_ptr<DZGLSphericalShader>(double, double, Error*)>;

    // A view over frame with a GL context of its own; nullptr when no
    // context can be made.
    [[nodiscard]] static std::shared_ptr<DZVideoPlayerGLView> create(gfx::Rect frame);
    // Replaces how views made from now on make their shader (nullptr: the
    // standard way), for tests.
    static void setShaderFactoryForTesting(ShaderFactory factory);

    DZVideoPlayerGLView(Token, gfx::Rect frame, std::shared_ptr<media::GLContext> context);
    ~DZVideoPlayerGLView() override;

    // Another player (or none) stops the current rendering; a player with a
    // current item starts a new one.
    void setUpWithPlayer(const std::shared_ptr<media::Player>& player) override;
    // A drag of the page's video (points), handed to the render thread
    // without waiting; dropped while nothing renders.
    virtual void handleUserTouchMovedByVector(double dx, double dy);

    void enableVideoPlaybackOptimization() override {}
    void resetVideoPlaybackOptimization() override {}
    void disableVideoPlaybackOptimization() override {}
    void optimizeVideoForAdVisibility(bool) override {}

    void layoutSubviews() override;
    void willMoveToWindow(ui::Window* newWindow) override;

    [[nodiscard]] std::shared_ptr<DZVideoPlayerGLViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZVideoPlayerGLViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    [[nodiscard]] const std::shared_ptr<media::Player>& currentPlayer() const { return player_; }
    [[nodiscard]] const std::shared_ptr<media::GLView>& glView() const { return glView_; }
    // While rendering: the render thread and its display link.
    [[nodiscard]] std::shared_ptr<core::Thread> renderThread() const;
    [[nodiscard]] std::shared_ptr<media::DisplayLink> displayLink() const;
    // The render thread's objects, to be read between its tasks (after a
    // waiting perform on it): the shader (none when it failed) and the
    // frame source.
    [[nodiscard]] std::shared_ptr<DZGLSphericalShader> sphericalShader() const;
    [[nodiscard]] const DZVideoFrameSource* frameSource() const;

protected:
    // A stand-in with no GL: it never renders.
    DZVideoPlayerGLView();

private:
    class Renderer;

    void startRenderThread();
    void stopRenderThread();
    void applicationDidEnterBackground();
    void applicationWillEnterForeground();
    void observeCurrentItem();

    const std::shared_ptr<media::GLContext> context_;
    std::shared_ptr<media::GLView> glView_;
    std::shared_ptr<media::Player> player_;
    std::shared_ptr<Renderer> renderer_;
    std::shared_ptr<core::Thread> renderThread_;
    media::ChangeObservers::Token currentItemToken_;
    core::NotificationCenter::Token backgroundToken_;
    core::NotificationCenter::Token foregroundToken_;
    std::weak_ptr<DZVideoPlayerGLViewDelegate> delegate_;
};

}  // namespace ads
