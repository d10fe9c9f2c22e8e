#include "CrashTrace.h"

#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Sanitizers.h"

namespace testsupport {

namespace {

// What the handler writes first: set as each test starts and ends.
char where[512];
volatile sig_atomic_t whereLength = 0;

void setWhere(const std::string& text) {
    whereLength = 0;
    const size_t length = std::min(text.size(), sizeof where);
    std::memcpy(where, text.data(), length);
    whereLength = sig_atomic_t(length);
}

void write(const char* text, size_t length) {
    (void)!::write(STDERR_FILENO, text, length);
}

void died(int signal) {
    write(where, size_t(whereLength));
    const char* name = sigdescr_np(signal);
    if (name) write(name, std::strlen(name));
    write("; the stack of the thread it reached:\n", 38);
    void* frames[24];
    const int count = backtrace(frames, 24);
    backtrace_symbols_fd(frames, count, STDERR_FILENO);
    // SA_RESETHAND put the default action back: the signal ends the
    // process as it would have.
    raise(signal);
}

}  // namespace

CrashTrace::CrashTrace() {
    // backtrace() loads its unwinder on first use, which a signal handler
    // must not do.
    void* warm[1];
    (void)backtrace(warm, 1);
    setWhere("\nthe test binary, before its tests, died of ");
    // The sanitizers' own handlers say more, and stay.
    if (kSanitized) return;
    struct sigaction action{};
    action.sa_handler = died;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP})
        sigaction(signal, &action, nullptr);
}

void CrashTrace::OnTestStart(const testing::TestInfo& test) {
    setWhere(std::string("\n") + test.test_suite_name() + "." + test.name() + " died of ");
}

void CrashTrace::OnTestEnd(const testing::TestInfo& test) {
    setWhere(std::string("\nthe test binary, after ") + test.test_suite_name() + "." +
             test.name() + ", died of ");
}

void CrashTrace::OnTestProgramEnd(const testing::UnitTest&) {
    setWhere("\nthe test binary, ending after its tests, died of ");
}

}  // namespace testsupport
