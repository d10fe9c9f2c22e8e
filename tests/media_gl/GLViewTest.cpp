#include "media/GLView.h"

#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "NV12Quad.h"
#include "core/RunLoop.h"
#include "media/DisplayLink.h"
#include "media/GLContext.h"
#include "media/RenderThread.h"
#include "media/TextureCache.h"
#include "support/ManualClockScope.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

using media::GLContext;
using media::GLView;
using testsupport::NV12Frame;
using testsupport::NV12Quad;
using testsupport::YUV;

// Draws an NV12 frame through the texture cache; made and destroyed on the
// render thread.
class NV12Delegate : public media::GLViewDelegate {
public:
    explicit NV12Delegate(NV12Frame frame) : frame_(std::move(frame)) {}

    void glView(GLView&, const gfx::Rect& rect) override {
        if (!quad_) {
            cache_ = media::TextureCache::create(GLContext::current(), &error);
            quad_ = NV12Quad::create(&error);
            if (!cache_ || !quad_ || !quad_->upload(*cache_, frame_, &error)) return;
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        quad_->draw();
        rects.push_back(rect);
        threads.push_back(std::this_thread::get_id());
    }

    std::vector<gfx::Rect> rects;
    std::vector<std::thread::id> threads;
    std::string error;

private:
    NV12Frame frame_;
    std::shared_ptr<media::TextureCache> cache_;
    std::unique_ptr<NV12Quad> quad_;
};

// Clears the drawable to the next colour of its list.
class ClearDelegate : public media::GLViewDelegate {
public:
    explicit ClearDelegate(std::vector<gfx::Color> colours) : colours_(std::move(colours)) {}
    void glView(GLView&, const gfx::Rect&) override {
        const gfx::Color c = colours_[draws_++ % colours_.size()];
        glClearColor(float(c.red), float(c.green), float(c.blue), 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

private:
    std::vector<gfx::Color> colours_;
    size_t draws_ = 0;
};

std::array<int, 3> rgbAt(const gfx::ImagePtr& image, int x, int y) {
    const gfx::Color c = image->pixelAt(x, y);
    return {int(std::lround(c.red * 255)), int(std::lround(c.green * 255)),
            int(std::lround(c.blue * 255))};
}

void expectNear(std::array<int, 3> actual, std::array<int, 3> expected, const std::string& where) {
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 3) << where << " channel " << i;
}

class GLViewTest : public testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        context_ = GLContext::create(&reason);
        ASSERT_TRUE(context_) << reason;
        thread_ = media::startRenderThread("gl-view-test");
        window_ = std::make_shared<ui::Window>(gfx::Rect{0, 0, 100, 100});
        window_->setBackgroundColor(gfx::Color::fromRGB(0xFFFFFF));
        view_ = std::make_shared<GLView>(gfx::Rect{10, 20, 40, 30}, context_);
        window_->addSubview(view_);
        // Hand-overs earlier tests left on the main queue.
        while (core::RunLoop::main().runOnce(0) > 0) {
        }
    }
    void TearDown() override {
        onRenderThread([this] {
            view_->deleteDrawable();
            delegate_.reset();
            (void)GLContext::setCurrent(nullptr);
        });
        (void)thread_->perform([] { core::RunLoop::current().stop(); }, false);
        thread_->join();
    }

    void onRenderThread(const std::function<void()>& task) {
        ASSERT_TRUE(thread_->perform(task, true));
    }
    void useDelegate(std::shared_ptr<media::GLViewDelegate> delegate) {
        delegate_ = std::move(delegate);
        view_->setDelegate(delegate_);
    }
    bool displayOnRenderThread() {
        bool shown = false;
        onRenderThread([&] { shown = view_->display(); });
        return shown;
    }
    // Runs the main loop until the picture is another than `before`.
    gfx::ImagePtr awaitPicture(const gfx::ImagePtr& before) {
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return view_->picture() != before; }, 10));
        return view_->picture();
    }

    std::shared_ptr<GLContext> context_;
    std::shared_ptr<core::Thread> thread_;
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<GLView> view_;
    std::shared_ptr<media::GLViewDelegate> delegate_;
};

