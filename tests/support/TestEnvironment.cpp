#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

namespace {
std::string makeHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantor-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a test home");
    setenv("VANTOR_HOME", pattern.c_str(), 1);
    return pattern;
}

struct HomeRemover {
    ~HomeRemover() {
        std::error_code ignored;
        std::filesystem::remove_all(testHome(), ignored);
    }
};
}  // namespace

const std::string& testHome() {
    static const std::string home = makeHome();
    static HomeRemover remover;
    return home;
}

}  // namespace testsupport
