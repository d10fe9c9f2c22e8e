// What the desktop window hands to the desktop, asked of GLib and GIO in a
// process of their own (desktop_handoff_probe) whose XDG folders are the
// test's: a default handler registered by a .desktop file gets the URL, a
// scheme without one cannot be opened, and the pictures folder is the one
// the desktop's user folders name, else ~/Pictures.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class DesktopHandoffTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "desktop-handoff-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        for (const char* folder : {"home", "data/applications", "config"})
            fs::create_directories(root_ / folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static void write(const fs::path& path, const std::string& text, bool executable = false) {
        std::ofstream(path) << text;
        if (executable) fs::permissions(path, fs::perms::owner_all);
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs the probe with only the test's folders in its environment; its
    // standard output, or "exit N" when it failed.
    std::string probe(const std::vector<std::string>& arguments) {
        std::vector<std::string> environment = {
            "PATH=/usr/bin:/bin",
            "HOME=" + (root_ / "home").string(),
            "XDG_DATA_HOME=" + (root_ / "data").string(),
            "XDG_CONFIG_HOME=" + (root_ / "config").string(),
        };
        std::vector<std::string> command = {VANTOR_DESKTOP_HANDOFF_PROBE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (auto& argument : command) argv.push_back(argument.data());
        for (auto& entry : environment) envp.push_back(entry.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string output = (root_ / "probe.out").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t child = 0;
        const int spawned =
            ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return "cannot start the probe";
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return read(output);
    }

    fs::path root_;
};

TEST_F(DesktopHandoffTest, TheDesktopsDefaultHandlerGetsTheURL) {
    const fs::path received = root_ / "received";
    const fs::path handler = root_ / "handler.sh";
    write(handler, "#!/bin/sh\nprintf '%s\\n' \"$1\" > " + received.string() + ".part && mv " +
                       received.string() + ".part " + received.string() + "\n",
          true);
    write(root_ / "data/applications/vantor-test-handler.desktop",
          "[Desktop Entry]\nType=Application\nName=Vantor test handler\nExec=" +
              handler.string() + " %u\nMimeType=x-scheme-handler/x-vantor-test;\n");
    write(root_ / "config/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/x-vantor-test=vantor-test-handler.desktop\n");

    EXPECT_EQ(probe({"open", "x-vantor-test:hello?to=you"}), "can 1\nopened 1\n");
    // The handler runs on its own; it has a generous while to write.
    for (int i = 0; i < 200 && !fs::exists(received); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(read(received), "x-vantor-test:hello?to=you\n");

    EXPECT_EQ(probe({"open", "x-vantor-nobody:hello"}), "can 0\nopened 0\n");
}

TEST_F(DesktopHandoffTest, PhotosGoToTheDesktopsPicturesFolderElseHomePictures) {
    EXPECT_EQ(probe({"pictures"}), (root_ / "home/Pictures/Vantor").string() + "\n");
    const fs::path shots = root_ / "shots";
    write(root_ / "config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + shots.string() + "\"\n");
    EXPECT_EQ(probe({"pictures"}), (shots / "Vantor").string() + "\n");
}

}  // namespace
