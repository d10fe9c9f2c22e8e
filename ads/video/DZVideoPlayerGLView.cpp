#include "ads/video/DZVideoPlayerGLView.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <mutex>
#include <optional>

#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/video/DZGLSphericalShader.h"
#include "ads/video/DZVideoFrameSource.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "media/DisplayLink.h"
#include "media/GLContext.h"
#include "media/GLView.h"
#include "media/RenderThread.h"
#include "ui/Application.h"

namespace ads {

namespace {

struct ShaderFactoryOverride {
    std::mutex mutex;
    DZVideoPlayerGLView::ShaderFactory factory;
};

ShaderFactoryOverride& shaderFactoryOverride() {
    static auto* state = new ShaderFactoryOverride;
    return *state;
}

DZVideoPlayerGLView::ShaderFactory shaderFactory() {
    {
        std::lock_guard lock(shaderFactoryOverride().mutex);
        if (shaderFactoryOverride().factory) return shaderFactoryOverride().factory;
    }
    return [](double pitch, double roll, Error* error) {
        return DZGLSphericalShader::create(pitch, roll, error);
    };
}

// A multiplier the server sets; anything but a finite number keeps the default.
double touchMultiplier(std::string_view key) {
    const auto number = DZNumericValue(core::UserDefaults::standard()->objectForKey(key));
    if (!number || !std::isfinite(*number)) return DZVideoPlayerGLView::kDefaultTouchMultiplier;
    return *number;
}

Error glViewError(const char* message) {
    return DZErrorWithDomainCodeDescription(DZVideoPlayerGLView::kErrorDomain,
                                            DZVideoPlayerGLView::kErrorCode, message);
}

// The player's current item as the main thread last saw it, for the render
// thread, where the player itself may not be used.
struct CurrentItem {
    void set(std::shared_ptr<media::PlayerItem> newItem) {
        std::shared_ptr<media::PlayerItem> old;  // released after the lock
        std::lock_guard lock(mutex);
        old = std::exchange(item, std::move(newItem));
    }
    std::shared_ptr<media::PlayerItem> get() {
        std::lock_guard lock(mutex);
        return item;
    }

