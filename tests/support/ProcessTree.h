#pragma once
// What /proc says of the processes this test process started, directly or
// through others: how tests find the browser engine's web processes (in the
// engine's sandbox they are not children of the test) and see what confines
// them.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Descendants of this process whose name (as /proc/<pid>/stat gives it,
// at most 15 characters) starts with prefix.
[[nodiscard]] std::vector<pid_t> descendantsNamed(std::string_view prefix);
// Every descendant of the process `root`, at any depth.
[[nodiscard]] std::vector<pid_t> descendantsOf(pid_t root);
// The engine's web processes among them.
[[nodiscard]] std::vector<pid_t> webProcesses();
// The namespace of the kind ("mnt", "net", "pid", ...) the process is in;
// empty when it cannot be read.
[[nodiscard]] std::string namespaceOf(pid_t pid, std::string_view kind);
// The "Seccomp" line of /proc/<pid>/status: 0 none, 2 a filter; -1 unread.
[[nodiscard]] int seccompMode(pid_t pid);
// Whether path exists as the process sees its file system.
[[nodiscard]] bool seesPath(pid_t pid, const std::string& path);

// Runs work in a forked child that is then killed (SIGKILL: no exit
// handlers run, as in a crash) and answers what work answered; empty when
// the child answered nothing.
[[nodiscard]] std::string answerOfKilledChild(const std::function<std::string()>& work);

// Starts the test named test (disabled or not) alone in a new process of
// this test binary, its descriptors limited to descriptors (soft and hard)
// when given, and handed as kHandedDescriptor in it when not -1; the
// child's id. For a test that needs the process's shared objects (the
// engine proxy) as no other test has used them.
inline constexpr int kHandedDescriptor = 200;
[[nodiscard]] pid_t startAlone(const std::string& test,
                               std::optional<long> descriptors = std::nullopt, int handed = -1);
// Whether the child startAlone made passed, once it ends.
[[nodiscard]] bool passed(pid_t child);
// Both: true when the test passed alone.
[[nodiscard]] bool passesAlone(const std::string& test,
                               std::optional<long> descriptors = std::nullopt);

}  // namespace testsupport
