#include "core/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Queue.h"
#include "core/RunLoop.h"

namespace {

using core::Notification;
using core::NotificationCenter;

constexpr double kLimit = 10.0;

class NotificationCenterTest : public testing::Test {
protected:
    // Records the names it receives, tagged.
    NotificationCenter::Callback record(std::string tag) {
        return [this, tag](const Notification& n) { received.push_back(tag + ":" + n.name); };
    }

    NotificationCenter center;
    std::vector<std::string> received;
    const int sender = 0;
    const int otherSender = 0;
};

TEST_F(NotificationCenterTest, DeliversSynchronouslyOnThePostingThread) {
    std::thread::id deliveredOn;
    core::Value userInfo;
    center.addObserver("ping", nullptr, nullptr, [&](const Notification& n) {
        deliveredOn = std::this_thread::get_id();
        userInfo = n.userInfo;
    });
    core::Dictionary info;
    info.set("count", core::Value(3));
    std::thread::id poster;
    std::thread([&] {
        poster = std::this_thread::get_id();
        center.post("ping", nullptr, core::Value(info));
        EXPECT_EQ(deliveredOn, poster);  // already delivered when post returns
    }).join();
    EXPECT_EQ(userInfo["count"].intValue(), 3);
}

TEST_F(NotificationCenterTest, MatchesByNameAndObjectWithEmptyAndNullAsWildcards) {
    center.addObserver("a", nullptr, nullptr, record("any-a"));
    center.addObserver("a", &sender, nullptr, record("sender-a"));
    center.addObserver("", &sender, nullptr, record("sender-all"));
    center.addObserver("", nullptr, nullptr, record("all"));

    center.post("a", &sender);
    center.post("a", &otherSender);
    center.post("b");
    EXPECT_EQ(received, (std::vector<std::string>{"any-a:a", "sender-a:a", "sender-all:a", "all:a",
                                                  "any-a:a", "all:a", "all:b"}));
}

TEST_F(NotificationCenterTest, QueueObserversGetACopyOnTheirQueue) {
    std::thread::id deliveredOn;
    std::string name;
    bool delivered = false;
    center.addObserver("later", nullptr, core::Queue::main(), [&](const Notification& n) {
        deliveredOn = std::this_thread::get_id();
        name = n.name;
        delivered = true;
    });
    std::thread([&] { center.post("later"); }).join();
    EXPECT_FALSE(delivered);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return delivered; }, kLimit));
    EXPECT_EQ(deliveredOn, std::this_thread::get_id());
    EXPECT_EQ(name, "later");
}

TEST_F(NotificationCenterTest, RemovedObserversGetNothingMoreEvenWhenQueued) {
    auto direct = center.addObserver("n", nullptr, nullptr, record("direct"));
    bool queuedRan = false;
    auto queued = center.addObserver("n", nullptr, core::Queue::main(),
                                     [&](const Notification&) { queuedRan = true; });
    center.post("n");
    center.removeObserver(direct);
    center.removeObserver(queued);
    center.post("n");
    core::RunLoop::main().runOnce();
    EXPECT_EQ(received, (std::vector<std::string>{"direct:n"}));
    EXPECT_FALSE(queuedRan);
}

TEST_F(NotificationCenterTest, ObserverObjectsAreDroppedWhenReleased) {
    auto observer = std::make_shared<int>(0);
    auto payload = std::make_shared<int>(0);
    std::weak_ptr<int> payloadWatch = payload;
    center.addObserver(observer, "n", nullptr,
                       [observed = observer.get(), payload](const Notification&) { ++*observed; });
    payload.reset();
    center.post("n");
    EXPECT_EQ(*observer, 1);

    observer.reset();
    center.post("n");  // must not touch the released observer
    EXPECT_TRUE(payloadWatch.expired());
}

TEST_F(NotificationCenterTest, RemovingAnObserverObjectRemovesAllItsRegistrations) {
    auto observer = std::make_shared<int>(0);
    center.addObserver(observer, "a", nullptr, record("obs"));
    center.addObserver(observer, "b", nullptr, record("obs"));
    center.addObserver("a", nullptr, nullptr, record("other"));
    center.removeObserver(observer.get());
    center.post("a");
    center.post("b");
    EXPECT_EQ(received, (std::vector<std::string>{"other:a"}));
}

