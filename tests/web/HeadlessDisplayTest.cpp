// The display web views draw on when none is set: an Xvfb of the process's
// own, or a clear failure when there is no Xvfb to start.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "web/HeadlessDisplay.h"

namespace {

// Sets or unsets variables for the test's lifetime.
class Environment {
public:
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const char* value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(HeadlessDisplayTest, WithoutXvfbItFailsWithAMessage) {
    if (!web::HeadlessDisplay::startedDisplay().empty()) GTEST_SKIP() << "a server runs already";
    Environment environment;
    environment.set("DISPLAY", nullptr);
    environment.set("WAYLAND_DISPLAY", nullptr);
    environment.set("PATH", "/nonexistent");
    std::string error;
    EXPECT_FALSE(web::HeadlessDisplay::ensure(&error));
    EXPECT_NE(error.find("Xvfb is not installed"), std::string::npos) << error;
}

TEST(HeadlessDisplayTest, WithoutADisplayItStartsItsOwnServer) {
    Environment environment;
    if (web::HeadlessDisplay::startedDisplay().empty()) {
        environment.set("DISPLAY", nullptr);
        environment.set("WAYLAND_DISPLAY", nullptr);
    }
    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    const std::string display = web::HeadlessDisplay::startedDisplay();
    if (display.empty()) GTEST_SKIP() << "the environment names a display";
    EXPECT_EQ(std::getenv("DISPLAY"), display);
    EXPECT_TRUE(std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1)));
}

}  // namespace
