// The flat video view and the frame source both video views draw from, and
// the ad view's video category that makes, places and replaces them.

#include "ads/video/DZVideoPlayerView.h"

#include <gtest/gtest.h>

#include "VideoTesting.h"
#include "ads/video/DZVideoFrameSource.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "media/GLContext.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace {

using ads::DZVideoFrameSource;
using ads::DZVideoPlayerView;
using videotesting::kClipURL;

constexpr std::array<std::uint8_t, 3> kRed = {230, 20, 40};

class DrawingAdViewDelegate : public adwebtesting::RecordingAdViewDelegate {
public:
    std::vector<gfx::Size> videoSizes;
    void didLoadVideoWithSize(ads::DZAdView&, gfx::Size size) override {
        videoSizes.push_back(size);
    }
};

class FailingGLView : public ads::DZVideoPlayerGLView {
public:
    std::vector<std::shared_ptr<media::Player>> players;
    void setUpWithPlayer(const std::shared_ptr<media::Player>& player) override {
        players.push_back(player);
    }
    void handleUserTouchMovedByVector(double, double) override {}
};

class DZVideoPlayerViewTest : public testing::Test {
protected:
    DZVideoPlayerViewTest() {
        auto media = videotesting::clip(2);
        media.tracks = {videotesting::videoTrack({64, 32})};
        media.frames = {{0, media::PixelBuffer::filled(64, 32, kRed, media::ColorMatrix::itu709)}};
        video.engine->script(kClipURL, media);
    }

    // A ready player of the clip.
    std::shared_ptr<media::Player> readyPlayer() {
        auto player = media::Player::create(media::PlayerItem::create(*core::URL::create(kClipURL)));
        videotesting::ScriptedVideoScope::settle();
        return player;
    }
    // Pulls frames for seconds of clock, one pull per 40 ms.
    void pullFor(DZVideoFrameSource& source, double seconds, int* gaveUp = nullptr) {
        for (double spent = 0; spent < seconds - 1e-9; spent += 0.04) {
            if (source.pull(core::Clock::current()->monotonicSeconds()).gaveUp && gaveUp) ++*gaveUp;
            video.clock.advance(0.04);
        }
    }

    videotesting::ScriptedVideoScope video;
    adwebtesting::ConstantsScope constants;
};

TEST_F(DZVideoPlayerViewTest, TheViewDrawsTheCurrentFrameAspectFit) {
    const auto player = readyPlayer();
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 200, 200));
    window->setBackgroundColor(gfx::Color::white());
    const auto view = std::make_shared<DZVideoPlayerView>(gfx::Rect(0, 0, 200, 200));
    window->addSubview(view);
    view->setUpWithPlayer(player);
    video.clock.advance(0.05);  // a display-link slot
    ASSERT_TRUE(view->picture());

    const auto image = ui::Renderer::render(*window, 1);
    ASSERT_TRUE(image);
    const gfx::Color centre = image->pixelAt(100, 100);
    const auto expected = media::PixelBuffer::filled(1, 1, kRed, media::ColorMatrix::itu709)->rgbAt(0, 0);
    EXPECT_NEAR(centre.red * 255, expected[0], 2);
    EXPECT_NEAR(centre.green * 255, expected[1], 2);
    EXPECT_NEAR(centre.blue * 255, expected[2], 2);
    // 64x32 fits 200x100 in the middle: the window shows above and below.
    EXPECT_EQ(image->pixelAt(100, 20), gfx::Color::white());
    EXPECT_EQ(image->pixelAt(100, 180), gfx::Color::white());
    EXPECT_NE(image->pixelAt(100, 60), gfx::Color::white());
}

