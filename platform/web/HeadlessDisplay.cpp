#include "web/HeadlessDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "core/FileManager.h"
#include "core/Random.h"

namespace web {

namespace {

constexpr int kStartLimitMs = 10'000;
constexpr int kAttempts = 8;
constexpr int kFirstNumber = 200;
constexpr int kNumberRange = 3000;
constexpr const char* kFolderPrefix = "vantor-display-";
constexpr std::string_view kCookieName = "MIT-MAGIC-COOKIE-1";
constexpr size_t kCookieBytes = 16;

struct Server {
    pid_t pid = -1;
    pid_t owner = -1;  // the process that started it (not a forked child)
    std::string display;
    std::string folder;  // the owner's alone, holding the authority file
    std::string authority;
};

Server& server() {
    static Server state;
    return state;
}

bool fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

void stopServer() {
    Server& state = server();
    if (state.owner != getpid()) return;
    if (state.pid > 0) {
        kill(state.pid, SIGTERM);
        int status = 0;
        while (waitpid(state.pid, &status, 0) < 0 && errno == EINTR) {
        }
        state.pid = -1;
    }
    if (!state.folder.empty()) (void)core::FileManager::removeItem(state.folder);
    state.folder.clear();
}

// An authority file entry (the format clients and the server read): family,
// address, display number, protocol name and data, each with a big-endian
// 16-bit length but the family. The wildcard family and an empty display
// number let it serve any address of the display, whatever number the
// server picks.
std::string authorityEntry(std::string_view cookie) {
    std::string entry = "\xff\xff";
    for (const std::string_view field :
         {std::string_view(), std::string_view(), kCookieName, cookie}) {
        entry += char(field.size() >> 8);
        entry += char(field.size() & 0xff);
        entry += field;
    }
    return entry;
}

// A new random cookie in an authority file of a folder of this process's
// own: clients without it cannot connect to the server.
bool makeAuthority(Server& state, std::string* error) {
    auto folder = core::FileManager::createProcessFolder(core::FileManager::runtimeDirectory(),
                                                         kFolderPrefix);
    if (!folder) return fail(error, "no display: " + folder.error());
    state.folder = std::move(folder).value();
    state.owner = getpid();
    std::string cookie;
    while (cookie.size() < kCookieBytes) {
        const std::uint64_t bits = core::Random::secureUInt64();
        cookie.append(reinterpret_cast<const char*>(&bits), sizeof bits);
    }
    state.authority = state.folder + "/Xauthority";
    if (auto written = core::FileManager::writeAtomically(state.authority, authorityEntry(cookie));
        !written) {
        stopServer();
        return fail(error, "no display: " + written.error());
    }
    return true;
}

std::string findProgram(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty()) continue;
        std::string candidate = std::string(folder) + "/" + std::string(name);
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// What the server wrote to its error output, for the failure message.
std::string readLog(int fd) {
    std::string text;
    char buffer[512];
    if (lseek(fd, 0, SEEK_SET) < 0) return text;
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0 && text.size() < 4096;)
        text.append(buffer, size_t(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Reads the display number the server writes once it accepts connections.
std::string awaitDisplayNumber(int fd, pid_t pid) {
    std::string number;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};  // the server ended before it was ready
        if (c == '\n') return number;
        if (c < '0' || c > '9') return {};
        number += c;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return {};
    }
}

// A display number nobody seems to hold: neither its lock file nor its
// socket is there. Numbers start high and at random so that servers others
// start (at the usual :0 and up, at the same moment, or in another network
// namespace sharing /tmp) and ours do not cross; the server's own lock
// settles a race that is left.
int freeDisplayNumber() {
    for (;;) {
        const int number = kFirstNumber + int(core::Random::secureUInt64() % kNumberRange);
        const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (access(lock.c_str(), F_OK) != 0 && access(socket.c_str(), F_OK) != 0) return number;
    }
}

// Starts the server on one display number; answers the number once it
// accepts connections, or nothing (with what it wrote to its error output).
std::string launch(const std::string& program, int candidate, Server& state, std::string* log) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    char logPath[] = "/tmp/vantor-xvfb-XXXXXX";
    const int logFd = mkostemp(logPath, O_CLOEXEC);
    if (logFd >= 0) unlink(logPath);
    const std::string displayFd = std::to_string(pipeFds[1]);
    const std::string display = ":" + std::to_string(candidate);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (logFd >= 0) close(logFd);
        return {};
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        fcntl(pipeFds[1], F_SETFD, 0);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
        }
        if (logFd >= 0) dup2(logFd, STDERR_FILENO);
        const char* authority = state.authority.c_str();
        // -noreset: the server stays up when its last client goes, so a
        // client connecting just then is not refused.
        const char* argv[] = {program.c_str(), display.c_str(), "-displayfd", displayFd.c_str(),
                              "-auth",         authority,       "-screen",    "0",
                              "1280x1024x24",  "-nolisten",     "tcp",        "-noreset",
                              nullptr};
        execv(program.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    close(pipeFds[1]);
    const std::string number = awaitDisplayNumber(pipeFds[0], pid);
    close(pipeFds[0]);
    if (number.empty()) {
        kill(pid, SIGTERM);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (logFd >= 0 && log) *log = readLog(logFd);
    } else {
        state.pid = pid;
    }
    if (logFd >= 0) close(logFd);
    return number;
}

// A display of our own comes with no session bus, and none is to be
// started for it: without an address, D-Bus clients (GIO's, SDL's) would
// fork a launcher through the X server's autolaunch, and a process forked
// while other threads hold locks can hang (under the address sanitizer
// most of all). An address that names no transport makes them give up at
// once; one the environment gives is kept.
void withoutSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

bool startServer(std::string* error) {
    const std::string program = findProgram("Xvfb");
    if (program.empty())
        return fail(error,
                    "no display: DISPLAY is not set and Xvfb is not installed (tools/setup.sh "
                    "installs it)");
    Server& state = server();
    if (!makeAuthority(state, error)) return false;
    std::string number;
    std::string log;
    for (int attempt = 0; attempt < kAttempts && number.empty(); ++attempt)
        number = launch(program, freeDisplayNumber(), state, &log);
    if (number.empty()) {
        stopServer();
        std::string message = "no display: Xvfb did not start";
        if (!log.empty()) message += ": " + log;
        // One line: the server's own output can run to several.
        std::replace(message.begin(), message.end(), '\n', ' ');
        return fail(error, std::move(message));
    }
    state.display = ":" + number;
    setenv("DISPLAY", state.display.c_str(), 1);
    setenv("XAUTHORITY", state.authority.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    withoutSessionBus();
    std::atexit(stopServer);
    return true;
}

}  // namespace

bool HeadlessDisplay::ensure(std::string* error) {
    if (!server().display.empty()) {
        setenv("DISPLAY", server().display.c_str(), 1);
        setenv("XAUTHORITY", server().authority.c_str(), 1);
        withoutSessionBus();
        return true;
    }
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || (wayland && *wayland)) return true;
    return startServer(error);
}

std::string HeadlessDisplay::startedDisplay() {
    return server().display;
}

std::string HeadlessDisplay::authorityFile() {
    return server().display.empty() ? std::string() : server().authority;
}

}  // namespace web
