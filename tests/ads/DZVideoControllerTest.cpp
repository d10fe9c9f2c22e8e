// The video controllers between an HTML ad's page and the publisher: the
// commands posted to the page, the page's playback and mute reports, the
// public controller's relays and the video option.

#include "ads/video/DZVideoController.h"

#include <gtest/gtest.h>

#include "VideoTesting.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoOptions.h"

namespace {

using ads::DZAdViewVideoController;
using ads::DZVideoController;

class RecordingVideoDelegate : public ads::DZVideoControllerDelegate {
public:
    std::vector<std::string> calls;
    void videoControllerDidPlayVideo(DZVideoController&) override { calls.push_back("play"); }
    void videoControllerDidPauseVideo(DZVideoController&) override { calls.push_back("pause"); }
    void videoControllerDidEndVideoPlayback(DZVideoController&) override { calls.push_back("end"); }
    void videoControllerDidMuteVideo(DZVideoController&) override { calls.push_back("mute"); }
    void videoControllerDidUnmuteVideo(DZVideoController&) override { calls.push_back("unmute"); }
};

class DZVideoControllerTest : public testing::Test {
protected:
    std::shared_ptr<DZAdViewVideoController> controller = std::make_shared<DZAdViewVideoController>(
        std::weak_ptr<ads::DZAdView>());
    std::shared_ptr<DZVideoController> publisher = std::make_shared<DZVideoController>();
    std::shared_ptr<RecordingVideoDelegate> delegate = std::make_shared<RecordingVideoDelegate>();
};

TEST(DZAdViewVideoControllerPageTest, CommandsReachThePageAsPubVideoCmdOneTurnLater) {
    videotesting::RecordingAdView page;
    const auto& controller = page.adView->videoController();
    ASSERT_TRUE(controller);
    controller->play();
    controller->pause();
    controller->setMute(true);
    controller->setMute(false);
    controller->setInitialStateWithVideoOptions(nullptr);
    ads::DZVideoOptions options;
    options.setStartMuted(false);
    options.setCustomControlsRequested(true);
    controller->setInitialStateWithVideoOptions(&options);
    EXPECT_TRUE(controller->videoOptionsCustomControlsRequested());

    const auto commands = page.arguments("pubVideoCmd");
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[0], core::Value(core::Dictionary{{"action", "play"}}));
    EXPECT_EQ(commands[1], core::Value(core::Dictionary{{"action", "pause"}}));
    EXPECT_EQ(commands[2], core::Value(core::Dictionary{{"action", "mute"}}));
    EXPECT_EQ(commands[3], core::Value(core::Dictionary{{"action", "unmute"}}));
    EXPECT_EQ(commands[4], core::Value(core::Dictionary{{"action", "initialState"},
                                                        {"muteStart", "1"},
                                                        {"customControlsRequested", 0}}));
    EXPECT_EQ(commands[5], core::Value(core::Dictionary{{"action", "initialState"},
                                                        {"muteStart", "0"},
                                                        {"customControlsRequested", 1}}));
}

TEST_F(DZVideoControllerTest, PlaybackAndMuteChangesReachThePublisherOneTurnLater) {
    publisher->setDelegate(delegate);
    publisher->setInternalVideoController(controller);
    for (const std::int64_t state : {1, 1, 2, 3, 3, 4, 7, 0, 1}) controller->setVideoPlaybackState(state);
    controller->setVideoMuted(false);  // unchanged
    controller->setVideoMuted(true);
    controller->setVideoMuted(true);
    controller->setVideoMuted(false);
    EXPECT_TRUE(delegate->calls.empty());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->calls,
              (std::vector<std::string>{"play", "play", "pause", "end", "play", "mute", "unmute"}));
    EXPECT_EQ(publisher->videoPlaybackState(), 1);
}

TEST_F(DZVideoControllerTest, AReplacedOrNestedControllerReportsToTheRightPublisher) {
    publisher->setDelegate(delegate);
    publisher->setInternalVideoController(controller);
    const auto next = std::make_shared<DZAdViewVideoController>(std::weak_ptr<ads::DZAdView>());
    publisher->setInternalVideoController(next);
    EXPECT_FALSE(controller->delegate());
    controller->setVideoPlaybackState(1);
    next->setVideoPlaybackState(3);

    // A banner showing another banner: the inner controller passes its events up.
    const auto inner = std::make_shared<DZVideoController>();
    const auto innermost = std::make_shared<DZAdViewVideoController>(std::weak_ptr<ads::DZAdView>());
    inner->setInternalVideoController(innermost);
    publisher->setInternalVideoController(inner);
    innermost->setVideoPlaybackState(4);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"pause", "end"}));
}

TEST_F(DZVideoControllerTest, QuestionsGoToTheInternalControllerOrAnswerNothing) {
    EXPECT_FALSE(publisher->hasVideoContent());
    EXPECT_EQ(publisher->aspectRatio(), 0.0);
    EXPECT_FALSE(publisher->customControlsEnabled());
    EXPECT_EQ(publisher->videoPlaybackState(), 0);
    publisher->play();  // nothing to forward to

    publisher->setInternalVideoController(controller);
    controller->setHasVideoContent(true);
    controller->setAspectRatio(1.78);
    EXPECT_TRUE(publisher->hasVideoContent());
    EXPECT_DOUBLE_EQ(publisher->aspectRatio(), 1.78);

    // Custom controls need the page's leave and the publisher's wish.
    controller->setCustomControlsEnabled(true);
    EXPECT_FALSE(publisher->customControlsEnabled());
    controller->setCustomControlsEnabled(false);
    controller->setVideoOptionsCustomControlsRequested(true);
    EXPECT_FALSE(publisher->customControlsEnabled());
    controller->setCustomControlsEnabled(true);
    EXPECT_TRUE(publisher->customControlsEnabled());
}

TEST(DZVideoOptionsTest, StartMutedByDefaultAndOnlyThatIsSent) {
    ads::DZVideoOptions options;
    EXPECT_TRUE(options.startMuted());
    EXPECT_FALSE(options.customControlsRequested());
    ASSERT_TRUE(options.requestParameters());
    EXPECT_EQ(core::Value(*options.requestParameters()),
              core::Value(core::Dictionary{{"video", core::Dictionary{{"startMuted", "1"}}}}));
    options.setStartMuted(false);
    options.setCustomControlsRequested(true);
    const auto copy = std::dynamic_pointer_cast<ads::DZVideoOptions>(options.copy());
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->startMuted());
    EXPECT_TRUE(copy->customControlsRequested());
    EXPECT_EQ(core::Value(*copy->requestParameters()),
              core::Value(core::Dictionary{{"video", core::Dictionary{{"startMuted", "0"}}}}));
}

}  // namespace
