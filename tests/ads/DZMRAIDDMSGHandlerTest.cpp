// An MRAID creative's requests: the ready signal only from the slot's own
// ad view, resize properties handed to the opener, the refused operations,
// and the orientation properties of a full-screen ad.

#include "ads/web/dmsg/DZMRAIDDMSGHandler.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"

namespace {

using namespace handlertesting;
using ads::DZMRAIDDMSGHandler;

class DZMRAIDDMSGHandlerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.slot);
        ASSERT_TRUE(handlerOf<DZMRAIDDMSGHandler>(*page.slot->adViewDelegate()));
        // What reaches the opener is recorded; the opener's tests cover the rest.
        recording = page.recordingOpener();
        handler = std::make_shared<DZMRAIDDMSGHandler>(recording);
    }
    bool mraid(core::Dictionary parameters) {
        return page.send(*handler, "mraid", std::move(parameters));
    }
    [[nodiscard]] static size_t errorsReported() {
        return callsStartingWith("DZSlot.handleError:action:").size();
    }

    SlotPage page;
    std::shared_ptr<openertesting::RecordingOpener> recording;
    std::shared_ptr<DZMRAIDDMSGHandler> handler;
};

TEST_F(DZMRAIDDMSGHandlerTest, ReadinessCountsOnlyFromTheSlotsOwnAdView) {
    const auto other = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(other);
    EXPECT_TRUE(handler->handleNotification(message("mraidLoaded"), other));
    EXPECT_TRUE(handler->handleNotification(message("mraidLoaded"), nullptr));
    // A slot that took the load follows the interface orientation for its ad.
    EXPECT_FALSE(page.slot->isListeningToDeviceOrientationChangeEvent());
    EXPECT_TRUE(page.send(*handler, "mraidLoaded"));
    EXPECT_TRUE(page.slot->isListeningToDeviceOrientationChangeEvent());
}

TEST_F(DZMRAIDDMSGHandlerTest, ResizeHandsTheParsedPropertiesToTheOpener) {
    EXPECT_TRUE(mraid({{"a", "resize"},
                       {"width", "300"},
                       {"height", "250"},
                       {"offsetX", "-10"},
                       {"offsetY", "20.5"},
                       {"customClosePosition", "bottom-left"},
                       {"allowOffscreen", "true"}}));
    EXPECT_EQ(
        openerCalls(),
        std::vector<std::string>{
            R"(DZOpener.openWebAppWithResizeProperties {"width":300,"height":250,)"
            R"("offsetX":-10,"offsetY":20.5,"customClosePosition":6,"allowOffscreen":true})"});
    // Parameters that make no properties resize nothing; no or another "a"
    // does nothing at all.
    ads::DZCallLog::clear();
    EXPECT_TRUE(mraid({{"a", "resize"}, {"width", "300"}}));
    EXPECT_TRUE(mraid({{"width", "300"}}));
    EXPECT_TRUE(mraid({{"a", "Resize"}}));
    EXPECT_TRUE(mraid({{"a", "expand"}}));
    EXPECT_TRUE(openerCalls().empty());
}

TEST_F(DZMRAIDDMSGHandlerTest, RefusedOperationsReportTheirErrorsToTheAdsHandler) {
    // Before the ad names its MRAID event handler nobody hears the refusal.
    EXPECT_TRUE(mraid({{"a", "storePicture"}, {"uri", "https://img.test/a.png"}}));
    EXPECT_EQ(errorsReported(), 0u);
    auto ad = std::make_shared<ads::DZAd>();
    ad->setMRAIDEventHandler(page.slot);
    page.adView()->setAd(ad);
    ads::DZCallLog::clear();
    EXPECT_TRUE(mraid({{"a", "storePicture"}, {"uri", "https://img.test/a.png"}}));
    EXPECT_TRUE(mraid({{"a", "createCalendarEvent"}, {"description", "launch"}}));
    EXPECT_EQ(
        openerCalls(),
        (std::vector<std::string>{
            "DZOpener.openPromptToStorePictureAtURL -",
            R"(DZOpener.openCalendarWithDictionary {"a":"createCalendarEvent","description":"launch"})"}));
    EXPECT_EQ(errorsReported(), 2u);
}

TEST_F(DZMRAIDDMSGHandlerTest, OrientationPropertiesOfAFullScreenAd) {
    // A banner has none to set, and hears of no error.
    EXPECT_TRUE(mraid({{"a", "setOrientationProperties"}}));
    EXPECT_EQ(errorsReported(), 0u);

    const auto controller = page.presentFullScreen();
    recording->setViewController(controller);
    struct Case {
        long statusBar;
        std::uint64_t before;
        core::Dictionary parameters;
        std::uint64_t after;
        double duration;
    };
    const Case cases[] = {
        // Locked to where it is shown now.
        {3, 0, {{"allowOrientationChange", "false"}, {"forceOrientation", "none"}}, 8, 0},
        {1, 30, {{"allowOrientationChange", "0"}, {"forceOrientation", "none"}}, 2, 0},
        // A lock to one family stays.
        {1, 24, {{"allowOrientationChange", "false"}, {"forceOrientation", "none"}}, 24, 0},
        {1,
         0,
         {{"allowOrientationChange", "true"},
          {"forceOrientation", "portrait"},
          {"animationDuration", "0.25"}},
         30,
         0.25},
        {1, 0, {{"allowOrientationChange", "false"}, {"forceOrientation", "landscape"}}, 24, 0},
        // An unknown value allows nothing.
        {1,
         30,
         {{"allowOrientationChange", "false"},
          {"forceOrientation", "sideways"},
          {"animationDuration", "x"}},
         0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(core::JSON::write(c.parameters).value_or(""));
        OrientationScope orientation(c.statusBar);
        controller->setAdOrientations(c.before);
        controller->setAdOrientationsOverridesLockedOrientation(false);
        controller->setOrientationUpdateAnimationDuration(9);
        core::Dictionary parameters = c.parameters;
        parameters.set("a", "setOrientationProperties");
        EXPECT_TRUE(mraid(parameters));
        EXPECT_EQ(controller->adOrientations(), c.after);
        EXPECT_TRUE(controller->adOrientationsOverridesLockedOrientation());
        EXPECT_DOUBLE_EQ(controller->orientationUpdateAnimationDuration(), c.duration);
    }
    EXPECT_EQ(errorsReported(), 0u);

    // Missing properties are reported and change nothing.
    controller->setAdOrientations(6);
    EXPECT_TRUE(mraid({{"a", "setOrientationProperties"}, {"allowOrientationChange", "true"}}));
    EXPECT_TRUE(mraid({{"a", "setOrientationProperties"}, {"forceOrientation", "none"}}));
    EXPECT_EQ(controller->adOrientations(), 6u);
    EXPECT_EQ(errorsReported(), 2u);
}

}  // namespace
