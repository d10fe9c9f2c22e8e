#pragma once
// Rounds of a test that repeats a step to catch what goes wrong only now
// and then (loads racing in a new web process): at most `most` rounds, and
// once `least` have run, no new one after `seconds` of real time, so that
// a machine busy with the rest of the suite runs fewer rounds instead of
// running into the harness's time-out. Every round that runs checks all it
// checks; the count run is printed.

#include <chrono>
#include <iostream>
#include <string>

namespace testsupport {

class RoundBudget {
public:
    RoundBudget(int least, int most, double seconds)
        : least_(least), most_(most), seconds_(seconds), start_(Clock::now()) {}
    ~RoundBudget() { std::cout << "[ rounds   ] " << ran_ << " of " << most_ << " ran\n"; }
    RoundBudget(const RoundBudget&) = delete;
    RoundBudget& operator=(const RoundBudget&) = delete;

    // Whether another round runs; counts it.
    [[nodiscard]] bool next() {
        if (ran_ >= most_) return false;
        if (ran_ >= least_ &&
            std::chrono::duration<double>(Clock::now() - start_).count() >= seconds_)
            return false;
        ++ran_;
        return true;
    }
    // The rounds begun so far, from 1.
    [[nodiscard]] int round() const { return ran_; }

private:
    using Clock = std::chrono::steady_clock;
    const int least_;
    const int most_;
    const double seconds_;
    const Clock::time_point start_;
    int ran_ = 0;
};

}  // namespace testsupport
