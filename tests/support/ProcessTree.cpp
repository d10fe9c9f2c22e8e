#include "ProcessTree.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

struct Entry {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string name;
};

std::vector<Entry> allProcesses() {
    std::vector<Entry> entries;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator("/proc", error)) {
        const std::string number = item.path().filename().string();
        if (number.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(item.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 > line.size())
            continue;
        Entry entry;
        entry.pid = pid_t(std::stol(number));
        entry.name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        rest >> state >> entry.parent;
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The descendants of root, each with its name.
std::vector<Entry> descendantEntries(pid_t root) {
    const auto entries = allProcesses();
    std::vector<pid_t> tree{root};
    std::vector<Entry> found;
    for (size_t i = 0; i < tree.size(); ++i) {
        for (const auto& entry : entries) {
            if (entry.parent != tree[i]) continue;
            tree.push_back(entry.pid);
            found.push_back(entry);
        }
    }
    return found;
}

}  // namespace

std::vector<pid_t> descendantsNamed(std::string_view prefix) {
    std::vector<pid_t> found;
    for (const auto& entry : descendantEntries(getpid()))
        if (entry.name.starts_with(prefix)) found.push_back(entry.pid);
    return found;
}

std::vector<pid_t> descendantsOf(pid_t root) {
    std::vector<pid_t> found;
    for (const auto& entry : descendantEntries(root)) found.push_back(entry.pid);
    return found;
}

std::vector<pid_t> webProcesses() {
    return descendantsNamed("WebKitWebProces");
}

std::string namespaceOf(pid_t pid, std::string_view kind) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(
        "/proc/" + std::to_string(pid) + "/ns/" + std::string(kind), error);
    return error ? std::string() : target.string();
}

int seccompMode(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("Seccomp:")) return std::stoi(line.substr(8));
    }
    return -1;
}

bool seesPath(pid_t pid, const std::string& path) {
    std::error_code error;
    return std::filesystem::exists("/proc/" + std::to_string(pid) + "/root" + path, error);
}

std::string answerOfKilledChild(const std::function<std::string()>& work) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return {};
    }
    if (child == 0) {
        close(channel[0]);
        const std::string answer = work();
        (void)!write(channel[1], answer.data(), answer.size());
        kill(getpid(), SIGKILL);
        _exit(1);
    }
    close(channel[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        answer.append(buffer, size_t(got));
    }
    close(channel[0]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return answer;
}

pid_t startAlone(const std::string& test, std::optional<long> descriptors, int handed) {
    const std::string filter = "--gtest_filter=" + test;
    const pid_t child = fork();
    if (child == 0) {
        if (descriptors) {
            const rlimit bounded{rlim_t(*descriptors), rlim_t(*descriptors)};
            setrlimit(RLIMIT_NOFILE, &bounded);
        }
        if (handed >= 0) dup2(handed, kHandedDescriptor);
        execl("/proc/self/exe", program_invocation_name, "--gtest_also_run_disabled_tests",
              filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

bool passed(pid_t child) {
    if (child < 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool passesAlone(const std::string& test, std::optional<long> descriptors) {
    return passed(startAlone(test, descriptors));
}

}  // namespace testsupport
