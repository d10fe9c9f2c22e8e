// The 360-degree video view: its render thread and display link as the
// player, the window and the application change, what it draws, and the ad
// view's fallbacks to the flat view when it cannot render.

#include "ads/video/DZVideoPlayerGLView.h"

#include <gtest/gtest.h>

#include <GLES3/gl3.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>

#include "SphereTesting.h"
#include "VideoTesting.h"
#include "ads/video/DZGLSphericalShader.h"
#include "ads/video/DZVideoFrameSource.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerView.h"
#include "media/DisplayLink.h"
#include "media/GLContext.h"
#include "media/GLView.h"
#include "support/ValuePrinting.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"

namespace {

using ads::DZVideoPlayerGLView;
using media::ColorMatrix;
using namespace spheretesting;

constexpr const char* kSphereURL = "https://ads.example/sphere.mp4";
constexpr const char* kBlankURL = "https://ads.example/blank.mp4";

class RecordingGLViewDelegate : public ads::DZVideoPlayerGLViewDelegate {
public:
    std::vector<std::shared_ptr<media::Player>> setUps;
    std::vector<ads::Error> failures;
    void videoPlayerGLViewDidSetUpVideoPlayer(DZVideoPlayerGLView&,
                                              const std::shared_ptr<media::Player>& player) override {
        setUps.push_back(player);
    }
    void videoPlayerGLViewDidFailToSetupVideoPlayer(DZVideoPlayerGLView&,
                                                    const std::shared_ptr<media::Player>&,
                                                    const ads::Error& error) override {
        failures.push_back(error);
    }
};

// Scripted clips of the synthetic sphere and of nothing at all, an active
// application with an upright device in portrait, and a window.
class DZVideoPlayerGLViewTest : public testing::Test {
protected:
    DZVideoPlayerGLViewTest() {
        auto sphere = videotesting::clip(2);
        sphere.tracks = {videotesting::videoTrack({256, 128})};
        sphere.frames = {{0, scene(ColorMatrix::itu709)}};
        video.engine->script(kSphereURL, sphere);
        auto blank = videotesting::clip(2);
        blank.tracks = {videotesting::videoTrack({256, 128})};
        video.engine->script(kBlankURL, blank);
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        ui::DeviceProfile::setInterfaceOrientation(1);
        media::MotionManager::overrideEnvironmentForTesting(media::MotionEnvironment{true, kUpright});
        window->setBackgroundColor(gfx::Color::white());
    }
    ~DZVideoPlayerGLViewTest() override {
        DZVideoPlayerGLView::setShaderFactoryForTesting(nullptr);
        media::MotionManager::overrideEnvironmentForTesting(std::nullopt);
        ui::DeviceProfile::overrideForTesting(savedProfile_);
        ui::Application::shared().resetForTesting();
    }

    std::shared_ptr<media::Player> readyPlayer(const char* url = kSphereURL) {
        auto player = media::Player::create(media::PlayerItem::create(*core::URL::create(url)));
        videotesting::ScriptedVideoScope::settle();
        return player;
    }
    // A view in the window showing the player.
    std::shared_ptr<DZVideoPlayerGLView> show(const std::shared_ptr<media::Player>& player) {
        auto view = DZVideoPlayerGLView::create({0, 0, 51, 101});
        EXPECT_TRUE(view);
        if (!view) return nullptr;
        view->setDelegate(delegate);
        window->addSubview(view);
        view->layoutIfNeeded();
        view->setUpWithPlayer(player);
        return view;
    }
    // Waits until the render thread has run what was handed to it so far,
    // then until the main queue has taken over what it drew.
    static void settleRendering(const DZVideoPlayerGLView& view) {
        if (const auto thread = view.renderThread()) (void)thread->perform([] {}, true);
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    // One display-link slot later, once the render thread has taken what
    // was handed to it (its set-up, a drag) and started the link's slots.
    void nextFrame(const DZVideoPlayerGLView& view) {
        settleRendering(view);
        video.clock.advance(1 / media::DisplayLink::kFramesPerSecond);
        settleRendering(view);
    }
    static RGB centre(const DZVideoPlayerGLView& view) {
        const auto picture = view.glView()->picture();
        if (!picture) return {-1, -1, -1};
        return rgbOf(picture->pixelAt(picture->pixelWidth() / 2, picture->pixelHeight() / 2));
    }
    static RGB band(int index) { return expectedRGB(kBands[index], ColorMatrix::itu709); }

    videotesting::ScriptedVideoScope video;
    adwebtesting::ConstantsScope constants;
    std::shared_ptr<RecordingGLViewDelegate> delegate = std::make_shared<RecordingGLViewDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));

private:
    ui::DeviceProfile savedProfile_ = ui::DeviceProfile::current();
};

