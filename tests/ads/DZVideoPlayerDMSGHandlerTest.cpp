// The page's "video" and "videoMeta" messages on a real ad view: each
// sub-action's effect on the ad view, its player and its player view, the
// parameters that are ignored, and the sources a page may play.

#include "ads/web/dmsg/DZVideoPlayerDMSGHandler.h"

#include <gtest/gtest.h>

#include <cmath>

#include "DMSGTesting.h"
#include "VideoTesting.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZAssetLoadingVideoPlayerItem.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/dmsg/DZPrecacheDMSGHandler.h"
#include "ads/web/dmsg/DZVideoMetadataDMSGHandler.h"
#include "core/FileManager.h"

namespace {

using dmsgtesting::message;
using videotesting::kClipURL;

// A player view that records the optimization calls, with the player's rate
// at each.
class RecordingRenderingView : public ads::DZVideoRendering {
public:
    std::vector<std::string> calls;
    std::shared_ptr<media::Player> player;

    void setUpWithPlayer(const std::shared_ptr<media::Player>& shown) override { player = shown; }
    void enableVideoPlaybackOptimization() override { record("enable"); }
    void resetVideoPlaybackOptimization() override { record("reset"); }
    void disableVideoPlaybackOptimization() override { record("disable"); }
    void optimizeVideoForAdVisibility(bool visible) override {
        record(visible ? "visible" : "hidden");
    }

private:
    void record(const std::string& call) {
        calls.push_back(call + (player && player->rate() > 0 ? " playing" : ""));
    }
};

class RecordingGLView : public ads::DZVideoPlayerGLView {
public:
    std::vector<std::pair<double, double>> vectors;
    void setUpWithPlayer(const std::shared_ptr<media::Player>&) override {}
    void handleUserTouchMovedByVector(double dx, double dy) override { vectors.emplace_back(dx, dy); }
};

class DZVideoPlayerDMSGHandlerTest : public testing::Test {
protected:
    DZVideoPlayerDMSGHandlerTest() { video.engine->script(kClipURL, videotesting::clip(2)); }

    bool send(core::Dictionary parameters, const char* name = "video") {
        return handler->handleNotification(message(name, std::move(parameters)), adView());
    }
    [[nodiscard]] const std::shared_ptr<ads::DZAdView>& adView() const { return page.adView; }
    // Sets the clip as source and waits for its view.
    void playClip() {
        EXPECT_TRUE(send({{"action", "src"}, {"src", kClipURL}}));
        EXPECT_TRUE(adwebtesting::waitFor([&] { return adView()->videoPlayerView() != nullptr; }));
    }
    [[nodiscard]] std::shared_ptr<ads::DZVideoLoader> loader() const {
        const auto& player = adView()->videoPlayer();
        return player ? player->videoLoader() : nullptr;
    }
    // The download the loader was given: the main cache of its asset-loading
    // item.
    [[nodiscard]] std::shared_ptr<ads::DZResourceCache> givenCache() const {
        const auto& item = loader()->assetLoadingPlayerItem();
        return item ? item->assetLoader()->mainResourceCache() : nullptr;
    }