TEST_F(DZVideoPlayerViewTest, OptimizationReleasesAPausedItemOffScreenAndGivesTheSameOneBack) {
    const auto player = readyPlayer();
    const auto item = player->currentItem();
    const auto view = std::make_shared<DZVideoPlayerView>();
    view->setUpWithPlayer(player);

    view->optimizeVideoForAdVisibility(false);  // not enabled yet
    EXPECT_EQ(player->currentItem(), item);
    view->enableVideoPlaybackOptimization();
    view->optimizeVideoForAdVisibility(false);
    EXPECT_FALSE(player->currentItem());
    view->optimizeVideoForAdVisibility(true);
    EXPECT_EQ(player->currentItem(), item);

    player->play();
    view->optimizeVideoForAdVisibility(false);  // playing keeps its item
    EXPECT_EQ(player->currentItem(), item);
    player->pause();
    view->optimizeVideoForAdVisibility(false);
    view->disableVideoPlaybackOptimization();
    view->optimizeVideoForAdVisibility(true);  // off: nothing comes back
    EXPECT_FALSE(player->currentItem());
    view->resetVideoPlaybackOptimization();
    EXPECT_EQ(player->currentItem(), item);
}

TEST_F(DZVideoPlayerViewTest, TheServerFlagTurnsEveryOptimizationOperationIntoNothing) {
    constants.set(DZVideoPlayerView::kOptimizationDisabledKey, true);
    const auto player = readyPlayer();
    const auto item = player->currentItem();
    const auto view = std::make_shared<DZVideoPlayerView>();
    ASSERT_TRUE(view->playbackOptimizationDisabledBySDKCore());
    view->setUpWithPlayer(player);
    view->enableVideoPlaybackOptimization();
    EXPECT_FALSE(view->playbackOptimizationEnabled());
    view->optimizeVideoForAdVisibility(false);
    EXPECT_EQ(player->currentItem(), item);
    player->replaceCurrentItem(nullptr);
    view->resetVideoPlaybackOptimization();
    EXPECT_FALSE(player->currentItem());
}

TEST_F(DZVideoPlayerViewTest, AFramelessOutputIsReplacedTenTimesAtMostPerRenderingStart) {
    auto blank = videotesting::clip(2);
    video.engine->script("https://ads.example/blank.mp4", blank);
    const auto player =
        media::Player::create(media::PlayerItem::create(*core::URL::create("https://ads.example/blank.mp4")));
    video.settle();
    DZVideoFrameSource source(player);
    ASSERT_DOUBLE_EQ(source.emptyOutputThreshold(), 0.1);
    source.start();
    const auto first = source.videoOutput();
    int gaveUp = 0;
    pullFor(source, 0.3, &gaveUp);
    EXPECT_EQ(source.outputReplacements(), 2);
    EXPECT_NE(source.videoOutput(), first);
    EXPECT_FALSE(first->isAttached());
    pullFor(source, 5, &gaveUp);
    EXPECT_EQ(source.outputReplacements(), DZVideoFrameSource::kMaximumOutputReplacements);
    EXPECT_TRUE(source.hasGivenUp());
    EXPECT_EQ(gaveUp, 1);
    EXPECT_TRUE(source.videoOutput()->isAttached());

    // A new rendering start may retry again.
    source.start();
    EXPECT_FALSE(source.hasGivenUp());
    EXPECT_EQ(source.outputReplacements(), 0);
}

TEST_F(DZVideoPlayerViewTest, AnOutputWithFramesIsKeptAndTheServerSetsTheWait) {
    constants.set(DZVideoFrameSource::kEmptyOutputThresholdKey, "0.5");
    const auto player = readyPlayer();
    DZVideoFrameSource source(player);
    EXPECT_DOUBLE_EQ(source.emptyOutputThreshold(), 0.5);
    source.start();
    const auto pulled = source.pull(core::Clock::current()->monotonicSeconds());
    ASSERT_TRUE(pulled.frame);
    EXPECT_EQ(pulled.frame->rgbAt(0, 0), pulled.frame->rgbAt(63, 31));
    pullFor(source, 2);
    EXPECT_TRUE(source.hasDisplayedAtLeastOnePixelBuffer());
    EXPECT_EQ(source.outputReplacements(), 0);
}

class DZAdViewVideoTest : public DZVideoPlayerViewTest {
protected:
    DZAdViewVideoTest() { page.adView->setDelegate(delegate); }

    void play(const std::string& url = kClipURL) {
        page.adView->setUpVideoPlayerWithURL(core::URL::create(url), nullptr, nullptr);
        EXPECT_TRUE(adwebtesting::waitFor([&] { return page.adView->videoPlayerView() != nullptr; }));
    }

    videotesting::RecordingAdView page;
    std::shared_ptr<DrawingAdViewDelegate> delegate = std::make_shared<DrawingAdViewDelegate>();
};

