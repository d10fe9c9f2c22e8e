#include <gtest/gtest.h>

#include <cstdlib>

#include "CrashTrace.h"
#include "SharedStateReset.h"
#include "TestEnvironment.h"
#include "TestWatchdog.h"
#include "core/RunLoop.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Videos played by tests are heard by no one: SDL's silent driver takes
    // their sound (tests that read it back install their own sink).
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    testsupport::testHome();
    core::RunLoop::bindMainToCurrentThread();
    // A test binary runs whole in one process too: what one test leaves in
    // the shared stores is taken back before the next.
    testing::UnitTest::GetInstance()->listeners().Append(new testsupport::SharedStateReset);
    // A test binary that dies of a signal says where, with the stack.
    testing::UnitTest::GetInstance()->listeners().Append(new testsupport::CrashTrace);
    // A test that hangs past every wait of its own ends the binary, named.
    testing::UnitTest::GetInstance()->listeners().Append(new testsupport::TestWatchdog);
    return RUN_ALL_TESTS();
}
