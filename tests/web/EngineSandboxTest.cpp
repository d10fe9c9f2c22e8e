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

TEST_F(EngineSandboxTest, AFlatpakInfoFileOrTheEnginesSwitchKeepsWebViewsFromStarting) {
    variables = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/bus"},
                 {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "0"}};
    EXPECT_EQ(hazard(), std::nullopt);
    std::ofstream(root / ".flatpak-info").close();
    const auto empty = hazard();
    ASSERT_TRUE(empty);
    EXPECT_NE(empty->find(".flatpak-info"), std::string::npos) << *empty;

    fs::remove(root / ".flatpak-info");
    variables["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1";
    EXPECT_TRUE(hazard());
}

// Only a bus socket directly in the root folder, however its path is
// written, would have the engine bind the root folder into a sandbox.
// Paths are read below the folder standing for the root.
TEST_F(EngineSandboxTest, ABusSocketInTheRootFolderKeepsWebViewsFromStarting) {
    const std::pair<std::string, bool> addresses[] = {
        {"disabled:", false},
        {"unix:abstract=/bus", false},
        {"unix:path=/run/user/bus,guid=1", false},
        {"unix:path=/bus", true},
        {"unix:guid=1,path=/run/../bus", true},
        {"unix:abstract=x;unix:path=//bus", true},
    };
    for (const char* variable :
         {"DBUS_SESSION_BUS_ADDRESS", "WEBKIT_A11Y_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"}) {
        for (const auto& [address, refused] : addresses) {
            variables = {{variable, address}};
            const auto found = hazard();
            EXPECT_EQ(found.has_value(), refused) << variable << "=" << address;
            if (found) {
                EXPECT_NE(found->find(variable), std::string::npos) << *found;
            }
        }
    }
}

}  // namespace
