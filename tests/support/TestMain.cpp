#include <gtest/gtest.h>

#include "TestEnvironment.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testsupport::testHome();
    return RUN_ALL_TESTS();
}
