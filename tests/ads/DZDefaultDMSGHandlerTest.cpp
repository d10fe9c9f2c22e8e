// The page's small device requests: logging, touches for the click signal,
// vibration, and giving a full-screen ad's screen back.

#include "ads/web/dmsg/DZDefaultDMSGHandler.h"

#include <gtest/gtest.h>

#include "HandlerTesting.h"
#include "LogCapture.h"
#include "ads/foundation/DZLogger.h"
#include "ui/SystemSoundPlayer.h"

namespace {

using namespace handlertesting;
using ads::DZDefaultDMSGHandler;

class DZDefaultDMSGHandlerTest : public testing::Test {
protected:
    SlotPage page;
    std::shared_ptr<DZDefaultDMSGHandler> handler = std::make_shared<DZDefaultDMSGHandler>();
};

TEST_F(DZDefaultDMSGHandlerTest, LogsThePagesTextAtLevelOne) {
    adtesting::LogCapture capture;
    ads::DZLogger& logger = ads::DZLogger::sharedInstance();
    const std::int64_t threshold = logger.logLevelThreshold();
    EXPECT_TRUE(page.send(*handler, "log", {{"string", "tick %d %@ 100%"}}));
    EXPECT_TRUE(page.send(*handler, "log"));
    logger.setLogLevelThreshold(0);
    EXPECT_TRUE(page.send(*handler, "log", {{"string", "below the threshold"}}));
    logger.setLogLevelThreshold(threshold);
    logger.waitForLogging();
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"tick %d %@ 100%"});
}

TEST_F(DZDefaultDMSGHandlerTest, TouchesReachTheClickSignalOnALaterTurn) {
    struct Case {
        core::Dictionary parameters;
        std::string reported;
    };
    const Case cases[] = {
        {{}, "DZGestureReportTouch -1 -1 -1"},
        {{{"tx", "12"}, {"ty", "7.9"}, {"td", "340"}}, "DZGestureReportTouch 12 7 340"},
        {{{"tx", "-3"}, {"ty", "x"}, {"td", ""}}, "DZGestureReportTouch -3 -1 -1"},
        // Values a 32-bit integer cannot hold count as absent.
        {{{"tx", "4294967297"}, {"ty", "2147483647"}, {"td", "-2147483649"}},
         "DZGestureReportTouch -1 2147483647 -1"},
    };
    for (const Case& c : cases) {
        ads::DZCallLog::clear();
        EXPECT_TRUE(page.send(*handler, "touch", c.parameters));
        EXPECT_TRUE(callsStartingWith("DZGestureReportTouch").empty());
        ASSERT_TRUE(drainMainQueue());
        EXPECT_EQ(callsStartingWith("DZGestureReportTouch"), std::vector<std::string>{c.reported});
    }
    EXPECT_EQ(DZDefaultDMSGHandler::integerForKey("n", {{"n", 5}}, -1), 5);
    EXPECT_EQ(DZDefaultDMSGHandler::integerForKey("n", {{"n", "5e1"}}, -1), 50);
    EXPECT_EQ(DZDefaultDMSGHandler::integerForKey("n", {{"n", true}}, -1), -1);
}

TEST_F(DZDefaultDMSGHandlerTest, VibratesWithTheVibrateSound) {
    ui::SystemSoundPlayer::resetForTesting();
    EXPECT_TRUE(page.send(*handler, "vibrate", {{"ms", "500"}}));
    EXPECT_EQ(ui::SystemSoundPlayer::playedSounds(), std::vector<ui::SystemSoundID>{4095});
}

TEST_F(DZDefaultDMSGHandlerTest, CloseGivesOnlyAFullScreenAdsScreenBack) {
    // A banner's ad view has no full-screen controller: nothing happens.
    EXPECT_TRUE(page.send(*handler, "close"));
    const auto other = std::make_shared<ui::ViewController>();
    page.adView()->setViewController(other);
    EXPECT_TRUE(page.send(*handler, "close"));
    EXPECT_TRUE(callsStartingWith("DZViewController.").empty());

    const auto controller = page.presentFullScreen();
    EXPECT_TRUE(page.send(*handler, "close"));
    EXPECT_EQ(controller->relinquishCount(), 1);
    EXPECT_EQ(callsStartingWith("DZViewController."),
              std::vector<std::string>{"DZViewController.relinquishScreenWithCompletion:"});
}

}  // namespace
