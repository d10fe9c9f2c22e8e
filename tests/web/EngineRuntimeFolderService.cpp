// Started without XDG_RUNTIME_DIR, the engine keeps what it makes for its
// processes in a runtime folder of the app's own, the user's alone, and
// nothing of it stays once the app and the engine's processes have ended:
// neither that folder nor the engine's folders in the user's cache folder.
// A child the app forks that ends through exit() removes nothing of it.
// The app is a process of its own here (a probe), so that its exit, and the
// end of every process it started, can be watched.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestEnvironment.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Gone, or a zombie no one has reaped yet: it runs no more.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

TEST(EngineRuntimeFolderService, WithoutOneTheEngineGetsAPrivateRuntimeFolderThatGoesAtExit) {
    const fs::path home = fs::path(testsupport::testHome()) / "runtime-probe-home";
    fs::create_directories(home);
    // This process's environment less the runtime folder, with a home and
    // an app home of the test's own.
    std::vector<std::string> environment = {"HOME=" + home.string(),
                                            "VANTOR_HOME=" + (home / "app").string()};
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!text.starts_with("XDG_RUNTIME_DIR=") && !text.starts_with("XDG_CACHE_HOME=") &&
            !text.starts_with("HOME=") && !text.starts_with("VANTOR_HOME="))
            environment.push_back(text);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = VANTOR_WEB_RUNTIME_PROBE;
    char* argv[] = {program.data(), nullptr};
    const std::string output = (home / "probe.out").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t probe = 0;
    ASSERT_EQ(posix_spawn(&probe, argv[0], &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (waitpid(probe, &status, 0) < 0 && errno == EINTR) {
    }
    std::ifstream lines(output);
    std::string word, runtime;
    int own = 0;
    long engine = 0;
    int kept = 0;
    std::vector<pid_t> started;
    lines >> word >> runtime >> word >> own >> word >> engine >> word >> kept >> word;
    for (pid_t pid = 0; lines >> pid;) started.push_back(pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::ifstream(output).rdbuf();

    // While it ran: a folder the user's alone, outside the home, which held
    // what the engine made for its sandboxed processes.
    EXPECT_TRUE(runtime.starts_with("/")) << runtime;
    EXPECT_FALSE(runtime.starts_with(home.string()));
    EXPECT_EQ(own, 1);
    EXPECT_GT(engine, 0);
    EXPECT_EQ(kept, 1);
    ASSERT_FALSE(started.empty());

    // Once every process it started has ended too, nothing of theirs is left.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!std::all_of(started.begin(), started.end(), ended) &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(std::all_of(started.begin(), started.end(), ended));
    EXPECT_FALSE(fs::exists(runtime));
    EXPECT_FALSE(fs::exists(home / ".cache" / ".flatpak"));
}

}  // namespace
