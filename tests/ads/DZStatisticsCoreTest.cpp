#include <gtest/gtest.h>

#include "StatisticsTesting.h"
#include "ads/foundation/DZStatisticsCore.h"
#include "core/NotificationCenter.h"
#include "ui/Application.h"

using namespace ads;
using statstesting::list;
using statstesting::stored;

TEST(DZStatisticsCore, ListsAreSavedUnderTheSlotKeyAndReadBackAfterARestart) {
    statstesting::forget("core-restart");
    {
        auto store = DZStatisticsCore::create();
        store->setIdentifier("core-restart");
        store->appendString("first", "names");
        store->appendString("second", "names");
        store->appendDictionary(core::Dictionary{{"k", "v"}}, "entries");
        EXPECT_EQ(store->userDefaultsKey(), "dozuza_stats_core-restart");
        const core::Dictionary expected{{"names", list({"first", "second"})},
                                        {"entries", list({core::Dictionary{{"k", "v"}}})}};
        EXPECT_EQ(store->statistics(), expected);
        EXPECT_EQ(stored("dozuza_stats_core-restart"), core::Value(expected));
    }
    statstesting::reopenDefaultsFromDisk();

    auto reopened = DZStatisticsCore::create();
    reopened->setIdentifier("core-restart");
    EXPECT_EQ(reopened->arrayForKey("names"), (core::Array{"first", "second"}));
    reopened->appendString("third", "names");
    EXPECT_EQ(reopened->arrayForKey("names"), (core::Array{"first", "second", "third"}));
    ASSERT_TRUE(reopened->arrayForKey("entries"));
    EXPECT_EQ(reopened->arrayForKey("entries")->size(), 1u);
}

TEST(DZStatisticsCore, WhatWasRecordedBeforeTheIdentifierFollowsTheStoredItems) {
    statstesting::forget("core-merge");
    statstesting::store("dozuza_stats_core-merge",
                        core::Dictionary{{"names", list({"old"})}, {"stored", list({"x"})}});
    auto store = DZStatisticsCore::create();
    store->appendString("new", "names");
    store->appendString("mine", "fresh");
    EXPECT_TRUE(stored("dozuza_stats_core-merge")["fresh"].isNull());
    store->setIdentifier("core-merge");

    const core::Dictionary merged = store->statistics();
    EXPECT_EQ(merged["names"], list({"old", "new"}));
    EXPECT_EQ(merged["stored"], list({"x"}));
    EXPECT_EQ(merged["fresh"], list({"mine"}));
    // Written at once, not only with the next change.
    EXPECT_EQ(stored("dozuza_stats_core-merge"), core::Value(merged));
}

TEST(DZStatisticsCore, SettingTheSameIdentifierAgainLoadsNothingTwice) {
    statstesting::forget("core-twice");
    statstesting::store("dozuza_stats_core-twice", core::Dictionary{{"names", list({"old"})}});
    auto store = DZStatisticsCore::create();
    store->setIdentifier("core-twice");
    store->setIdentifier("core-twice");
    store->appendString("new", "names");
    EXPECT_EQ(store->arrayForKey("names"), (core::Array{"old", "new"}));
}

TEST(DZStatisticsCore, AnEmptyIdentifierKeepsTheStoreInMemory) {
    auto store = DZStatisticsCore::create();
    store->setIdentifier("");
    store->appendString("a", "names");
    EXPECT_EQ(store->arrayForKey("names"), (core::Array{"a"}));
    EXPECT_EQ(store->userDefaultsKey(), std::nullopt);
    EXPECT_TRUE(stored("dozuza_stats_").isNull());

    store->appendString("ignored", "");
    EXPECT_EQ(store->statistics().size(), 1u);
}

TEST(DZStatisticsCore, StoredValuesOfTheWrongKindGiveWayToLists) {
    statstesting::forget("core-notdict");
    statstesting::forget("core-scalar");
    statstesting::store("dozuza_stats_core-scalar", core::Dictionary{{"names", "text"}});
    statstesting::store("dozuza_stats_core-notdict", "not a dictionary");
    auto scalar = DZStatisticsCore::create();
    scalar->setIdentifier("core-scalar");
    EXPECT_EQ(scalar->arrayForKey("names"), std::nullopt);
    scalar->appendString("a", "names");
    EXPECT_EQ(scalar->arrayForKey("names"), (core::Array{"a"}));

    auto ignored = DZStatisticsCore::create();
    ignored->appendString("kept", "names");
    ignored->setIdentifier("core-notdict");
    EXPECT_EQ(ignored->statistics(), (core::Dictionary{{"names", list({"kept"})}}));
    EXPECT_EQ(stored("dozuza_stats_core-notdict")["names"], list({"kept"}));
}

TEST(DZStatisticsCore, RemovingAnEntrySavesAtOnce) {
    statstesting::forget("core-remove");
    auto store = DZStatisticsCore::create();
    store->setIdentifier("core-remove");
    store->appendString("a", "gone");
    store->appendString("b", "kept");
    store->removeObjectForKey("gone");
    EXPECT_EQ(store->statistics(), (core::Dictionary{{"kept", list({"b"})}}));
    EXPECT_EQ(stored("dozuza_stats_core-remove"), core::Value(store->statistics()));
}

TEST(DZStatisticsCore, TerminationWaitsForEveryQueuedSave) {
    statstesting::forget("core-terminate");
    auto store = DZStatisticsCore::create();
    store->setIdentifier("core-terminate");
    for (int i = 0; i < 200; ++i) store->appendString(std::to_string(i), "items");
    core::NotificationCenter::defaultCenter().post(ui::Application::WillTerminateNotification);
    // Read from the file: no call on the store waits first.
    EXPECT_EQ(statstesting::storedOnDisk("dozuza_stats_core-terminate")["items"].size(), 200u);
}
