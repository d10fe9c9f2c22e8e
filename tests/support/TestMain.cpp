#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "core/RunLoop.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testsupport::testHome();
    core::RunLoop::bindMainToCurrentThread();
    return RUN_ALL_TESTS();
}
