#pragma once
// Ends a test binary whose test runs past a limit far over any wait of its
// own (a hang: a deadlock, a child that never ends), naming the test, so
// that it fails there and then instead of holding the run until the
// harness's own time-out. VANTOR_TEST_LIMIT_SECONDS sets the limit.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class TestWatchdog : public testing::EmptyTestEventListener {
public:
    static constexpr double kLimitSeconds = 480;

    explicit TestWatchdog(double limitSeconds = limitFromEnvironment());
    ~TestWatchdog() override;
    TestWatchdog(const TestWatchdog&) = delete;
    TestWatchdog& operator=(const TestWatchdog&) = delete;

    // Arms the limit for the named test, and disarms it.
    void arm(std::string name);
    void disarm();

    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;

    [[nodiscard]] static double limitFromEnvironment();

private:
    void watch();

    const double limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string running_;
    std::uint64_t serial_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace testsupport
