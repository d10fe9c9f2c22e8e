// 360-degree video on the FFmpeg engine: the equirectangular fixture decoded
// and drawn on the sphere by the GL view, and a spherical creative of the
// local ad server whose page plays it and drags it with "touchMove".

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "SphereTesting.h"
#include "VideoTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/video/DZGLSphericalShader.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/LoopbackResponse.h"
#include "media/DisplayLink.h"
#include "media/FFmpegEngine.h"
#include "media/GLView.h"
#include "support/TestEnvironment.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace {

using ads::DZVideoPlayerGLView;
using fixtures::FixtureVideos;
using media::ColorMatrix;
using namespace spheretesting;

// The FFmpeg engine on a manual clock, an active application in portrait,
// a device whose motion is on and upright, and a window.
class DZSphericalVideoService : public testing::Test {
protected:
    DZSphericalVideoService() {
        ads::DZMobileAds::resetForTesting();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
        ui::Application::shared().resetForTesting();
        ui::Application::shared().becomeActive();
        ui::DeviceProfile::setInterfaceOrientation(1);
        media::MotionManager::overrideEnvironmentForTesting(media::MotionEnvironment{true, kUpright});
        window->setBackgroundColor(gfx::Color::white());
    }
    ~DZSphericalVideoService() override {
        media::MotionManager::overrideEnvironmentForTesting(std::nullopt);
        ui::DeviceProfile::overrideForTesting(savedProfile_);
        ui::Application::shared().resetForTesting();
        ads::DZMobileAds::resetForTesting();
    }

    // Steps the clock one display-link slot at a time, letting the engine's
    // and the render thread's work catch up, until the view's picture
    // satisfies the predicate.
    bool stepUntil(const DZVideoPlayerGLView& view, const std::function<bool(RGB)>& shown) {
        for (int slot = 0; slot < 120; ++slot) {
            if (const auto thread = view.renderThread()) (void)thread->perform([] {}, true);
            if (adwebtesting::waitFor([&] { return shown(centre(view)); }, 0.05)) return true;
            clock.advance(1 / media::DisplayLink::kFramesPerSecond);
        }
        return false;
    }
    static RGB centre(const DZVideoPlayerGLView& view) {
        const auto picture = view.glView()->picture();
        if (!picture) return {-1, -1, -1};
        return rgbOf(picture->pixelAt(picture->pixelWidth() / 2, picture->pixelHeight() / 2));
    }
    static auto showing(RGB expected) {
        return [expected](RGB actual) { return nearColour(actual, expected); };
    }
    // A frame of the item, through an output of the test's own (the
    // fixture's frames are all alike).
    static std::shared_ptr<const media::PixelBuffer> frameOf(media::PlayerItem& item) {
        const auto output = media::VideoOutput::create();
        item.addOutput(output);
        std::shared_ptr<const media::PixelBuffer> frame;
        (void)adwebtesting::waitFor([&] {
            const auto now = core::Clock::current()->monotonicSeconds();
            frame = output->copyPixelBufferForItemTime(output->itemTimeForHostTime(now + 10));
            return frame != nullptr;
        });
        item.removeOutput(output);
        return frame;
    }
    // The colour the program gives for the frame's pixel at longitude u on
    // the horizon.
    static RGB colourAt(const media::PixelBuffer& frame, double u) {
        return expectedRGB(yuvAt(frame, int(u * frame.width()), frame.height() / 2),
                           frame.colorMatrix());
    }

    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create()};
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));

private:
    ui::DeviceProfile savedProfile_ = ui::DeviceProfile::current();
};

TEST_F(DZSphericalVideoService, ADecodedFrameShowsTheBandAheadAndTurnsWithDragsOnlyWithMotion) {
    struct Shown {
        std::shared_ptr<media::Player> player;
        std::shared_ptr<DZVideoPlayerGLView> view;
    };
    // The fixture playing from its start in a new view in the window.
    const auto playFixture = [&] {
        Shown shown;
        shown.player = media::Player::create(media::PlayerItem::create(
            core::URL::fileURL(FixtureVideos::path(FixtureVideos::kSphere709))));
        EXPECT_TRUE(adwebtesting::waitFor(
            [&] { return shown.player->status() == media::Player::Status::readyToPlay; }));
        shown.player->play();
        shown.view = DZVideoPlayerGLView::create({0, 0, 101, 51});
        if (!shown.view) return shown;
        window->addSubview(shown.view);
        shown.view->layoutIfNeeded();
        shown.view->setUpWithPlayer(shown.player);
        return shown;
    };

    const Shown withMotion = playFixture();
    ASSERT_TRUE(withMotion.view);
    const auto frame = frameOf(*withMotion.player->currentItem());
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->width(), 512);
    EXPECT_EQ(frame->colorMatrix(), ColorMatrix::itu709);
    const RGB ahead = colourAt(*frame, 0.5);
    const RGB quarter = colourAt(*frame, 0.25);
    ASSERT_FALSE(nearColour(ahead, quarter));
    ASSERT_TRUE(stepUntil(*withMotion.view, showing(ahead)));
    withMotion.view->handleUserTouchMovedByVector(450, 0);
    EXPECT_TRUE(stepUntil(*withMotion.view, showing(quarter))) << "dx 450 at 0.2 turns to u = 0.25";
    withMotion.view->setUpWithPlayer(nullptr);

    // Without device motion the view keeps its fixed base: a drag changes
    // no pixel.
    media::MotionManager::overrideEnvironmentForTesting(std::nullopt);
    const Shown withoutMotion = playFixture();
    const auto& view = withoutMotion.view;
    ASSERT_TRUE(view);
    ASSERT_TRUE(stepUntil(*view, [](RGB c) { return c[0] >= 0 && c != RGB{0, 0, 0}; }));
    ASSERT_TRUE(view->sphericalShader());
    EXPECT_FALSE(view->sphericalShader()->isTrackingMotion());
    const auto still = view->glView()->picture();
    view->handleUserTouchMovedByVector(450, 300);
    ASSERT_TRUE(stepUntil(*view, [&](RGB) { return view->glView()->picture() != still; }));
    const auto dragged = view->glView()->picture();
    ASSERT_EQ(dragged->pixelWidth(), still->pixelWidth());
    for (int y = 0; y < still->pixelHeight(); ++y)
        for (int x = 0; x < still->pixelWidth(); ++x)
            ASSERT_EQ(rgbOf(dragged->pixelAt(x, y)), rgbOf(still->pixelAt(x, y))) << x << "," << y;
}

