#pragma once
// Ends a test binary whose test runs past a limit far over any wait of its
// own (a hang: a deadlock, a child that never ends), naming the test, so
// that it fails there and then instead of holding the run until the
// harness's own time-out. VANTOR_TEST_LIMIT_SECONDS sets the limit.
//
// It keeps no thread: the process's real-time interval timer (SIGALRM)
// counts the limit, so a test that forks still forks a process of one
// thread (a child of a process with threads may not start its own under
// ThreadSanitizer), and a child does not inherit the timer. One watchdog
// is armed at a time in a process: arming another takes the timer over.

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

class TestWatchdog : public testing::EmptyTestEventListener {
public:
    static constexpr double kLimitSeconds = 480;

    explicit TestWatchdog(double limitSeconds = limitFromEnvironment());
    ~TestWatchdog() override;
    TestWatchdog(const TestWatchdog&) = delete;
    TestWatchdog& operator=(const TestWatchdog&) = delete;

    // Arms the limit for the named test, and disarms it.
    void arm(const std::string& name);
    void disarm();

    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;

    [[nodiscard]] static double limitFromEnvironment();

private:
    const double limit_;
    bool armed_ = false;
};

}  // namespace testsupport
