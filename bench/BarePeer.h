#pragma once
// Runs bench_bare_web (bench/bare), the browser engine used directly with our
// web views' settings, on this process's display, and reads the fields of
// the line it prints. The web benchmarks run it in the same run as the
// measurement it is the peer of.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace benchsupport {

// The "name=value" fields of the program's output; empty when it failed.
// The page is drawn at scale device pixels per CSS pixel, as our views draw
// at the device's scale. whileAlive, when given, runs once the program has
// printed its line and before its standard input is closed (what "page"
// waits for before it ends).
inline std::map<std::string, double>
runBarePeer(const std::vector<std::string>& arguments, double scale,
            const std::function<void()>& whileAlive = {}) {
#ifdef VANTOR_BARE_WEB
    std::vector<std::string> line{VANTOR_BARE_WEB, "--scale", std::to_string(scale)};
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : line) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipe[2];
    int input[2];
    if (::pipe(pipe) != 0) return {};
    if (::pipe(input) != 0) {
        close(pipe[0]);
        close(pipe[1]);
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe[1]);
    close(input[0]);
    std::string output;
    char buffer[512];
    for (ssize_t got; spawned == 0 && (got = read(pipe[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, size_t(got));
        if (output.find('\n') != std::string::npos) break;
    }
    if (spawned == 0 && whileAlive && output.find('\n') != std::string::npos) whileAlive();
    close(input[1]);
    for (ssize_t got; spawned == 0 && (got = read(pipe[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, size_t(got));
    close(pipe[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {};
    std::map<std::string, double> fields;
    std::istringstream words(output);
    for (std::string word; words >> word;) {
        const size_t equals = word.find('=');
        if (equals != std::string::npos)
            fields[word.substr(0, equals)] = std::stod(word.substr(equals + 1));
    }
    return fields;
#else
    (void)arguments;
    (void)scale;
    (void)whileAlive;
    return {};
#endif
}

// A ratio line for the summary after the runs.
inline void printRatio(const char* what, double ours, double peer, double goal,
                       const char* better) {
    if (ours <= 0 || peer <= 0) {
        std::printf("%-44s not measured\n", what);
        return;
    }
    std::printf("%-44s %8.2f vs %8.2f  ratio %.2fx (goal: %s %.2fx)\n", what, ours, peer,
                ours / peer, better, goal);
}

}  // namespace benchsupport
