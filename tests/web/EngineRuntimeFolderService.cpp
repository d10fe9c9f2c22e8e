// Started without XDG_RUNTIME_DIR, the engine keeps what it makes for its
// processes in a runtime folder of the app's own, the user's alone, and
// nothing of it stays once the app and the engine's processes have ended:
// neither that folder nor the engine's folders in the user's cache folder.
// The app is a process of its own here (a probe), so that its exit, and the
// end of every process it started, can be watched.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ProcessTree.h"
#include "support/TestEnvironment.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Seconds the probe may take to show its page, and its processes to end.
constexpr int kLimitSeconds = 120;

// This process's environment less the runtime folder and with a home and
// an app home of the test's own.
std::vector<std::string> probeEnvironment(const fs::path& home) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.starts_with("XDG_RUNTIME_DIR=") || text.starts_with("XDG_CACHE_HOME=") ||
            text.starts_with("HOME=") || text.starts_with("VANTOR_HOME="))
            continue;
        entries.push_back(text);
    }
    entries.push_back("HOME=" + home.string());
    entries.push_back("VANTOR_HOME=" + (home / "app").string());
    return entries;
}

// A line the probe writes, or empty after the limit or at its end.
std::string readLine(int fd) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kLimitSeconds);
    while (std::chrono::steady_clock::now() < end) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 1000) <= 0) continue;
        char c = 0;
        if (read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

// Gone, or a zombie that no one has reaped yet: it runs no more.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool allEnded(const std::vector<pid_t>& pids) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kLimitSeconds);
    while (std::chrono::steady_clock::now() < end) {
        if (std::all_of(pids.begin(), pids.end(), ended)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

size_t entriesIn(const fs::path& folder) {
    std::error_code error;
    size_t count = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        ++count;
    return count;
}

TEST(EngineRuntimeFolderService, WithoutOneTheEngineGetsAPrivateRuntimeFolderThatGoesAtExit) {
    const fs::path home = fs::path(testsupport::testHome()) / "runtime-probe-home";
    fs::create_directories(home);
    std::vector<std::string> environment = probeEnvironment(home);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = VANTOR_WEB_RUNTIME_PROBE;
    char* argv[] = {program.data(), nullptr};

    int input[2], output[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    pid_t probe = 0;
    const int spawned = posix_spawn(&probe, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    ASSERT_EQ(spawned, 0);

    const std::string line = readLine(output[0]);
    const std::vector<pid_t> started = testsupport::descendantsOf(probe);
    ASSERT_TRUE(line.starts_with("runtime /")) << line;
    const fs::path runtime = line.substr(8);

    // While it runs: a folder the user's alone, outside the home, which
    // holds what the engine made for its sandboxed processes.
    struct stat info {};
    ASSERT_EQ(stat(runtime.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_FALSE(runtime.string().starts_with(home.string()));
    EXPECT_GT(entriesIn(runtime / ".flatpak"), 0u);
    EXPECT_FALSE(fs::exists(home / ".cache" / ".flatpak"));
    EXPECT_FALSE(started.empty());

    // The app ends; then every process it started.
    ASSERT_EQ(write(input[1], "\n", 1), 1);
    close(input[1]);
    int status = 0;
    while (waitpid(probe, &status, 0) < 0 && errno == EINTR) {
    }
    close(output[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_TRUE(allEnded(started));

    EXPECT_FALSE(fs::exists(runtime));
    EXPECT_EQ(entriesIn(home / ".cache" / ".flatpak"), 0u);
}

}  // namespace
