// A video creative of the local ad server end to end: its page asks native
// code for a player through dmsg messages, hears the player's events, and
// the player's frame shows in the rendered window where the page put it.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "VideoTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/LoopbackResponse.h"
#include "media/FFmpegEngine.h"
#include "support/TestEnvironment.h"
#include "ui/Renderer.h"
#include "ui/Window.h"
#include "web/WebView.h"

namespace {

using namespace adwebtesting;

constexpr std::array<std::uint8_t, 3> kFrameColour = {20, 170, 90};

// Places the player over #player, sets the source, and plays once the
// player can play through; keeps every video event in window.log.
constexpr const char* kCreativeScript = R"(
window.log = [];
function send(query) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'dmsg://duzo/video?' + query;
  document.body.appendChild(frame);
}
window.DUZO_ReceiveMessage = function (name, argument) {
  if (name !== 'onVideoEvent') return;
  window.log.push(argument.event);
  if (argument.event === 'canplaythrough') send('action=play');
};
var box = document.getElementById('player').getBoundingClientRect();
send('action=new&x=' + box.left + '&y=' + box.top + '&w=' + box.width + '&h=' + box.height);
send('action=src&src=' + encodeURIComponent(document.body.dataset.video));
)";

// The creative's ad: a page with a blue bar along its top and the player's
// place at box, running kCreativeScript.
std::shared_ptr<ads::DZAd> creative(const fixtures::AdServer& server, const core::URL& videoURL,
                                    const gfx::Rect& box) {
    const auto px = [](double value) { return std::to_string(static_cast<int>(value)) + "px"; };
    auto ad = std::make_shared<ads::DZAd>();
    ad->setAdHTML("<html><body style='margin:0; background:transparent' data-video='" +
                  videoURL.absoluteString() + "'><div id='player' style='position:absolute; left:" +
                  px(box.origin.x) + "; top:" + px(box.origin.y) + "; width:" + px(box.size.width) +
                  "; height:" + px(box.size.height) +
                  "'></div>"
                  "<div style='position:absolute; left:0; top:0; width:320px; height:20px;"
                  " background:rgb(0,0,200)'></div>"
                  "<script src='/creatives/video.js'></script></body></html>");
    ad->setAdBaseURL(server.url("/creatives/video.html"));
    return ad;
}

class DZAdViewVideoService : public testing::Test {
protected:
    void SetUp() override {
        videoURL = server.videoURL(fixtures::FixtureVideos::kMoovFirst);
        auto media = videotesting::clip(2);
        media.tracks = {videotesting::videoTrack({160, 96})};
        media.frames = {{0, media::PixelBuffer::filled(160, 96, kFrameColour,
                                                        media::ColorMatrix::itu601)}};
        video.engine->script(videoURL.absoluteString(), media);
        server.serve("/creatives/video.js",
                     fixtures::LoopbackResponse::text(kCreativeScript, 200, "text/javascript"));

        adView = ads::DZAdView::create({0, 0, 320, 250});
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        window->setBackgroundColor(gfx::Color::white());
        adView->setFrame({0, 100, 320, 250});
        window->addSubview(adView);
    }

    void load() { adView->setAd(creative(server, videoURL, {40, 60, 160, 96})); }
    [[nodiscard]] std::vector<std::string> pageLog() const {
        const core::Value log = evaluate(*adView->webView(), "window.log || []");
        std::vector<std::string> events;
        if (const auto* array = log.array())
            for (const auto& event : *array) events.push_back(event.stringValue());
        return events;
    }

    videotesting::ScriptedVideoScope video;
    fixtures::AdServer server;
    core::URL videoURL = *core::URL::create("http://127.0.0.1/");
    std::shared_ptr<ads::DZAdViewDelegate> delegate = std::make_shared<ads::DZAdViewDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<ads::DZAdView> adView;
};

TEST_F(DZAdViewVideoService, ACreativesVideoPlaysToItsEndUnderThePage) {
    load();
    ASSERT_TRUE(waitFor([&] {
        const auto& player = adView->videoPlayer();
        return player && player->isPlaying();
    }));
    EXPECT_EQ(adView->videoPlayer()->sourceURL(), videoURL);
    EXPECT_EQ(adView->cachedVideoPlayerFrame(), (gfx::Rect{40, 60, 160, 96}));
    ASSERT_TRUE(adView->videoPlayerView());

    video.clock.advance(3);
    ASSERT_TRUE(waitFor([&] {
        const auto log = pageLog();
        return !log.empty() && log.back() == "ended";
    }));
    const auto log = pageLog();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "canplaythrough");
    EXPECT_EQ(log[1], "play");
    EXPECT_EQ(std::count(log.begin(), log.end(), "timeupdate"), 8);
    EXPECT_EQ(log.back(), "ended");

    adView->layoutIfNeeded();
    EXPECT_EQ(adView->videoPlayerView()->frame(), (gfx::Rect{40, 60, 160, 96}));
    ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
    const auto image = ui::Renderer::render(*window, 1);
    ASSERT_TRUE(image);
    const auto near = [](gfx::Color color, std::array<std::uint8_t, 3> rgb) {
        return std::abs(color.red * 255 - rgb[0]) + std::abs(color.green * 255 - rgb[1]) +
                   std::abs(color.blue * 255 - rgb[2]) <
               12;
    };
    const auto frame = media::PixelBuffer::filled(1, 1, kFrameColour, media::ColorMatrix::itu601);
    EXPECT_TRUE(near(image->pixelAt(120, 100 + 108), frame->rgbAt(0, 0)));  // the player
    EXPECT_TRUE(near(image->pixelAt(280, 100 + 200), {255, 255, 255}));    // the window
    EXPECT_TRUE(near(image->pixelAt(120, 100 + 10), {0, 0, 200}));         // the page's bar
    EXPECT_TRUE(near(image->pixelAt(120, 60), {255, 255, 255}));           // above the ad
}

