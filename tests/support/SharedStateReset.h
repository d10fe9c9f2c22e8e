#pragma once
// What a test leaves in the process's shared stores is taken back when it
// ends, so that the next test, whichever the order, starts from the same
// state: the standard user defaults return to their entries at the test's
// start (keys the test added go, keys it changed or removed come back).

#include <gtest/gtest.h>

#include "core/Value.h"

namespace testsupport {

class SharedStateReset : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;

private:
    core::Dictionary defaults_;
};

}  // namespace testsupport
