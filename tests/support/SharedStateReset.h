#pragma once
// What a test leaves in the process's shared stores is taken back when it
// ends, so that the next test, whichever the order, starts from the same
// state: the standard user defaults return to their entries at the test's
// start (keys the test added go, keys it changed or removed come back).
// A binary adds the resets of its own layers' shared objects with addReset;
// they run at each test's end, in the order added, before the defaults.

#include <gtest/gtest.h>

#include <functional>

#include "core/Value.h"

namespace testsupport {

class SharedStateReset : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;

    // Safe from static initialisers (a registration object in a test file).
    static void addReset(std::function<void()> reset);

private:
    core::Dictionary defaults_;
};

}  // namespace testsupport
