#pragma once
// Prints where a test binary died when it dies of a signal (an abort from
// a failed check of a library, a crash): the test that was running, or
// that the process was past its tests and ending, and the stack of the
// thread the signal reached. ctest only says "Subprocess aborted"; this
// says where.
//
// The handler writes to the error output with async-signal-safe calls and
// the stack printer loaded beforehand, then lets the signal do what it
// would have done (a core dump, the exit status the harness reads).

#include <gtest/gtest.h>

namespace testsupport {

class CrashTrace : public testing::EmptyTestEventListener {
public:
    CrashTrace();

    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;
    void OnTestProgramEnd(const testing::UnitTest& unit) override;
};

}  // namespace testsupport
