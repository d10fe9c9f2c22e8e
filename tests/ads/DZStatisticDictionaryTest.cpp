#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "StatisticsTesting.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "core/JSON.h"

using namespace ads;
using statstesting::list;
using statstesting::RecordingDelegate;

TEST(DZStatisticDictionary, ABurstOfNotifyingChangesReachesTheDelegateOnce) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto statistics = DZStatisticDictionary::create(delegate);
    {
        statstesting::QueueGate gate(delegate->queue());
        for (int i = 0; i < 10; ++i) statistics->incrementNumberForKey("clicks", true);
        // All ten have been applied while the delegate's queue was held.
        EXPECT_EQ(statistics->dictionary()["clicks"], core::Value(10));
    }
    ASSERT_TRUE(statstesting::waitFor([&] { return delegate->calls() >= 1; }));
    delegate->drain();
    ASSERT_EQ(delegate->calls(), 1);
    EXPECT_EQ(delegate->seen()[0]["clicks"], core::Value(10));
    EXPECT_FALSE(delegate->calledOffQueue());

    // A change after the call has been made is told again, with all changes.
    statistics->addNumber(core::Value(5), "clicks", true);
    ASSERT_TRUE(statstesting::waitFor([&] { return delegate->calls() >= 2; }));
    EXPECT_EQ(delegate->seen()[1]["clicks"], core::Value(15));
}

TEST(DZStatisticDictionary, ChangesThatDoNotAskAreNeverTold) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto statistics = DZStatisticDictionary::create("test.statistics.quiet", delegate);
    statistics->setObjectForKeyedSubscript("v", "a");
    statistics->setObject("w", "b", false);
    statistics->addObject("x", "list", false);
    statistics->setMaxSize(1, "list");
    statistics->incrementNumberForKey("n", false);
    statistics->removeAllObjects();
    EXPECT_TRUE(statistics->dictionary().empty());
    delegate->drain();
    EXPECT_EQ(delegate->calls(), 0);
    EXPECT_EQ(statistics->queueLabel(), "test.statistics.quiet");
}

TEST(DZStatisticDictionary, ADelegateWithoutAQueueIsNotToldAndDoesNotBlockItsSuccessor) {
    auto silent = std::make_shared<RecordingDelegate>(nullptr);
    auto statistics = DZStatisticDictionary::create(silent);
    statistics->incrementNumberForKey("n", true);
    EXPECT_EQ(statistics->objectForKeyedSubscript("n"), core::Value(1));
    EXPECT_EQ(silent->calls(), 0);

    auto listening = std::make_shared<RecordingDelegate>();
    statistics->setDelegate(listening);
    statistics->incrementNumberForKey("n", true);
    ASSERT_TRUE(statstesting::waitFor([&] { return listening->calls() == 1; }));
    EXPECT_EQ(listening->seen()[0]["n"], core::Value(2));

    // The reference is weak: a delegate gone away is simply not told.
    listening->drain();
    listening.reset();
    EXPECT_EQ(statistics->delegate(), nullptr);
    statistics->incrementNumberForKey("n", true);
    EXPECT_EQ(statistics->objectForKeyedSubscript("n"), core::Value(3));
}

TEST(DZStatisticDictionary, CountersAddIntegerPartsAndLeaveOtherValuesAlone) {
    auto statistics = DZStatisticDictionary::create();
    statistics->decrementNumberForKey("missing", false);
    statistics->addNumber(core::Value(2.9), "sum", false);
    statistics->addNumber(core::Value(1.7), "sum", false);
    statistics->addNumber(core::Value("5"), "sum", false);
    statistics->setObject("text", "label", false);
    statistics->incrementNumberForKey("label", false);
    statistics->setObject(core::Value(static_cast<long long>(LLONG_MAX - 1)), "big", false);
    statistics->addNumber(core::Value(10), "big", false);
    statistics->setObject(core::Value(static_cast<long long>(LLONG_MIN + 1)), "low", false);
    statistics->addNumber(core::Value(-10), "low", false);

    const core::Dictionary content = statistics->dictionary();
    EXPECT_EQ(content["missing"], core::Value(-1));
    EXPECT_EQ(content["sum"], core::Value(8));
    EXPECT_TRUE(content["sum"].isInteger());
    EXPECT_EQ(content["label"], core::Value("text"));
    EXPECT_EQ(content["big"].intValue(), LLONG_MAX);
    EXPECT_EQ(content["low"].intValue(), LLONG_MIN);
}