TEST_F(NotificationCenterTest, DeliveryKeepsTheOrderOfAddingAcrossRemovals) {
    auto observer = std::make_shared<int>(0);
    auto otherObserver = std::make_shared<int>(0);
    center.addObserver("n", nullptr, nullptr, record("a"));
    center.addObserver(observer, "n", nullptr, record("b"));
    const auto c = center.addObserver("n", nullptr, nullptr, record("c"));
    center.addObserver(otherObserver, "n", nullptr, record("d"));
    center.removeObserver(observer.get());
    center.addObserver("n", nullptr, nullptr, record("e"));
    center.removeObserver(c);
    center.addObserver(observer, "n", nullptr, record("f"));
    // Removing what is gone, or was never there, changes nothing.
    center.removeObserver(c);
    center.removeObserver(NotificationCenter::Token{});
    center.removeObserver(static_cast<const void*>(&sender));

    center.post("n");
    EXPECT_EQ(received, (std::vector<std::string>{"a:n", "d:n", "e:n", "f:n"}));
}

TEST_F(NotificationCenterTest, RemovingATokenAgainAfterTheListWasCompactedRemovesNothingElse) {
    // Enough registrations that removing most of them drops the gaps.
    std::vector<NotificationCenter::Token> tokens;
    for (int i = 0; i < 200; ++i)
        tokens.push_back(center.addObserver("n", nullptr, nullptr, record(std::to_string(i))));
    center.removeObserver(tokens[10]);
    for (int i = 20; i < 200; ++i) center.removeObserver(tokens[i]);
    // Their places are gone now; removing them again must not take their
    // neighbours (11, the first after 10) or anything past the end.
    center.removeObserver(tokens[10]);
    center.removeObserver(tokens[199]);
    center.removeObserver(tokens[19]);
    center.removeObserver(tokens[19]);

    center.post("n");
    std::vector<std::string> expected;
    for (int i = 0; i < 19; ++i)
        if (i != 10) expected.push_back(std::to_string(i) + ":n");
    EXPECT_EQ(received, expected);
}

TEST_F(NotificationCenterTest, ReleasedObserversLetGoOfTheirCallbacksWithoutAPost) {
    auto observer = std::make_shared<int>(0);
    auto payload = std::make_shared<int>(0);
    const std::weak_ptr<int> payloadWatch = payload;
    center.addObserver(observer, "n", nullptr, [payload](const Notification&) {});
    payload.reset();
    observer.reset();
    // Registrations come and stay, as in a process that posts rarely.
    for (int i = 0; i < 1000 && !payloadWatch.expired(); ++i)
        (void)center.addObserver("other", nullptr, nullptr, [](const Notification&) {});
    EXPECT_TRUE(payloadWatch.expired());
}

TEST_F(NotificationCenterTest, CallbacksMayRemoveAndAddObserversDuringDelivery) {
    NotificationCenter::Token self, later;
    self = center.addObserver("n", nullptr, nullptr, [&](const Notification& n) {
        received.push_back("self:" + n.name);
        center.removeObserver(self);
        center.removeObserver(later);
        center.addObserver("n", nullptr, nullptr, record("added"));
    });
    later = center.addObserver("n", nullptr, nullptr, record("later"));

    center.post("n");
    EXPECT_EQ(received, (std::vector<std::string>{"self:n"}));
    center.post("n");
    EXPECT_EQ(received, (std::vector<std::string>{"self:n", "added:n"}));
}

TEST_F(NotificationCenterTest, PostsFromSeveralThreadsWhileObserversComeAndGo) {
    std::atomic<int> delivered{0};
    center.addObserver("n", nullptr, nullptr, [&](const Notification&) { ++delivered; });
    constexpr int kPosts = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPosts; ++i) center.post("n");
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kPosts; ++i) {
            center.removeObserver(center.addObserver("n", nullptr, nullptr, [](auto&) {}));
        }
    });
    // Observer objects too, removed by address, or released without it.
    threads.emplace_back([&] {
        for (int i = 0; i < kPosts; ++i) {
            auto observer = std::make_shared<int>(i);
            center.addObserver(observer, "n", nullptr, [](auto&) {});
            if (i % 2 == 0) center.removeObserver(observer.get());
        }
    });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(delivered, 3 * kPosts);
}

TEST(NotificationCenterDefaultTest, DefaultCenterIsOneInstance) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

}  // namespace
