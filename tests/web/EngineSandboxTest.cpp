// What keeps web views from starting where the engine would run pages
// outside its sandbox or leave a "/.flatpak-info" on the machine: checked
// against a folder standing for the root and an environment of the test's.

#include "web/EngineSandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

class EngineSandboxTest : public testing::Test {
protected:
    void SetUp() override {
        root = fs::path(testsupport::testHome()) / "root";
        fs::remove_all(root);
        fs::create_directories(root / "run" / "user");
    }
    std::optional<std::string> hazard() const {
        return web::sandboxHazard(root.string(), [this](const char* name) -> const char* {
            const auto found = variables.find(name);
            return found == variables.end() ? nullptr : found->second.c_str();
        });
    }

    fs::path root;
    std::map<std::string, std::string> variables;
};

TEST_F(EngineSandboxTest, AFlatpakInfoFileOfAnyKindKeepsWebViewsFromStarting) {
    variables["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/run/user/bus";
    EXPECT_EQ(hazard(), std::nullopt);

    std::ofstream(root / ".flatpak-info").close();
    const auto empty = hazard();
    ASSERT_TRUE(empty);
    EXPECT_NE(empty->find(".flatpak-info"), std::string::npos) << *empty;

    fs::remove(root / ".flatpak-info");
    fs::create_symlink(root / "nowhere", root / ".flatpak-info");
    EXPECT_TRUE(hazard()) << "a dangling link is present all the same";
}

TEST_F(EngineSandboxTest, TheEnginesSwitchForNoSandboxKeepsWebViewsFromStarting) {
    variables["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "0";
    EXPECT_EQ(hazard(), std::nullopt);
    variables["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1";
    EXPECT_TRUE(hazard());
}

// Only a bus socket directly in the root folder (however its path is
// written) would have the engine bind the root folder into a sandbox.
TEST_F(EngineSandboxTest, ABusSocketInTheRootFolderKeepsWebViewsFromStarting) {
    // Paths are read below the folder standing for the root.
    const struct {
        const char* variable;
        std::string address;
        bool hazard;
    } cases[] = {
        {"DBUS_SESSION_BUS_ADDRESS", "disabled:", false},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:abstract=/bus", false},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/bus,guid=1", false},
        {"DBUS_SESSION_BUS_ADDRESS", "tcp:host=127.0.0.1,port=4", false},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/bus", true},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:guid=1,path=/made-up", true},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/../bus", true},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=//bus", true},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:abstract=x;unix:path=/bus", true},
        {"WEBKIT_A11Y_BUS_ADDRESS", "unix:path=/at-spi", true},
        {"AT_SPI_BUS_ADDRESS", "unix:path=/at-spi", true},
    };
    for (const auto& c : cases) {
        variables = {{c.variable, c.address}};
        const auto found = hazard();
        EXPECT_EQ(found.has_value(), c.hazard) << c.variable << "=" << c.address;
        if (found) {
            EXPECT_NE(found->find(c.variable), std::string::npos) << *found;
        }
    }
}

}  // namespace
