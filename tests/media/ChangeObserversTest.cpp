#include "media/ChangeObservers.h"

#include <gtest/gtest.h>

namespace {

TEST(ChangeObserversTest, NotifiesByKeyPathInOrderAndHonoursChangesMadeDuringANotification) {
    media::ChangeObservers observers;
    std::vector<std::string> calls;
    media::ChangeObservers::Token second;
    observers.add("rate", [&](const std::string& keyPath) {
        calls.push_back("first " + keyPath);
        observers.remove(second);
        observers.add("rate", [&](const std::string&) { calls.push_back("added"); });
    });
    second = observers.add("rate", [&](const std::string&) { calls.push_back("second"); });
    observers.add("status", [&](const std::string&) { calls.push_back("status"); });

    observers.notify("rate");
    EXPECT_EQ(calls, (std::vector<std::string>{"first rate"}));
    calls.clear();
    observers.notify("rate");
    // The one added in the first round; not the one added in this round.
    EXPECT_EQ(calls, (std::vector<std::string>{"first rate", "added"}));
    EXPECT_TRUE(observers.isObserved("status"));
    EXPECT_FALSE(observers.isObserved("currentItem.duration"));
}

}  // namespace