TEST_F(DZVideoPlayerGLViewTest, DrawsTheFrameOnTheSphereAndTurnsWithDrags) {
    const auto player = readyPlayer();
    const auto view = show(player);
    ASSERT_TRUE(view && view->renderThread());
    EXPECT_EQ(view->currentPlayer(), player);
    EXPECT_EQ(view->renderThread()->name(), DZVideoPlayerGLView::kRenderThreadName);
    EXPECT_EQ(view->glView()->superview().get(), view.get());
    EXPECT_EQ(view->glView()->frame(), view->bounds());
    settleRendering(*view);
    EXPECT_EQ(delegate->setUps, (std::vector<std::shared_ptr<media::Player>>{player}));
    EXPECT_TRUE(delegate->failures.empty());
    ASSERT_TRUE(view->sphericalShader());
    EXPECT_TRUE(view->sphericalShader()->isTrackingMotion());
    EXPECT_FALSE(view->displayLink()->isPaused());
    EXPECT_FALSE(view->glView()->picture()) << "nothing drawn before the first slot";

    nextFrame(*view);
    ASSERT_TRUE(view->glView()->picture());
    EXPECT_EQ(view->glView()->picture()->pixelWidth(), 51 * 2) << "the screen's scale";
    expectColour(centre(*view), band(4), "ahead, u = 0.5");
    EXPECT_TRUE(view->frameSource()->hasDisplayedAtLeastOnePixelBuffer());

    // The drag goes over to the render thread; no new frame comes, the
    // current one is drawn turned.
    view->handleUserTouchMovedByVector(450, 0);
    nextFrame(*view);
    expectColour(centre(*view), band(2), "dx 450 at 0.2 turns 90 degrees, u = 0.25");

    // Stopping ends the thread and lets the output and the link go.
    const auto thread = view->renderThread();
    const auto link = view->displayLink();
    const auto output = view->frameSource()->videoOutput();
    view->setUpWithPlayer(nullptr);
    EXPECT_FALSE(view->renderThread());
    EXPECT_FALSE(view->currentPlayer());
    EXPECT_TRUE(thread->isFinished());
    EXPECT_FALSE(link->isValid());
    EXPECT_FALSE(output->isAttached());
    EXPECT_FALSE(view->glView()->context()) << "the context is taken from the GL view";

    // The same player again renders anew.
    view->setUpWithPlayer(player);
    ASSERT_TRUE(view->renderThread());
    nextFrame(*view);
    expectColour(centre(*view), band(4), "a new rendering starts unturned");
    EXPECT_EQ(delegate->setUps.size(), 2u);
}

TEST_F(DZVideoPlayerGLViewTest, APlayerWithoutAnItemStartsNothingAndDragsWithoutRenderingAreDropped) {
    const auto view = show(media::Player::create());
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->renderThread());
    view->handleUserTouchMovedByVector(450, 0);
    settleRendering(*view);
    EXPECT_TRUE(delegate->setUps.empty());

    view->setUpWithPlayer(readyPlayer());
    ASSERT_TRUE(view->renderThread());
    nextFrame(*view);
    expectColour(centre(*view), band(4), "the dropped drag did not turn the view");
}

