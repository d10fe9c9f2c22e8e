#include "TestWatchdog.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace testsupport {

namespace {

// What the signal handler writes: made when a test is armed, as the
// handler may only write and end.
char message[512];
volatile sig_atomic_t messageLength = 0;

void ranPast(int) {
    // Straight to the descriptor: the hung thread may hold a stream's lock.
    (void)!write(STDERR_FILENO, message, std::size_t(messageLength));
    std::abort();
}

void setTimer(double seconds) {
    itimerval timer{};
    const double whole = std::floor(seconds);
    timer.it_value.tv_sec = time_t(whole);
    timer.it_value.tv_usec = suseconds_t((seconds - whole) * 1e6);
    setitimer(ITIMER_REAL, &timer, nullptr);
}

}  // namespace

TestWatchdog::TestWatchdog(double limitSeconds) : limit_(std::max(limitSeconds, 0.001)) {
    struct sigaction action{};
    action.sa_handler = ranPast;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
}

TestWatchdog::~TestWatchdog() {
    if (armed_) disarm();
}

double TestWatchdog::limitFromEnvironment() {
    const char* text = std::getenv("VANTOR_TEST_LIMIT_SECONDS");
    const double limit = text ? std::strtod(text, nullptr) : 0;
    return limit > 0 ? limit : kLimitSeconds;
}

void TestWatchdog::arm(const std::string& name) {
    setTimer(0);
    const std::string text =
        "\n" + name + " ran past " + std::to_string(int(limit_)) + " s: the binary is ended\n";
    const std::size_t length = std::min(text.size(), sizeof message);
    std::memcpy(message, text.data(), length);
    messageLength = sig_atomic_t(length);
    armed_ = true;
    setTimer(limit_);
}

void TestWatchdog::disarm() {
    setTimer(0);
    armed_ = false;
}

void TestWatchdog::OnTestStart(const testing::TestInfo& test) {
    arm(std::string(test.test_suite_name()) + "." + test.name());
}

void TestWatchdog::OnTestEnd(const testing::TestInfo&) {
    disarm();
}

}  // namespace testsupport