TEST_F(DZAdViewVideoTest, AReadySourceGetsAFlatViewUnderThePage) {
    const auto& adView = page.adView;
    play();
    const auto player = adView->videoPlayer();
    ASSERT_TRUE(player);
    EXPECT_EQ(player->delegate().get(), static_cast<ads::DZVideoPlayerDelegate*>(adView.get()));
    const auto view = std::dynamic_pointer_cast<DZVideoPlayerView>(adView->videoPlayerView());
    ASSERT_TRUE(view);
    ASSERT_FALSE(adView->subviews().empty());
    EXPECT_EQ(adView->subviews().front(), view);
    EXPECT_EQ(view->player(), player->player());
    EXPECT_TRUE(view->playbackOptimizationEnabled());
    ASSERT_EQ(delegate->videoSizes.size(), 1u);
    EXPECT_EQ(delegate->videoSizes[0], player->videoSize());

    // Layout places it at the page's frame; the zero frame fills the ad view.
    adView->setCachedVideoPlayerFrame({10, 20, 100, 50});
    adView->layoutIfNeeded();
    adView->setNeedsLayout();
    adView->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (gfx::Rect{10, 20, 100, 50}));
    adView->setVideoPlayerFrame({});
    EXPECT_EQ(view->frame(), adView->bounds());
    adView->rotateVideoToDegrees(90);
    EXPECT_NEAR(view->transform().b, 1, 1e-9);

    // A new source keeps the player and drops the old view at once.
    play();
    EXPECT_EQ(adView->videoPlayer(), player);
    EXPECT_NE(adView->videoPlayerView(), view);
    EXPECT_FALSE(view->superview());
}

TEST_F(DZAdViewVideoTest, ASphericalAdToldOfTheMissingRendererPlaysFlat) {
    media::GLContext::failCreationForTesting("no GPU here");
    page.adView->setSpherical(true);
    play();
    media::GLContext::failCreationForTesting(std::nullopt);
    EXPECT_FALSE(page.adView->spherical());
    EXPECT_TRUE(std::dynamic_pointer_cast<DZVideoPlayerView>(page.adView->videoPlayerView()));
    std::vector<core::Value> failures;
    for (const auto& event : page.arguments("onVideoEvent"))
        if (event["event"] == core::Value("spherical_rendering_failed")) failures.push_back(event);
    EXPECT_EQ(failures, (std::vector<core::Value>{core::Dictionary{
                            {"event", "spherical_rendering_failed"},
                            {"error", "Failed to create spherical renderer."}}}));
}

TEST_F(DZAdViewVideoTest, AFailing360DegreeViewFallsBackToAFlatViewWithTheSamePlayer) {
    play();
    const auto avPlayer = page.adView->videoPlayer()->player();
    const auto glView = std::make_shared<FailingGLView>();
    page.adView->setVideoPlayerView(glView);
    page.adView->setSpherical(true);
    page.clear();

    const auto error = ads::DZErrorWithDomainCodeDescription(
        ads::DZVideoPlayerGLView::kErrorDomain, ads::DZVideoPlayerGLView::kErrorCode,
        DZVideoFrameSource::kNoFramesMessage);
    const auto other = std::make_shared<FailingGLView>();
    page.adView->videoPlayerGLViewDidFailToSetupVideoPlayer(*other, avPlayer, error);
    EXPECT_EQ(page.adView->videoPlayerView(), glView);  // not the current view: logged only

    page.adView->videoPlayerGLViewDidFailToSetupVideoPlayer(*glView, avPlayer, error);
    EXPECT_FALSE(page.adView->spherical());
    const auto flat = std::dynamic_pointer_cast<DZVideoPlayerView>(page.adView->videoPlayerView());
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->player(), avPlayer);
    EXPECT_EQ(glView->players, (std::vector<std::shared_ptr<media::Player>>{nullptr}));
    EXPECT_FALSE(glView->delegate());
    EXPECT_EQ(page.arguments("onVideoEvent"),
              (std::vector<core::Value>{core::Dictionary{
                  {"event", "spherical_rendering_failed"},
                  {"error", "Video output produced no frames."}}}));
}

}  // namespace