TEST_F(DZVideoPlayerGLViewTest, LeavingTheWindowPausesAndReturningReplacesTheOutputAndResumes) {
    const auto view = show(readyPlayer());
    ASSERT_TRUE(view);
    nextFrame(*view);
    const auto link = view->displayLink();
    const auto output = view->frameSource()->videoOutput();
    const auto frames = link->frameCount();

    view->removeFromSuperview();
    settleRendering(*view);
    EXPECT_TRUE(link->isPaused());
    nextFrame(*view);
    EXPECT_EQ(link->frameCount(), frames);
    EXPECT_EQ(view->frameSource()->videoOutput(), output);

    window->addSubview(view);
    settleRendering(*view);
    EXPECT_FALSE(link->isPaused());
    EXPECT_NE(view->frameSource()->videoOutput(), output);
    EXPECT_FALSE(output->isAttached());
    EXPECT_TRUE(view->frameSource()->videoOutput()->isAttached());
    nextFrame(*view);
    EXPECT_EQ(link->frameCount(), frames + 1);
    expectColour(centre(*view), band(4), "the new output gives the frame on screen");
}

TEST_F(DZVideoPlayerGLViewTest, APausedVideoBackInTheWindowKeepsItsPictureWithoutFrames) {
    const auto player = readyPlayer();
    const auto view = show(player);
    ASSERT_TRUE(view);
    nextFrame(*view);
    expectColour(centre(*view), band(4), "the first frame");
    // Sought while paused, the item has no frame to give until the engine
    // decodes one (the scripted engine never does).
    player->seekToTime(media::Time::seconds(1));
    videotesting::ScriptedVideoScope::settle();

    view->removeFromSuperview();
    window->addSubview(view);
    for (int i = 0; i < 90; ++i) nextFrame(*view);
    EXPECT_TRUE(delegate->failures.empty()) << "a frame was shown: the output is not given up";
    EXPECT_EQ(view->frameSource()->outputReplacements(), 0);
    expectColour(centre(*view), band(4), "the picture stays");
}

TEST_F(DZVideoPlayerGLViewTest, BackgroundWaitsForTheRenderThreadAndForegroundResumes) {
    const auto view = show(readyPlayer());
    ASSERT_TRUE(view);
    settleRendering(*view);
    const auto link = view->displayLink();
    ASSERT_FALSE(link->isPaused());

    // The render thread is busy for a while when the app leaves: the view
    // must wait for it to pause the link before the app goes on.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    (void)view->renderThread()->perform(
        [&] {
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::milliseconds(200), [&] { return release; });
        },
        false);
    ui::Application::shared().enterBackground();
    EXPECT_TRUE(link->isPaused());
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();

    const auto frames = link->frameCount();
    nextFrame(*view);
    EXPECT_EQ(link->frameCount(), frames);

    ui::Application::shared().becomeActive();
    settleRendering(*view);
    EXPECT_FALSE(link->isPaused());
    nextFrame(*view);
    EXPECT_EQ(link->frameCount(), frames + 1);
}