TEST(DZStatisticDictionary, CappedListsDropTheirOldestItems) {
    auto statistics = DZStatisticDictionary::create();
    statistics->setMaxSize(3, "recent");
    for (int i = 1; i <= 4; ++i) statistics->addObject(core::Value(i), "recent", false);
    EXPECT_EQ(statistics->objectForKeyedSubscript("recent"), list({2, 3, 4}));

    for (int i = 1; i <= 4; ++i) statistics->addObject(core::Value(i), "uncapped", false);
    statistics->setMaxSize(1, "uncapped");
    EXPECT_EQ(statistics->objectForKeyedSubscript("uncapped"), list({4}));

    statistics->setMaxSize(-1, "uncapped");
    statistics->addObject("next", "uncapped", false);
    EXPECT_EQ(statistics->objectForKeyedSubscript("uncapped"), list({4, "next"}));

    statistics->setMaxSize(0, "empty");
    statistics->addObject("gone", "empty", false);
    EXPECT_EQ(statistics->objectForKeyedSubscript("empty"), list({}));

    statistics->setObject("scalar", "scalar", false);
    statistics->addObject("item", "scalar", false);
    statistics->addObject(core::Value(), "nothing", false);
    EXPECT_EQ(statistics->objectForKeyedSubscript("scalar"), core::Value("scalar"));
    EXPECT_TRUE(statistics->objectForKeyedSubscript("nothing").isNull());
}

TEST(DZStatisticDictionary, PlainValuesAreSetMergedAndRemoved) {
    auto statistics = DZStatisticDictionary::create();
    statistics->setObject("one", "a", false);
    statistics->setObject("two", "b", false);
    statistics->addEntriesFromDictionary(core::Dictionary{{"b", "second"}, {"c", 3}}, false);
    statistics->setObject(core::Value(), "a", false);
    EXPECT_EQ(statistics->dictionary(), (core::Dictionary{{"b", "second"}, {"c", 3}}));
    EXPECT_TRUE(statistics->objectForKeyedSubscript("a").isNull());
}

TEST(DZStatisticDictionary, FinishingDeliversWhatIsDueThenFreezesAndDetaches) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto statistics = DZStatisticDictionary::create(delegate);
    statistics->setObject("kept", "state", true);
    statistics->didFinishModifying();
    // No waiting: the due call was made before didFinishModifying returned.
    ASSERT_EQ(delegate->calls(), 1);
    EXPECT_EQ(delegate->seen()[0]["state"], core::Value("kept"));
    EXPECT_EQ(statistics->delegate(), nullptr);

    statistics->setObject("changed", "state", true);
    statistics->incrementNumberForKey("n", true);
    statistics->removeAllObjects();
    EXPECT_EQ(statistics->dictionary(), (core::Dictionary{{"state", "kept"}}));
    delegate->drain();
    EXPECT_EQ(delegate->calls(), 1);
}

TEST(DZStatisticDictionary, FinishingOnTheDelegatesOwnQueueDeliversInline) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto statistics = DZStatisticDictionary::create(delegate);
    int callsWhenFinished = -1;
    delegate->queue().sync([&] {
        statistics->incrementNumberForKey("n", true);
        // Applied, so its call is queued behind this very task.
        EXPECT_EQ(statistics->objectForKeyedSubscript("n"), core::Value(1));
        statistics->didFinishModifying();
        callsWhenFinished = delegate->calls();
    });
    EXPECT_EQ(callsWhenFinished, 1);
    delegate->drain();
    EXPECT_EQ(delegate->calls(), 1);
}

TEST(DZStatisticDictionary, ConcurrentWritersLoseNothing) {
    auto statistics = DZStatisticDictionary::create();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&statistics, t] {
            for (int i = 0; i < 500; ++i) {
                statistics->incrementNumberForKey("count", false);
                statistics->addObject(core::Value(t), "log", false);
            }
        });
    }
    for (auto& writer : writers) writer.join();
    const core::Dictionary content = statistics->dictionary();
    EXPECT_EQ(content["count"], core::Value(2000));
    EXPECT_EQ(content["log"].size(), 2000u);
}

TEST(DZStatisticDictionary, DescriptionShowsTheQueueAndTheStatisticsAsJSON) {
    auto statistics = DZStatisticDictionary::create("test.statistics.describe", {});
    statistics->setObject("a/b", "path", false);
    statistics->setObject(30.0, "seconds", false);
    const std::string text = statistics->description();
    EXPECT_EQ(text.rfind("<DZStatisticDictionary: 0x", 0), 0u) << text;
    EXPECT_NE(text.find(">\nqueue: test.statistics.describe\nstatistics: {"), std::string::npos)
        << text;
    const auto json = text.substr(text.find("statistics: ") + 12);
    EXPECT_EQ(core::JSON::parse(json), core::Value(statistics->dictionary()));
    EXPECT_NE(json.find("a\\/b"), std::string::npos);

    // What JSON cannot hold falls back to the plain description.
    statistics->setObject(core::Value(core::Data{1, 2}), "bytes", false);
    EXPECT_NE(statistics->description().find("statistics: {"), std::string::npos);
    EXPECT_EQ(statistics->description().find("\"bytes\""), std::string::npos);
}
