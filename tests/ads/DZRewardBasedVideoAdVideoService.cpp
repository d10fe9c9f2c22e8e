// A rewarded creative that plays the fixture clip through the SDK's player
// and grants its reward when the clip ends: the host hears the start, and
// the reward only once the clip's length of clock has passed.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RewardedTesting.h"
#include "SlotTesting.h"
#include "VideoTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/RewardedScenarios.h"

namespace {

using adwebtesting::waitFor;
using fixtures::RewardedScenarios;

constexpr double kClipSeconds = 2;

class DZRewardBasedVideoAdVideoService : public testing::Test {
protected:
    void SetUp() override {
        ads::DZApplication::setScriptBuilderReceiverForTesting([](auto) {});
        videoURL = server.videoURL(fixtures::FixtureVideos::kMoovFirst);
        auto media = videotesting::clip(kClipSeconds);
        media.tracks = {videotesting::videoTrack({160, 96})};
        video.engine->script(videoURL.absoluteString(), media);
        rewarded->setDelegate(host);
    }
    void TearDown() override {
        rewarded.reset();
        ASSERT_TRUE(adwebtesting::drainMainQueue());
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
    }

    videotesting::ScriptedVideoScope video;
    fixtures::AdServer server;
    core::URL videoURL = *core::URL::create("http://127.0.0.1/");
    std::shared_ptr<rewardedtesting::RecordingHost> host = std::make_shared<rewardedtesting::RecordingHost>();
    std::shared_ptr<ads::DZRewardBasedVideoAd> rewarded = ads::DZRewardBasedVideoAd::create();
};

TEST_F(DZRewardBasedVideoAdVideoService, TheRewardFollowsTheStartAfterTheClipsLength) {
    rewarded->loadRequest(
        slottesting::requestWithExtras(
            {{"_ad", core::Dictionary{{"ad_html", RewardedScenarios::videoHTML(videoURL.absoluteString())},
                                      {"ad_base_url", server.urlString("/creatives/rewarded-video.html")}}},
             {"_adHeaders", RewardedScenarios::inlineHeaders()}}),
        "unit/rewarded-video");
    ASSERT_TRUE(waitFor([&] { return host->events.size() >= 2; }));
    EXPECT_EQ(host->events, (std::vector<std::string>{"receive", "start"}));

    video.clock.advance(kClipSeconds - 0.5);
    videotesting::ScriptedVideoScope::settle();
    EXPECT_EQ(host->events.size(), 2u);

    video.clock.advance(1);
    ASSERT_TRUE(waitFor([&] { return host->events.size() >= 3; }));
    EXPECT_EQ(host->events.back(), std::string("reward ") + RewardedScenarios::kRewardType + " " +
                                       RewardedScenarios::kRewardAmount);
}

}  // namespace
