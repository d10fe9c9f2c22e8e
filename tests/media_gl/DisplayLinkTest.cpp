#include "media/DisplayLink.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/Thread.h"
#include "support/ManualClockScope.h"

namespace {

using media::DisplayLink;

constexpr double kFrame = 1.0 / 60;

struct Frame {
    double timestamp;
    double duration;
    std::thread::id thread;
};

class DisplayLinkTest : public testing::Test {
protected:
    void SetUp() override {
        thread_ = core::Thread::start("display-link");
        link_ = DisplayLink::create([this](DisplayLink& link) {
            frames_.push_back({link.timestamp(), link.duration(), std::this_thread::get_id()});
        });
    }
    void TearDown() override {
        link_->invalidate();
        (void)thread_->perform([] { core::RunLoop::current().stop(); }, false);
        thread_->join();
    }

    // Advances the clock, then waits until the render loop has fired what
    // became due (timers fire before tasks in a pass).
    void advance(double seconds) {
        clock_.advance(seconds);
        (void)thread_->perform([] {}, true);
    }
    std::vector<double> timestamps() const {
        std::vector<double> stamps;
        for (const auto& frame : frames_) stamps.push_back(frame.timestamp);
        return stamps;
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<core::Thread> thread_;
    std::shared_ptr<DisplayLink> link_;
    std::vector<Frame> frames_;  // written on the render thread, read after a barrier
};

TEST_F(DisplayLinkTest, CallsBackAtEverySlotOnItsLoopsThreadWithTheSlotsTime) {
    const double start = clock_->monotonicSeconds();
    advance(1.0);
    EXPECT_TRUE(frames_.empty()) << "not on a run loop yet";

    (void)thread_->perform([this] { link_->addToRunLoop(core::RunLoop::current()); }, true);
    advance(3 * kFrame + kFrame / 2);
    ASSERT_EQ(frames_.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(frames_[i].timestamp, start + 1.0 + (i + 1) * kFrame, 1e-9);
        EXPECT_DOUBLE_EQ(frames_[i].duration, kFrame);
        EXPECT_NE(frames_[i].thread, std::this_thread::get_id());
    }
    EXPECT_EQ(link_->frameCount(), 3u);
    EXPECT_NEAR(link_->targetTimestamp(), link_->timestamp() + kFrame, 1e-12);
}

TEST_F(DisplayLinkTest, PausedItStaysQuietAndResumesOneFrameAfterResuming) {
    link_->setPaused(true);
    (void)thread_->perform([this] { link_->addToRunLoop(core::RunLoop::current()); }, true);
    advance(1.0);
    EXPECT_TRUE(frames_.empty());
    EXPECT_FALSE(link_->tick());

    const double resumed = clock_->monotonicSeconds();
    link_->setPaused(false);
    advance(kFrame * 1.5);
    ASSERT_EQ(timestamps().size(), 1u);
    EXPECT_NEAR(timestamps()[0], resumed + kFrame, 1e-9);

    link_->setPaused(true);
    advance(1.0);
    EXPECT_EQ(frames_.size(), 1u);
}

TEST_F(DisplayLinkTest, TicksByHandAndStopsForGoodWhenInvalidatedFromItsCallback) {
    auto link = DisplayLink::create([](DisplayLink& self) { self.invalidate(); });
    (void)thread_->perform([&] { link->addToRunLoop(core::RunLoop::current()); }, true);
    advance(5 * kFrame);
    EXPECT_EQ(link->frameCount(), 1u);
    EXPECT_FALSE(link->isValid());
    EXPECT_FALSE(link->tick());

    // By hand, on the calling thread, at the clock's time.
    EXPECT_TRUE(link_->tick());
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_DOUBLE_EQ(frames_[0].timestamp, clock_->monotonicSeconds());
    EXPECT_EQ(frames_[0].thread, std::this_thread::get_id());
}

}  // namespace