TEST_F(GLViewTest, AnNV12FrameDrawnOnTheRenderThreadShowsInThePictureAndTheWindow) {
    // Four quadrants, so that a flipped or mirrored picture shows.
    const YUV quadrants[] = {{81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {180, 128, 128}};
    auto frame = NV12Frame::make(
        64, 32, 6, [&](int x, int y) { return quadrants[(x >= 32 ? 1 : 0) + (y >= 16 ? 2 : 0)]; });
    auto delegate = std::make_shared<NV12Delegate>(std::move(frame));
    useDelegate(delegate);
    EXPECT_EQ(view_->drawableWidth(), 80) << "points times the screen scale";
    EXPECT_EQ(view_->drawableHeight(), 60);

    ASSERT_TRUE(displayOnRenderThread()) << view_->lastError();
    EXPECT_EQ(delegate->error, "");
    ASSERT_EQ(delegate->rects.size(), 1u);
    EXPECT_EQ(delegate->rects[0], (gfx::Rect{0, 0, 40, 30}));
    EXPECT_NE(delegate->threads[0], std::this_thread::get_id());
    EXPECT_EQ(view_->picture(), nullptr) << "handed over through the main queue";

    const auto picture = awaitPicture(nullptr);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 80);
    EXPECT_EQ(picture->pixelHeight(), 60);
    EXPECT_EQ(picture->scale(), 2);
    const auto screen = ui::Renderer::render(*window_, 2);
    const int centres[][2] = {{20, 15}, {60, 15}, {20, 45}, {60, 45}};
    for (size_t q = 0; q < 4; ++q) {
        const auto expected = NV12Quad::expectedRGB(quadrants[q]);
        const auto [x, y] = centres[q];
        expectNear(rgbAt(picture, x, y), expected, "picture quadrant " + std::to_string(q));
        expectNear(rgbAt(screen, 20 + x, 40 + y), expected, "window quadrant " + std::to_string(q));
    }
    expectNear(rgbAt(screen, 10, 10), {255, 255, 255}, "outside the view");
}

TEST_F(GLViewTest, TheDisplayLinkDrawsAtTheSizeOfTheLastLayout) {
    testsupport::ManualClockScope clock;
    useDelegate(std::make_shared<ClearDelegate>(std::vector{gfx::Color::fromRGB(0x0000FF)}));
    std::shared_ptr<media::DisplayLink> link;
    onRenderThread([&] {
        link = media::DisplayLink::create([this](media::DisplayLink&) { (void)view_->display(); });
        link->addToRunLoop(core::RunLoop::current());
    });
    clock.advance(1.0 / 60);
    auto picture = awaitPicture(nullptr);
    EXPECT_EQ(picture->pixelWidth(), 80);

    view_->setFrame({0, 0, 50, 25});
    EXPECT_EQ(view_->drawableWidth(), 80) << "until laid out";
    window_->layoutIfNeeded();
    EXPECT_EQ(view_->drawableWidth(), 100);
    EXPECT_EQ(view_->drawableHeight(), 50);
    clock.advance(1.0 / 60);
    picture = awaitPicture(picture);
    EXPECT_EQ(picture->pixelWidth(), 100);
    EXPECT_EQ(picture->pixelHeight(), 50);
    expectNear(rgbAt(picture, 50, 25), {0, 0, 255}, "centre");
    link->invalidate();
}

TEST_F(GLViewTest, FramesDrawnFasterThanTheMainThreadTakesThemHandOverOnlyTheLatest) {
    useDelegate(std::make_shared<ClearDelegate>(std::vector{gfx::Color::fromRGB(0xFF0000),
                                                            gfx::Color::fromRGB(0x00FF00),
                                                            gfx::Color::fromRGB(0x0000FF)}));
    onRenderThread([this] {
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(view_->display());
    });
    EXPECT_EQ(core::RunLoop::main().runOnce(0), 1u) << "one hand-over for the three frames";
    ASSERT_TRUE(view_->picture());
    expectNear(rgbAt(view_->picture(), 40, 30), {0, 0, 255}, "the third frame");
}

TEST_F(GLViewTest, DisplayFailsWithAReasonWithoutAContextOrADrawable) {
    useDelegate(std::make_shared<ClearDelegate>(std::vector{gfx::Color::fromRGB(0x00FF00)}));
    view_->setContext(nullptr);
    EXPECT_FALSE(displayOnRenderThread());
    EXPECT_EQ(view_->lastError(), "no GL context");

    // Current on the main thread, the context cannot draw on the render thread.
    view_->setContext(context_);
    ASSERT_TRUE(GLContext::setCurrent(context_));
    EXPECT_FALSE(displayOnRenderThread());
    EXPECT_EQ(view_->lastError(), "the GL context cannot be made current on this thread");
    GLContext::releaseThread();

    view_->setFrame({0, 0, 9000, 10});  // 18000 pixels: beyond GL's renderbuffer limit
    window_->layoutIfNeeded();
    EXPECT_FALSE(displayOnRenderThread());
    EXPECT_NE(view_->lastError().find("18000x20 RGBA8 renderbuffer failed"), std::string::npos)
        << view_->lastError();

    view_->setFrame({0, 0, 10, 10});
    window_->layoutIfNeeded();
    EXPECT_TRUE(displayOnRenderThread()) << view_->lastError();
    const auto picture = awaitPicture(nullptr);
    expectNear(rgbAt(picture, 10, 10), {0, 255, 0}, "after the failures");
}

}  // namespace
