#pragma once
// Process-wide test set-up: every test binary runs with its own empty app
// home (VANTOR_HOME) under the temporary folder, removed at exit.

#include <string>

namespace testsupport {

// The app home of this test process.
const std::string& testHome();

}  // namespace testsupport