TEST_F(DZVideoPlayerGLViewTest, TheShaderGetsTheServersTouchMultipliersAndItsFailureIsReported) {
    std::vector<std::pair<double, double>> asked;
    DZVideoPlayerGLView::setShaderFactoryForTesting([&](double pitch, double roll, ads::Error*) {
        asked.emplace_back(pitch, roll);  // the render thread, while the test waits
        return std::shared_ptr<ads::DZGLSphericalShader>();
    });
    const struct {
        core::Value pitch, roll;
        std::pair<double, double> expected;
    } cases[] = {
        {core::Value(), core::Value(), {0.2, 0.2}},
        {core::Value(0.5), core::Value("0.3"), {0.5, 0.3}},
        {core::Value(std::numeric_limits<double>::infinity()), core::Value("left"), {0.2, 0.2}},
    };
    const auto player = readyPlayer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.first);
        if (!c.pitch.isNull()) constants.set(DZVideoPlayerGLView::kPitchMultiplierKey, c.pitch);
        if (!c.roll.isNull()) constants.set(DZVideoPlayerGLView::kRollMultiplierKey, c.roll);
        delegate->failures.clear();
        asked.clear();
        const auto view = show(player);
        ASSERT_TRUE(view);
        settleRendering(*view);
        EXPECT_EQ(asked, (std::vector<std::pair<double, double>>{c.expected}));
        ASSERT_EQ(delegate->failures.size(), 1u);
        EXPECT_EQ(delegate->failures[0].domain, DZVideoPlayerGLView::kErrorDomain);
        EXPECT_EQ(delegate->failures[0].code, DZVideoPlayerGLView::kErrorCode);
        EXPECT_EQ(delegate->failures[0].message, "Failed to create spherical shader.");
        EXPECT_TRUE(delegate->setUps.empty());
        EXPECT_TRUE(view->displayLink()->isPaused()) << "nothing to draw with";
        view->setUpWithPlayer(nullptr);
    }

    // A report that arrives after the view moved on is not delivered.
    delegate->failures.clear();
    const auto view = show(player);
    ASSERT_TRUE(view);
    (void)view->renderThread()->perform([] {}, true);
    view->setUpWithPlayer(nullptr);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(delegate->failures.empty());
}

TEST_F(DZVideoPlayerGLViewTest, AnOutputThatNeverGivesAFrameIsReportedOnceAfterTenReplacements) {
    const auto view = show(readyPlayer(kBlankURL));
    ASSERT_TRUE(view);
    settleRendering(*view);
    for (int i = 0; i < 200 && delegate->failures.empty(); ++i) nextFrame(*view);
    ASSERT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(delegate->failures[0].message, "Video output produced no frames.");
    EXPECT_EQ(delegate->failures[0].code, DZVideoPlayerGLView::kErrorCode);
    EXPECT_EQ(view->frameSource()->outputReplacements(),
              ads::DZVideoFrameSource::kMaximumOutputReplacements);
    for (int i = 0; i < 30; ++i) nextFrame(*view);
    EXPECT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(centre(*view), (RGB{0, 0, 0})) << "black without a frame";
}

TEST_F(DZVideoPlayerGLViewTest, AFrameWhosePlanesCannotBeMadeLeavesThePreviousPictureOnScreen) {
    const auto player = readyPlayer();
    const auto view = show(player);
    ASSERT_TRUE(view);
    nextFrame(*view);
    expectColour(centre(*view), band(4), "the first frame");

    // While a pixel unpack buffer of 16 bytes is bound, GL takes the
    // planes' addresses as offsets into it and refuses every upload.
    GLuint unpack = 0;
    const auto bindUnpackBuffer = [&](bool bind) {
        (void)view->renderThread()->perform(
            [&] {
                if (bind) {
                    glGenBuffers(1, &unpack);
                    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, unpack);
                    glBufferData(GL_PIXEL_UNPACK_BUFFER, 16, nullptr, GL_STATIC_DRAW);
                } else {
                    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
                    glDeleteBuffers(1, &unpack);
                }
            },
            true);
    };
    bindUnpackBuffer(true);
    player->play();
    video.engine->deliverFrame(kSphereURL, scene(ColorMatrix::itu601), 0.5);
    video.clock.advance(0.5);
    nextFrame(*view);
    expectColour(centre(*view), band(4), "the frame that cannot be made is skipped");
    EXPECT_TRUE(delegate->failures.empty());

    bindUnpackBuffer(false);
    video.engine->deliverFrame(kSphereURL, scene(ColorMatrix::itu601), 1);
    video.clock.advance(0.5);
    nextFrame(*view);
    expectColour(centre(*view), expectedRGB(kBands[4], ColorMatrix::itu601), "the next good one");
}

// The ad view's 360-degree path with the real view.
class DZAdViewSphericalTest : public DZVideoPlayerGLViewTest {
protected:
    DZAdViewSphericalTest() {
        window->addSubview(page.adView);
        page.adView->setSpherical(true);
    }
    ~DZAdViewSphericalTest() override { media::GLContext::failCreationForTesting(std::nullopt); }

