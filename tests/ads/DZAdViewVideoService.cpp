// A video creative of the local ad server end to end: its page asks native
// code for a player through dmsg messages, hears the player's events, and
// the player's frame shows in the rendered window where the page put it.

#include <gtest/gtest.h>

#include <algorithm>

#include "VideoTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/LoopbackResponse.h"
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

    void load() {
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML("<html><body style='margin:0; background:transparent' data-video='" +
                      videoURL.absoluteString() +
                      "'><div id='player' style='position:absolute; left:40px; top:60px;"
                      " width:160px; height:96px'></div>"
                      "<div style='position:absolute; left:0; top:0; width:320px; height:20px;"
                      " background:rgb(0,0,200)'></div>"
                      "<script src='/creatives/video.js'></script></body></html>");
        ad->setAdBaseURL(server.url("/creatives/video.html"));
        adView->setAd(ad);
    }
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

}  // namespace
