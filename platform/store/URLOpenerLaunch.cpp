// URLOpener: the desktop's opener for web URLs (xdg-open), run without a
// shell. Its standard output and error share one pipe that a thread of its
// own reads into the console, a line at a time; another thread waits for
// its exit and hands the status to the reader, which first logs what the
// opener wrote before exiting and then answers. A browser the opener leaves
// running may hold the pipe after that: its lines go on to the console
// until it closes.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "core/Console.h"
#include "store/URLOpener.h"

extern char** environ;

namespace store {

namespace {

constexpr const char* kProgram = "xdg-open";
// waitpid could not tell how the opener ended.
constexpr int kStatusLost = -1;
// Reads that empty the pipe once the opener has exited, at most: a browser
// writing without pause must not hold the answer back.
constexpr int kMostReadsAtExit = 64;

class OutputLines {
public:
    void add(const char* bytes, size_t size) {
        pending_.append(bytes, size);
        size_t start = 0;
        for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
            emit(std::string_view(pending_).substr(start, end - start));
        pending_.erase(0, start);
    }
    void flush() {
        if (!pending_.empty()) emit(pending_);
        pending_.clear();
    }

private:
    static void emit(std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        core::Console::log(std::string(kProgram) + ": " + std::string(line));
    }
    std::string pending_;
};

// One read of the pipe into lines; false at its end (or a read error).
bool readSome(int fd, OutputLines& lines) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) {
            lines.add(buffer.data(), size_t(got));
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

// Whether fd has something to read (or has ended) right now.
bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&entry, 1, 0)) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

std::string describe(int status) {
    if (status == kStatusLost) return "its exit was lost";
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// The reader's thread: the output until the pipe's end; the exit, when the
// waiter tells it, after what was written before it.
void readUntilEnd(int output, int ended, std::string url, std::function<void(bool)> exited) {
    OutputLines lines;
    bool outputOpen = true;
    bool endedOpen = true;
    // Reads the waiter's status (blocking until it comes) and answers.
    const auto tellExit = [&] {
        int status = kStatusLost;
        ssize_t got = 0;
        while ((got = ::read(ended, &status, sizeof status)) < 0 && errno == EINTR) {
        }
        if (got != ssize_t(sizeof status)) status = kStatusLost;
        endedOpen = false;
        for (int reads = 0; outputOpen && reads < kMostReadsAtExit && readable(output); ++reads) {
            if (!readSome(output, lines)) outputOpen = false;
        }
        lines.flush();
        // An opener whose end could not be seen had started: counted as opened.
        const bool opened =
            status == kStatusLost || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
        if (!opened)
            core::Console::log("URLOpener: " + std::string(kProgram) + " did not open '" + url +
                               "' (" + describe(status) + ")");
        exited(opened);
    };
    while (outputOpen || endedOpen) {
        std::array<pollfd, 2> fds{};
        nfds_t count = 0;
        if (outputOpen) fds[count++] = {output, POLLIN, 0};
        if (endedOpen) fds[count++] = {ended, POLLIN, 0};
        if (::poll(fds.data(), count, -1) < 0) {
            if (errno == EINTR) continue;
            // The output is given up; the answer still comes.
            if (endedOpen) tellExit();
            break;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == ended) {
                tellExit();
            } else if (outputOpen && !readSome(output, lines)) {
                lines.flush();
                outputOpen = false;
            }
        }
    }
    lines.flush();
    // The waiter has written before the read above: closing cannot break
    // its pipe.
    ::close(output);
    ::close(ended);
}

}  // namespace

bool URLOpener::launch(const std::string& url, std::function<void(bool opened)> exited) {
    int output[2] = {-1, -1};
    int ended[2] = {-1, -1};
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(ended, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        for (const int fd : {output[0], output[1], ended[0], ended[1]})
            if (fd >= 0) ::close(fd);
        core::Console::log("URLOpener: cannot start " + std::string(kProgram) + ": " + reason);
        return false;
    }
    // Its input is empty; its output and errors go to the pipe only (the
    // pipe's own ends close at exec).
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    std::string program = kProgram;
    std::string argument = url;
    char* const argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        ::close(ended[0]);
        ::close(ended[1]);
        core::Console::log("URLOpener: cannot start " + std::string(kProgram) + " for '" + url +
                           "': " + std::strerror(spawned));
        return false;
    }
    std::thread([child, done = ended[1]] {
        int status = 0;
        int waited = 0;
        while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        if (waited != child) status = kStatusLost;
        while (::write(done, &status, sizeof status) < 0 && errno == EINTR) {
        }
        ::close(done);
    }).detach();
    std::thread(readUntilEnd, output[0], ended[0], url, std::move(exited)).detach();
    return true;
}

}  // namespace store
