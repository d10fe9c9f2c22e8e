#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "StatisticsTesting.h"
#include "ads/foundation/DZTimingManager.h"
#include "core/NotificationCenter.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"

using namespace ads;
using statstesting::stored;

TEST(DZTimingManager, TimingsAreStoredAndReadBackAfterARestart) {
    statstesting::forget("timing-restart");
    testsupport::ManualClockScope clock;
    std::uint64_t loadStart = 0;
    {
        auto manager = DZTimingManager::create();
        manager->setIdentifier("timing-restart");
        EXPECT_EQ(manager->userDefaultsKey(), "dozuza_timing_timing-restart");
        const auto load = manager->addTimingWithCategory("load");
        load->start();
        loadStart = load->startTimestamp();
        clock.advance(0.375);
        load->end();
        // Ending does not save; the next addition writes it.
        manager->addTimingWithCategory("render");
    }  // released: its queued saves have run

    const core::Value forms = stored("dozuza_timing_timing-restart");
    EXPECT_EQ(forms["load"]["category"], core::Value("load"));
    EXPECT_EQ(forms["load"]["start"].uintValue(), loadStart);
    EXPECT_EQ(forms["load"]["end"].uintValue(), loadStart + 375);
    EXPECT_EQ(forms["render"]["start"].uintValue(), 0u);
    statstesting::reopenDefaultsFromDisk();

    auto reopened = DZTimingManager::create();
    reopened->setIdentifier("timing-restart");
    EXPECT_EQ(reopened->categories(), (std::vector<std::string>{"load", "render"}));
    ASSERT_NE(reopened->timingForCategory("load"), nullptr);
    EXPECT_EQ(reopened->timingForCategory("load")->elapsedMilliseconds(), 375u);
}

TEST(DZTimingManager, ATimingReplacesOneOfTheSameCategory) {
    statstesting::forget("timing-replace");
    auto manager = DZTimingManager::create();
    manager->setIdentifier("timing-replace");
    const auto first = manager->addTimingWithCategory("x");
    const auto other = manager->addTimingWithCategory("y");
    const auto second = manager->addTimingWithCategory("x");
    manager->addTiming(nullptr);
    EXPECT_EQ(manager->timingForCategory("x"), second);
    EXPECT_EQ(manager->timings(), (std::vector<std::shared_ptr<DZTiming>>{second, other}));

    manager->removeTimingForCategory("x");
    EXPECT_EQ(manager->timingForCategory("x"), nullptr);
    manager->addTimingWithCategory("z");
    manager.reset();
    const core::Value forms = stored("dozuza_timing_timing-replace");
    EXPECT_TRUE(forms["x"].isNull());
    EXPECT_EQ(forms.size(), 2u);
}

TEST(DZTimingManager, StoredTimingsReplaceThoseInMemoryAndJunkIsSkipped) {
    statstesting::forget("timing-load");
    statstesting::store(
        "dozuza_timing_timing-load",
        core::Dictionary{
            {"fetch", core::Dictionary{{"category", "fetch"}, {"start", 10}, {"end", 60}}},
            {"junk", "not a timing"}});
    auto manager = DZTimingManager::create();
    const auto mine = manager->addTimingWithCategory("fetch");
    manager->setIdentifier("timing-load");
    EXPECT_NE(manager->timingForCategory("fetch"), mine);
    EXPECT_EQ(manager->timingForCategory("fetch")->elapsedMilliseconds(), 50u);
    EXPECT_EQ(manager->timingForCategory("junk"), nullptr);
}

TEST(DZTimingManager, WithoutAnIdentifierNothingIsWritten) {
    auto manager = DZTimingManager::create();
    manager->setIdentifier("");
    manager->addTimingWithCategory("load");
    manager.reset();
    EXPECT_TRUE(stored("dozuza_timing_").isNull());
}

TEST(DZTimingManager, TerminationWaitsForEveryQueuedSave) {
    statstesting::forget("timing-terminate");
    auto manager = DZTimingManager::create();
    manager->setIdentifier("timing-terminate");
    for (int i = 0; i < 100; ++i) manager->addTimingWithCategory("t" + std::to_string(i));
    core::NotificationCenter::defaultCenter().post(ui::Application::WillTerminateNotification);
    EXPECT_EQ(statstesting::storedOnDisk("dozuza_timing_timing-terminate").size(), 100u);
}

// Additions from several threads at once: the last save written must be the
// one that carries every timing, whatever order the threads ran in. The
// interleaving that lost one is rare, so the test makes many.
TEST(DZTimingManager, ConcurrentAdditionsAreAllStored) {
    constexpr int kRounds = 20;
    constexpr int kThreads = 8;
    constexpr int kEach = 50;
    for (int round = 0; round < kRounds; ++round) {
        const std::string identifier = "timing-concurrent-" + std::to_string(round);
        statstesting::forget(identifier);
        auto manager = DZTimingManager::create();
        manager->setIdentifier(identifier);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&manager, t] {
                for (int i = 0; i < kEach; ++i) {
                    manager->addTimingWithCategory(std::to_string(t) + "-" + std::to_string(i));
                }
            });
        }
        for (auto& thread : threads) thread.join();
        manager.reset();  // waits for the queued saves
        ASSERT_EQ(stored("dozuza_timing_" + identifier).size(), size_t{kThreads * kEach})
            << "round " << round;
    }
}