// The same creative on the FFmpeg engine: the page plays a clip of eight
// colour bands from the ad server, and the window's PNG shows the decoded
// bands where the page put the player, in their colours for both matrices.
class DZAdViewFFmpegVideoService : public testing::Test {
protected:
    DZAdViewFFmpegVideoService() {
        ads::DZMobileAds::resetForTesting();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
        server.serve("/creatives/video.js",
                     fixtures::LoopbackResponse::text(kCreativeScript, 200, "text/javascript"));
        window->setBackgroundColor(gfx::Color::white());
    }
    ~DZAdViewFFmpegVideoService() override { ads::DZMobileAds::resetForTesting(); }

    [[nodiscard]] static std::vector<std::string> pageLog(const ads::DZAdView& adView) {
        const core::Value log = evaluate(*adView.webView(), "window.log || []");
        std::vector<std::string> events;
        if (const auto* array = log.array())
            for (const auto& event : *array) events.push_back(event.stringValue());
        return events;
    }
    // Steps the clock a display slot at a time until done or limit seconds
    // of real time passed; the engine's threads work in real time.
    bool stepUntil(const std::function<bool()>& done, double limit = 10) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            clock.advance(1 / media::DisplayLink::kFramesPerSecond);
            (void)waitFor(done, 0.02);
        }
        return true;
    }

    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create()};
    fixtures::AdServer server;
    std::shared_ptr<ads::DZAdViewDelegate> delegate = std::make_shared<ads::DZAdViewDelegate>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
};

TEST_F(DZAdViewFFmpegVideoService, APNGOfTheWindowShowsTheDecodedFrameWhereThePagePutIt) {
    using fixtures::FixtureVideos;
    for (const char* name : {FixtureVideos::kBands601, FixtureVideos::kBands709}) {
        SCOPED_TRACE(name);
        const auto adView = ads::DZAdView::create({0, 0, 320, 250});
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        adView->setFrame({0, 100, 320, 250});
        window->addSubview(adView);
        // The clip is 256 x 128 points on screen: bands 32 points wide.
        adView->setAd(creative(server, server.videoURL(name), {32, 60, 256, 128}));
        ASSERT_TRUE(waitFor(
            [&] {
                const auto& player = adView->videoPlayer();
                return player && player->isPlaying();
            },
            20));
        const auto view =
            std::dynamic_pointer_cast<ads::DZVideoPlayerView>(adView->videoPlayerView());
        ASSERT_TRUE(view);
        ASSERT_TRUE(stepUntil([&] { return view->picture() != nullptr; }));
        ASSERT_TRUE(stepUntil([&] {
            const auto log = pageLog(*adView);
            return !log.empty() && log.back() == "ended";
        }));
        const auto log = pageLog(*adView);
        EXPECT_EQ(log.front(), "canplaythrough");

        adView->layoutIfNeeded();
        ASSERT_TRUE(web::WebView::awaitSnapshots(kLoadLimit));
        const std::string path = testsupport::testHome() + "/video-creative.png";
        ASSERT_TRUE(ui::Renderer::writePNG(*window, path));
        std::ifstream file(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        const auto image = gfx::Image::decode(bytes);
        ASSERT_TRUE(image);
        const double scale = double(image->pixelWidth()) / 320;
        const auto near = [&](double x, double y, unsigned rgb) {
            const gfx::Color color = image->pixelAt(int(x * scale), int(y * scale));
            const double distance = std::abs(color.red * 255 - double(rgb >> 16)) +
                                    std::abs(color.green * 255 - double((rgb >> 8) & 0xff)) +
                                    std::abs(color.blue * 255 - double(rgb & 0xff));
            return testing::AssertionResult(distance < 20)
                   << "at " << x << "," << y << " off by " << distance;
        };
        for (int band = 0; band < 8; ++band) {
            SCOPED_TRACE(band);
            // The middle of each band, away from the chroma of its neighbours.
            EXPECT_TRUE(
                near(32 + 32 * band + 16, 100 + 60 + 64, FixtureVideos::kBandColours[band]));
        }
        EXPECT_TRUE(near(16, 100 + 124, 0xFFFFFF));  // beside the player
        EXPECT_TRUE(near(160, 100 + 10, 0x0000C8));  // the page's bar
        adView->removeFromSuperview();
    }
}

}  // namespace
