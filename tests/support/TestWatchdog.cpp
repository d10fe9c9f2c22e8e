#include "TestWatchdog.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace testsupport {

TestWatchdog::TestWatchdog(double limitSeconds)
    : limit_(limitSeconds), thread_([this] { watch(); }) {}

TestWatchdog::~TestWatchdog() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

double TestWatchdog::limitFromEnvironment() {
    const char* text = std::getenv("VANTOR_TEST_LIMIT_SECONDS");
    const double limit = text ? std::strtod(text, nullptr) : 0;
    return limit > 0 ? limit : kLimitSeconds;
}

void TestWatchdog::arm(std::string name) {
    {
        const std::lock_guard lock(mutex_);
        running_ = std::move(name);
        ++serial_;
    }
    changed_.notify_all();
}

void TestWatchdog::disarm() {
    {
        const std::lock_guard lock(mutex_);
        running_.clear();
        ++serial_;
    }
    changed_.notify_all();
}

void TestWatchdog::OnTestStart(const testing::TestInfo& test) {
    arm(std::string(test.test_suite_name()) + "." + test.name());
}

void TestWatchdog::OnTestEnd(const testing::TestInfo&) {
    disarm();
}

void TestWatchdog::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (running_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const std::uint64_t serial = serial_;
        const auto limit = std::chrono::duration<double>(limit_);
        if (changed_.wait_for(lock, limit, [&] { return stopping_ || serial_ != serial; }))
            continue;
        // Written straight to the descriptor: the hung thread may hold a
        // stream's lock.
        const std::string message = "\n" + running_ + " ran past " + std::to_string(int(limit_)) +
                                    " s: the binary is ended\n";
        (void)!write(STDERR_FILENO, message.data(), message.size());
        std::abort();
    }
}

}  // namespace testsupport