    videotesting::ScriptedVideoScope video;
    videotesting::RecordingAdView page;
    std::shared_ptr<ads::DZVideoPlayerDMSGHandler> handler =
        std::make_shared<ads::DZVideoPlayerDMSGHandler>();
};

TEST_F(DZVideoPlayerDMSGHandlerTest, NewPlacesAnEmptyPlayerAndKeepsTheConfigurationForSources) {
    EXPECT_TRUE(send({{"action", "src"}, {"src", kClipURL}}));
    ASSERT_TRUE(loader());
    EXPECT_FALSE(adView()->videoPlayer()->configuration());  // before any "new"

    EXPECT_TRUE(send({{"action", "new"}, {"x", "10"}, {"y", 20}, {"w", "100.5"}, {"h", "50"},
                      {"spherical", "1"}, {"bufferForPlaybackMs", "2500"}}));
    EXPECT_EQ(adView()->cachedVideoPlayerFrame(), (gfx::Rect{10, 20, 100.5, 50}));
    EXPECT_TRUE(adView()->spherical());
    ASSERT_TRUE(handler->videoConfiguration());
    EXPECT_DOUBLE_EQ(handler->videoConfiguration()->bufferForPlaybackTimeInterval(), 2.5);
    EXPECT_FALSE(adView()->videoPlayer()->sourceURL());
    EXPECT_FALSE(adView()->videoPlayer()->configuration());

    EXPECT_TRUE(send({{"action", "src"}, {"src", kClipURL}}));
    EXPECT_EQ(adView()->videoPlayer()->configuration(), handler->videoConfiguration());
    EXPECT_TRUE(send({{"action", "loadControl"}, {"bufferForPlaybackAfterRebufferMs", 700}}));
    (void)adwebtesting::waitFor([&] {
        return handler->videoConfiguration()->bufferForPlaybackAfterRebufferTimeInterval() == 0.7;
    });
    EXPECT_DOUBLE_EQ(handler->videoConfiguration()->bufferForPlaybackTimeInterval(), 2.5);

    EXPECT_TRUE(send({{"action", "new"}}));
    EXPECT_FALSE(adView()->spherical());
    EXPECT_EQ(adView()->cachedVideoPlayerFrame(), gfx::Rect());
}

TEST_F(DZVideoPlayerDMSGHandlerTest, PositionNeedsAllFourFiniteNumbers) {
    EXPECT_TRUE(send({{"action", "position"}, {"x", 1}, {"y", 2}, {"w", 3}, {"h", 4}}));
    EXPECT_EQ(adView()->cachedVideoPlayerFrame(), (gfx::Rect{1, 2, 3, 4}));
    EXPECT_TRUE(adView()->needsLayout());
    EXPECT_TRUE(send({{"action", "position"}, {"x", 1}, {"y", 2}, {"w", "1e999"}, {"h", 4}}));
    EXPECT_TRUE(send({{"action", "position"}, {"x", "-1e999"}, {"y", 2}, {"w", 3}, {"h", 4}}));
    EXPECT_EQ(adView()->cachedVideoPlayerFrame(), (gfx::Rect{1, 2, 3, 4}));
    EXPECT_TRUE(send({{"action", "position"}, {"x", 1}, {"y", 2}, {"w", 3}}));
    EXPECT_EQ(adView()->cachedVideoPlayerFrame(), gfx::Rect());
}

TEST_F(DZVideoPlayerDMSGHandlerTest, OnlyFileSourcesInsideTheCacheFolderTakeThePrecacheDownload) {
    const auto folder = ads::DZCacheDirectoryPath("Precache", nullptr);
    ASSERT_TRUE(folder);
    const auto file = core::URL::fileURL(folder->path() + "/precache_0.cache");
    ASSERT_TRUE(core::FileManager::writeAtomically(file.path(), "bytes"));
    const auto precached = ads::DZResourceCache::create(
        core::URLRequest(*core::URL::create(kClipURL)), file, std::string("video/mp4"), 5, false);
    handler->precacheDMSGHandler()->setResourceCache(precached);

    EXPECT_TRUE(send({{"action", "src"}, {"src", kClipURL}}));
    EXPECT_FALSE(givenCache());
    EXPECT_TRUE(send({{"action", "src"}, {"src", file.absoluteString()}}));
    EXPECT_EQ(givenCache(), precached);
    EXPECT_EQ(adView()->videoPlayer()->sourceURL(), file);

    // Files elsewhere and other schemes are not played.
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "ftp://a.example/v"}) {
        EXPECT_TRUE(send({{"action", "src"}, {"src", refused}}));
        EXPECT_EQ(adView()->videoPlayer()->sourceURL(), file) << refused;
    }
    EXPECT_TRUE(send({{"action", "src"}, {"src", "gcache://load"}}));
    EXPECT_EQ(adView()->videoPlayer()->sourceURL(), core::URL::create("gcache://load"));
}

TEST_F(DZVideoPlayerDMSGHandlerTest, PlayRunsInFourStepsAndPauseRetunesTheView) {
    playClip();
    const auto view = std::make_shared<RecordingRenderingView>();
    view->setUpWithPlayer(adView()->videoPlayer()->player());
    adView()->setVideoPlayerView(view);

    EXPECT_TRUE(send({{"action", "play"}}));
    EXPECT_EQ(view->calls, (std::vector<std::string>{"disable", "reset", "enable playing"}));
    EXPECT_TRUE(adView()->videoPlayer()->isPlaying());
    view->calls.clear();
    adView()->setVisible(false);
    EXPECT_TRUE(send({{"action", "pause"}}));
    EXPECT_EQ(view->calls, (std::vector<std::string>{"hidden playing", "hidden"}));
    EXPECT_FALSE(adView()->videoPlayer()->isPlaying());
}

TEST_F(DZVideoPlayerDMSGHandlerTest, VolumeMuteAndSeekTakeOnlyUsableValues) {
    playClip();
    const auto& player = adView()->videoPlayer();
    const auto volume = [&](core::Value value) {
        EXPECT_TRUE(send({{"action", "volume"}, {"volume", std::move(value)}}));
        return player->volume();
    };
    EXPECT_FLOAT_EQ(volume("0.5"), 0.5f);
    EXPECT_TRUE(send({{"action", "volume"}}));
    EXPECT_FLOAT_EQ(player->volume(), 0.5f);
    EXPECT_FLOAT_EQ(volume("1e999"), 0.5f);
    EXPECT_FLOAT_EQ(volume("-1e999"), 0.5f);
    EXPECT_FLOAT_EQ(volume(3), 1.0f);
    EXPECT_FLOAT_EQ(volume("-0.5"), 0.0f);

    EXPECT_TRUE(send({{"action", "muted"}, {"muted", "1"}}));
    EXPECT_TRUE(player->muted());
    EXPECT_TRUE(send({{"action", "muted"}}));
    EXPECT_TRUE(player->muted());
    EXPECT_TRUE(send({{"action", "muted"}, {"muted", "0"}}));
    EXPECT_FALSE(player->muted());

    EXPECT_TRUE(send({{"action", "currentTime"}, {"time", "1.25"}}));
    EXPECT_TRUE(send({{"action", "currentTime"}, {"time", "1e999"}}));
    EXPECT_TRUE(send({{"action", "currentTime"}}));
    EXPECT_EQ(video.engine->seeks(kClipURL), (std::vector<double>{1.25, 0}));
}

