#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ads/foundation/DZLogger.h"
#include "core/Console.h"

using namespace ads;

TEST(DZLogger, PublicMessagesArePrefixedAndWrittenLiterally) {
    core::Console::Capture capture;
    DZLogger::sharedInstance().logPublicMessage("Ad failed");
    DZLogger::sharedInstance().logPublicMessage("width %d is 100%");
    DZLogWithLevel(1, "%@ of %d", "page", 3);
    DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"<Dozuza> Ad failed", "<Dozuza> width %d is 100%", "page of 3"}));
}

TEST(DZLogger, BurstFromAWorkerIsWrittenInOrderBeforeWaitReturns) {
    core::Console::Capture capture;
    std::thread worker([] {
        for (int i = 0; i < 300; ++i) DZLogWithLevel(1, "message %d", i);
    });
    worker.join();
    DZLogger::sharedInstance().waitForLogging();
    // Only this burst's lines: what an earlier test left under way (a web
    // process ending, say) may write to the console meanwhile.
    std::vector<std::string> lines;
    for (auto& line : capture.lines())
        if (line.rfind("message ", 0) == 0) lines.push_back(std::move(line));
    ASSERT_EQ(lines.size(), 300u);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(lines[static_cast<size_t>(i)], "message " + std::to_string(i));
}

TEST(DZLogger, WaitingFromTheLoggingQueueItselfRunsInline) {
    bool waitedInside = false;
    auto previous = core::Console::setSink([&](std::string_view) {
        DZLogger::sharedInstance().waitForLogging();  // on the logging queue
        waitedInside = true;
    });
    DZLogger::sharedInstance().logPublicMessage("x");
    DZLogger::sharedInstance().waitForLogging();
    core::Console::setSink(previous);
    EXPECT_TRUE(waitedInside);
}

TEST(DZLogger, ThresholdDecidesWhatIsWritten) {
    core::Console::Capture capture;
    DZLogger& logger = DZLogger::sharedInstance();
    logger.setLogLevelThreshold(0);
    logger.logPublicMessage("silenced");
    logger.setLogLevelThreshold(2);
    DZLogWithLevel(2, "level two");
    DZLogWithLevel(3, "level three");
    logger.setLogLevelThreshold(1);
    logger.waitForLogging();
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"level two"});
}

TEST(DZLoggerDeathTest, SilencedOrIdleLoggerMakesNoQueue) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            DZLogger& logger = DZLogger::sharedInstance();
            logger.waitForLogging();  // nothing logged yet: returns at once
            logger.setLogLevelThreshold(0);
            logger.logPublicMessage("quiet");
            std::exit(logger.hasLoggingQueue() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}