// Places the player over #player as a 360-degree video, sets the source
// and plays once it can; "turn(dx, dy)" drags it.
constexpr const char* kSphericalCreative = R"(
window.log = [];
function send(query) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'dmsg://duzo/video?' + query;
  document.body.appendChild(frame);
}
window.turn = function (dx, dy) { send('action=touchMove&dx=' + dx + '&dy=' + dy); return 0; };
window.DUZO_ReceiveMessage = function (name, argument) {
  if (name !== 'onVideoEvent') return;
  window.log.push(argument.event);
  if (argument.event === 'canplaythrough') send('action=play');
};
var box = document.getElementById('player').getBoundingClientRect();
send('action=new&spherical=1&x=' + box.left + '&y=' + box.top + '&w=' + box.width +
     '&h=' + box.height);
send('action=src&src=' + encodeURIComponent(document.body.dataset.video));
)";

TEST_F(DZSphericalVideoService, ASphericalCreativePlaysTheFixtureOnTheSphereAndTouchMovesTurnIt) {
    fixtures::AdServer server;
    server.serve("/creatives/sphere.js",
                 fixtures::LoopbackResponse::text(kSphericalCreative, 200, "text/javascript"));
    const auto videoURL = server.videoURL(FixtureVideos::kSphere709);
    const auto adView = ads::DZAdView::create({0, 100, 320, 250});
    ASSERT_TRUE(adView);
    const auto delegate = std::make_shared<ads::DZAdViewDelegate>();
    adView->setDelegate(delegate);
    window->addSubview(adView);
    auto ad = std::make_shared<ads::DZAd>();
    ad->setAdHTML("<html><body style='margin:0; background:transparent' data-video='" +
                  videoURL.absoluteString() +
                  "'><div id='player' style='position:absolute; left:40px; top:60px;"
                  " width:200px; height:100px'></div>"
                  "<script src='/creatives/sphere.js'></script></body></html>");
    ad->setAdBaseURL(server.url("/creatives/sphere.html"));
    adView->setAd(ad);

    ASSERT_TRUE(adwebtesting::waitFor([&] {
        const auto& player = adView->videoPlayer();
        return player && player->isPlaying();
    }));
    const auto view = std::dynamic_pointer_cast<DZVideoPlayerGLView>(adView->videoPlayerView());
    ASSERT_TRUE(view) << "the spherical creative gets the 360-degree view";
    EXPECT_TRUE(adView->spherical());
    const auto item = adView->videoPlayer()->player()->currentItem();
    ASSERT_TRUE(item);
    const auto frame = frameOf(*item);
    ASSERT_TRUE(frame);
    adView->layoutIfNeeded();
    EXPECT_EQ(view->frame(), (gfx::Rect{40, 60, 200, 100}));
    ASSERT_TRUE(stepUntil(*view, showing(colourAt(*frame, 0.5))));

    // The page drags the view a quarter turn.
    (void)adwebtesting::evaluate(*adView->webView(), "turn(450, 0)");
    ASSERT_TRUE(stepUntil(*view, showing(colourAt(*frame, 0.25))));
    const auto log = adwebtesting::evaluate(*adView->webView(), "window.log");
    for (const auto& event : *log.array())
        EXPECT_NE(event.stringValue(), "spherical_rendering_failed");

    // The window's PNG shows the sphere under the page.
    ASSERT_TRUE(web::WebView::awaitSnapshots(adwebtesting::kLoadLimit));
    const std::string path = testsupport::testHome() + "/sphere.png";
    ASSERT_TRUE(ui::Renderer::writePNG(*window, path));
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const auto image = gfx::Image::decode(bytes);
    ASSERT_TRUE(image);
    const double scale = double(image->pixelWidth()) / 320;
    const auto at = [&](double x, double y) {
        return rgbOf(image->pixelAt(int(x * scale), int(y * scale)));
    };
    expectColour(at(40 + 100, 100 + 60 + 50), colourAt(*frame, 0.25), "the sphere, turned");
    expectColour(at(300, 100 + 200), {255, 255, 255}, "the page around it");
    expectColour(at(160, 40), {255, 255, 255}, "the window above the ad");
}

}  // namespace