TEST_F(DZVideoPlayerDMSGHandlerTest, ViewActionsHideShowTurnAndColour) {
    playClip();
    const auto view = adView()->videoPlayerView();
    ASSERT_TRUE(view);
    EXPECT_TRUE(send({{"action", "hide"}}));
    EXPECT_TRUE(view->isHidden());
    EXPECT_TRUE(send({{"action", "show"}}));
    EXPECT_FALSE(view->isHidden());

    EXPECT_TRUE(send({{"action", "rotation"}, {"degrees", "90"}}));
    EXPECT_NEAR(view->transform().a, 0, 1e-9);
    EXPECT_NEAR(view->transform().b, 1, 1e-9);
    EXPECT_TRUE(send({{"action", "rotation"}, {"degrees", "1e999"}}));
    EXPECT_NEAR(view->transform().b, 1, 1e-9);
    EXPECT_TRUE(send({{"action", "rotation"}}));
    EXPECT_TRUE(view->transform().isIdentity());

    EXPECT_TRUE(send({{"action", "background"}, {"color", "#00FF00"}}));
    EXPECT_EQ(adView()->ui::View::backgroundColor(), (gfx::Color{0, 1, 0, 1}));
    EXPECT_TRUE(send({{"action", "background"}, {"color", "green"}}));
    EXPECT_EQ(adView()->ui::View::backgroundColor(), (gfx::Color{0, 1, 0, 1}));
}

TEST_F(DZVideoPlayerDMSGHandlerTest, TouchMovesReachOnlyA360DegreeView) {
    EXPECT_TRUE(send({{"action", "touchMove"}, {"dx", 3}, {"dy", 4}}));  // no view at all
    playClip();
    EXPECT_TRUE(send({{"action", "touchMove"}, {"dx", 3}, {"dy", 4}}));  // a flat view

    const auto glView = std::make_shared<RecordingGLView>();
    adView()->setVideoPlayerView(glView);
    EXPECT_TRUE(send({{"action", "touchMove"}, {"dx", "2.5"}, {"dy", "-1"}}));
    EXPECT_TRUE(send({{"action", "touchMove"}, {"dx", "left"}}));
    EXPECT_EQ(glView->vectors, (std::vector<std::pair<double, double>>{{2.5, -1}, {0, 0}}));
}

TEST_F(DZVideoPlayerDMSGHandlerTest, UnknownActionsAndOtherMessagesAreLeftAlone) {
    EXPECT_TRUE(send({{"action", "explode"}}));
    EXPECT_TRUE(send({}));
    EXPECT_TRUE(send({{"url", kClipURL}}, "precache"));
    EXPECT_FALSE(adView()->videoPlayer());
    EXPECT_FALSE(send({{"action", "play"}}, "videoMeta"));
}

TEST_F(DZVideoPlayerDMSGHandlerTest, VideoMetadataReachesTheControllerOnlyWhenThereIsOne) {
    const auto metadata = std::make_shared<ads::DZVideoMetadataDMSGHandler>();
    const auto controller = adView()->videoController();
    ASSERT_TRUE(controller);
    EXPECT_TRUE(metadata->handleNotification(
        message("videoMeta", {{"duration", "12.5"}, {"currentTime", 3},
                              {"playbackState", "2"}, {"muted", "1"}, {"aspectRatio", "1.5"},
                              {"customControlsAllowed", "1"}, {"unknown", "x"}}),
        adView()));
    EXPECT_TRUE(controller->hasVideoContent());
    EXPECT_DOUBLE_EQ(controller->videoDuration(), 12.5);
    EXPECT_DOUBLE_EQ(controller->currentPlaybackTime(), 3);
    EXPECT_EQ(controller->videoPlaybackState(), 2);
    EXPECT_TRUE(controller->videoMuted());
    EXPECT_DOUBLE_EQ(controller->aspectRatio(), 1.5);
    EXPECT_TRUE(controller->pageAllowsCustomControls());

    // A value that reads as no number leaves its field.
    EXPECT_TRUE(metadata->handleNotification(
        message("videoMeta", {{"duration", core::Array{}}}), adView()));
    EXPECT_DOUBLE_EQ(controller->videoDuration(), 12.5);

    adView()->setVideoController(nullptr);
    controller->setHasVideoContent(false);
    EXPECT_TRUE(metadata->handleNotification(message("videoMeta", {{"duration", 4}}), adView()));
    EXPECT_FALSE(controller->hasVideoContent());
    EXPECT_DOUBLE_EQ(controller->videoDuration(), 12.5);
}

}  // namespace