    std::mutex mutex;
    std::shared_ptr<media::PlayerItem> item;
};

}  // namespace

// What lives on the render thread: the display link's slots, the shader,
// the frame source and the drawing. Made and dropped on the main thread,
// which only reads its members between the render thread's tasks or after
// the thread ended.
class DZVideoPlayerGLView::Renderer : public media::GLViewDelegate,
                                      public std::enable_shared_from_this<Renderer> {
public:
    Renderer(std::weak_ptr<ui::View> view, std::shared_ptr<media::GLContext> context,
             std::shared_ptr<media::GLView> glView, std::weak_ptr<media::Player> player,
             bool applicationActive, bool inWindow)
        : view_(std::move(view)), context_(std::move(context)), glView_(std::move(glView)),
          player_(std::move(player)), applicationActive_(applicationActive),
          inWindow_(inWindow) {}

    // Main thread, before the render thread starts.
    std::shared_ptr<CurrentItem> currentItem = std::make_shared<CurrentItem>();
    std::unique_ptr<DZVideoFrameSource> frameSource;
    std::shared_ptr<media::DisplayLink> displayLink;
    ShaderFactory makeShader;
    double pitchMultiplier = kDefaultTouchMultiplier;
    double rollMultiplier = kDefaultTouchMultiplier;

    // Render thread from here on.
    void setUp() {
        const bool current = media::GLContext::setCurrent(context_);
        glView_->setContext(context_);
        Error error;
        if (current) shader_ = makeShader(pitchMultiplier, rollMultiplier, &error);
        report(shader_ ? std::nullopt : std::optional(glViewError(kShaderFailureMessage)));
        // Without a shader there is nothing to draw: the link stays paused
        // until the view is set up again.
        if (!shader_) return;
        shader_->startMotionTracking();
        resumeDisplayLink();
    }

    // Ends the rendering while the context is still current, so that the
    // drawable and the shader's textures and program go with it.
    void tearDown() {
        displayLink->invalidate();
        glView_->deleteDrawable();
        glView_->setContext(nullptr);
        if (shader_) shader_->stopMotionTracking();
        shader_.reset();
        (void)media::GLContext::setCurrent(nullptr);
        DZThreadStop().stopCurrentRunLoop();
    }

    void setApplicationActive(bool active) {
        applicationActive_ = active;
        active ? resumeDisplayLink() : pauseDisplayLink();
    }
    void setInWindow(bool inWindow) {
        inWindow_ = inWindow;
        inWindow ? resumeDisplayLink() : pauseDisplayLink();
    }

    void touchMoved(double dx, double dy) {
        if (shader_) shader_->handleUserTouchMovedByVector(dx, dy);
    }

    void displayLinkFired(media::DisplayLink& link) {
        if (!applicationActive_) return;
        nextDisplayTime_ = link.timestamp() + link.duration();
        (void)glView_->display();
    }

    void glView(media::GLView& view, const gfx::Rect&) override {
        std::shared_ptr<const media::PixelBuffer> frame;
        if (frameSource) {
            auto pulled = frameSource->pull(nextDisplayTime_);
            frame = std::move(pulled.frame);
            if (pulled.gaveUp) report(glViewError(DZVideoFrameSource::kNoFramesMessage));
        }
        view.bindDrawable();
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        // A frame whose planes cannot be made is skipped; the previous one
        // is drawn again.
        if (shader_) (void)shader_->displayPixelBuffer(frame, {0, 0, double(viewport[2]),
                                                              double(viewport[3])});
    }

    [[nodiscard]] const std::shared_ptr<DZGLSphericalShader>& shader() const { return shader_; }

private:
    void resumeDisplayLink() {
        if (!applicationActive_ || !inWindow_ || !shader_) return;
        if (frameSource) frameSource->resetVideoOutput();
        displayLink->setPaused(false);
    }
    void pauseDisplayLink() {
        if (applicationActive_ && inWindow_) return;
        displayLink->setPaused(true);
    }

    // Tells the view's delegate on the main queue, unless the view has
    // moved on to another rendering meanwhile.
    void report(std::optional<Error> failure) {
        core::Queue::main()->async([view = view_, self = weak_from_this(), player = player_,
                                    failure = std::move(failure)] {
            const auto shown = view.lock();
            const auto renderer = self.lock();
            if (!shown || !renderer) return;
            auto& glView = static_cast<DZVideoPlayerGLView&>(*shown);
            if (glView.renderer_ != renderer) return;
            const auto delegate = glView.delegate();
            const auto avPlayer = player.lock();
            if (!delegate) return;
            if (failure) {
                delegate->videoPlayerGLViewDidFailToSetupVideoPlayer(glView, avPlayer, *failure);
            } else {
                delegate->videoPlayerGLViewDidSetUpVideoPlayer(glView, avPlayer);
            }
        });
    }

    const std::weak_ptr<ui::View> view_;
    const std::shared_ptr<media::GLContext> context_;
    const std::shared_ptr<media::GLView> glView_;
    const std::weak_ptr<media::Player> player_;
    bool applicationActive_;
    bool inWindow_;
    std::shared_ptr<DZGLSphericalShader> shader_;
    double nextDisplayTime_ = 0;
};

std::shared_ptr<DZVideoPlayerGLView> DZVideoPlayerGLView::create(gfx::Rect frame) {
    auto context = media::GLContext::create();
    if (!context) return nullptr;
    auto view = std::make_shared<DZVideoPlayerGLView>(Token{}, frame, std::move(context));
    view->addSubview(view->glView_);
    std::weak_ptr<ui::View> weak = view;
    auto& center = core::NotificationCenter::defaultCenter();
    view->backgroundToken_ = center.addObserver(
        ui::Application::DidEnterBackgroundNotification, nullptr, nullptr,
        [weak](const core::Notification&) {
            if (const auto shown = weak.lock())
                static_cast<DZVideoPlayerGLView&>(*shown).applicationDidEnterBackground();
        });
    view->foregroundToken_ = center.addObserver(
        ui::Application::WillEnterForegroundNotification, nullptr, nullptr,
        [weak](const core::Notification&) {
            if (const auto shown = weak.lock())
                static_cast<DZVideoPlayerGLView&>(*shown).applicationWillEnterForeground();
        });
    return view;
}

void DZVideoPlayerGLView::setShaderFactoryForTesting(ShaderFactory factory) {
    std::lock_guard lock(shaderFactoryOverride().mutex);
    shaderFactoryOverride().factory = std::move(factory);
}

DZVideoPlayerGLView::DZVideoPlayerGLView() = default;

DZVideoPlayerGLView::DZVideoPlayerGLView(Token, gfx::Rect frame,
                                         std::shared_ptr<media::GLContext> context)
    : DZVideoRendering(frame), context_(std::move(context)),
      glView_(std::make_shared<media::GLView>(bounds())) {}

DZVideoPlayerGLView::~DZVideoPlayerGLView() {
    auto& center = core::NotificationCenter::defaultCenter();
    if (backgroundToken_) center.removeObserver(backgroundToken_);
    if (foregroundToken_) center.removeObserver(foregroundToken_);
    stopRenderThread();
}

void DZVideoPlayerGLView::setUpWithPlayer(const std::shared_ptr<media::Player>& player) {
    if (player == player_) return;
    stopRenderThread();
    player_ = player;
    if (player_ && player_->currentItem()) startRenderThread();
}

void DZVideoPlayerGLView::handleUserTouchMovedByVector(double dx, double dy) {
    if (!renderThread_) return;
    (void)renderThread_->perform([renderer = renderer_, dx, dy] { renderer->touchMoved(dx, dy); },
                                 false);
}

void DZVideoPlayerGLView::layoutSubviews() {
    DZVideoRendering::layoutSubviews();
    if (glView_) glView_->setFrame(bounds());
}

void DZVideoPlayerGLView::willMoveToWindow(ui::Window* newWindow) {
    DZVideoRendering::willMoveToWindow(newWindow);
    if (!renderThread_) return;
    (void)renderThread_->perform(
        [renderer = renderer_, inWindow = newWindow != nullptr] { renderer->setInWindow(inWindow); },
        false);
}

void DZVideoPlayerGLView::applicationDidEnterBackground() {
    if (!renderThread_) return;
    (void)renderThread_->perform([renderer = renderer_] { renderer->setApplicationActive(false); },
                                 true);
}

void DZVideoPlayerGLView::applicationWillEnterForeground() {
    if (!renderThread_) return;
    (void)renderThread_->perform([renderer = renderer_] { renderer->setApplicationActive(true); },
                                 false);
}

void DZVideoPlayerGLView::startRenderThread() {
    stopRenderThread();
    if (!context_ || !glView_) return;
    auto renderer = std::make_shared<Renderer>(
        weak_from_this(), context_, glView_, player_,
        ui::Application::shared().state() == ui::ApplicationState::Active, window() != nullptr);
    renderer->makeShader = shaderFactory();
    renderer->pitchMultiplier = touchMultiplier(kPitchMultiplierKey);
    renderer->rollMultiplier = touchMultiplier(kRollMultiplierKey);
    renderer->frameSource = std::make_unique<DZVideoFrameSource>(
        [item = renderer->currentItem] { return item->get(); });
    renderer->displayLink = media::DisplayLink::create(
        [weak = std::weak_ptr<Renderer>(renderer)](media::DisplayLink& link) {
            if (const auto held = weak.lock()) held->displayLinkFired(link);
        });
    renderer->displayLink->setPaused(true);
    glView_->setDelegate(renderer);
    renderer_ = renderer;
    observeCurrentItem();
    renderThread_ = media::startRenderThread(kRenderThreadName, [renderer] {
        renderer->displayLink->addToRunLoop(core::RunLoop::current());
        renderer->setUp();
        core::RunLoop::current().run();
    });
}

void DZVideoPlayerGLView::observeCurrentItem() {
    const auto item = renderer_->currentItem;
    item->set(player_->currentItem());
    currentItemToken_ =
        player_->addObserver("currentItem", [item, player = std::weak_ptr(player_)](
                                                const std::string&) {
            if (const auto shown = player.lock()) item->set(shown->currentItem());
        });
}

void DZVideoPlayerGLView::stopRenderThread() {
    if (!renderThread_) return;
    const auto renderer = std::move(renderer_);
    const auto thread = std::move(renderThread_);
    (void)thread->perform([&renderer] { renderer->tearDown(); }, true);
    thread->join();
    renderer->displayLink->invalidate();
    if (player_ && currentItemToken_) player_->removeObserver(currentItemToken_);
    currentItemToken_ = {};
    if (renderer->frameSource) renderer->frameSource->stop();
    renderer->frameSource.reset();
    renderer->currentItem->set(nullptr);
}

std::shared_ptr<core::Thread> DZVideoPlayerGLView::renderThread() const {
    return renderThread_;
}

std::shared_ptr<media::DisplayLink> DZVideoPlayerGLView::displayLink() const {
    return renderer_ ? renderer_->displayLink : nullptr;
}

std::shared_ptr<DZGLSphericalShader> DZVideoPlayerGLView::sphericalShader() const {
    return renderer_ ? renderer_->shader() : nullptr;
}

const DZVideoFrameSource* DZVideoPlayerGLView::frameSource() const {
    return renderer_ ? renderer_->frameSource.get() : nullptr;
}

}  // namespace ads