    void play(const std::string& url) {
        page.adView->setUpVideoPlayerWithURL(core::URL::create(url), nullptr, nullptr);
        EXPECT_TRUE(adwebtesting::waitFor([&] { return page.adView->videoPlayerView() != nullptr; }));
    }
    [[nodiscard]] std::shared_ptr<DZVideoPlayerGLView> sphereView() const {
        return std::dynamic_pointer_cast<DZVideoPlayerGLView>(page.adView->videoPlayerView());
    }
    // The flat view the ad fell back to, once it did.
    [[nodiscard]] std::shared_ptr<ads::DZVideoPlayerView> flatView() const {
        std::shared_ptr<ads::DZVideoPlayerView> flat;
        EXPECT_TRUE(adwebtesting::waitFor([&] {
            flat = std::dynamic_pointer_cast<ads::DZVideoPlayerView>(
                page.adView->videoPlayerView());
            return flat != nullptr;
        }));
        return flat;
    }
    [[nodiscard]] std::vector<core::Value> failures() const {
        std::vector<core::Value> found;
        for (const auto& event : page.arguments("onVideoEvent"))
            if (event["event"] == core::Value("spherical_rendering_failed")) found.push_back(event);
        return found;
    }
    static core::Value failure(const char* message) {
        return core::Dictionary{{"event", "spherical_rendering_failed"}, {"error", message}};
    }

    videotesting::RecordingAdView page;
};

TEST_F(DZAdViewSphericalTest, ASphericalAdShowsTheSphereUnderThePage) {
    play(kSphereURL);
    const auto view = sphereView();
    ASSERT_TRUE(view);
    ASSERT_FALSE(page.adView->subviews().empty());
    EXPECT_EQ(page.adView->subviews().front(), view);
    EXPECT_EQ(view->currentPlayer(), page.adView->videoPlayer()->player());
    EXPECT_EQ(view->delegate().get(),
              static_cast<ads::DZVideoPlayerGLViewDelegate*>(page.adView.get()));
    settleRendering(*view);
    nextFrame(*view);
    expectColour(centre(*view), band(4), "the sphere");
    EXPECT_TRUE(page.adView->spherical());
    EXPECT_TRUE(failures().empty());

    // A new source drops the view and its rendering at once.
    const auto thread = view->renderThread();
    play(kSphereURL);
    EXPECT_TRUE(thread->isFinished());
    EXPECT_FALSE(view->delegate());
    EXPECT_NE(sphereView(), view);
}

TEST_F(DZAdViewSphericalTest, EachRenderingFailureTellsThePageAndPlaysTheSamePlayerFlat) {
    const struct {
        const char* what;
        const char* url;
        bool failContext;
        bool failShader;
        const char* message;
    } cases[] = {
        {"no context", kSphereURL, true, false, "Failed to create spherical renderer."},
        {"no shader", kSphereURL, false, true, "Failed to create spherical shader."},
        {"no frames", kBlankURL, false, false, "Video output produced no frames."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        page.clear();
        page.adView->setSpherical(true);
        media::GLContext::failCreationForTesting(
            c.failContext ? std::optional<std::string>("no GPU") : std::nullopt);
        DZVideoPlayerGLView::setShaderFactoryForTesting(
            c.failShader ? DZVideoPlayerGLView::ShaderFactory(
                               [](double, double, ads::Error*) { return nullptr; })
                         : nullptr);
        play(c.url);
        if (const auto view = sphereView()) {
            for (int i = 0; i < 200 && sphereView() == view; ++i) nextFrame(*view);
        }
        const auto flat = flatView();
        ASSERT_TRUE(flat);
        EXPECT_EQ(flat->player(), page.adView->videoPlayer()->player());
        EXPECT_FALSE(page.adView->spherical());
        EXPECT_EQ(failures(), (std::vector<core::Value>{failure(c.message)}));
    }
}

}  // namespace
