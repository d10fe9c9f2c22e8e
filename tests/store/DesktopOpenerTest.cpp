// The desktop's opener for web links, as the desktop window launches it: a
// fake xdg-open first on PATH stands in for the desktop's. What it prints
// lands in the app's console and never on the terminal, and the completion
// says whether it opened the link by how it exits.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "core/Console.h"
#include "core/RunLoop.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"

using store::URLOpener;

namespace {

namespace fs = std::filesystem;

constexpr double kLimit = 20;

// Holds the process's standard output and error in a file while it lives.
class TerminalCapture {
public:
    explicit TerminalCapture(const fs::path& file) : file_(file) {
        std::fflush(stdout);
        std::fflush(stderr);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        savedOut_ = ::dup(1);
        savedErr_ = ::dup(2);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~TerminalCapture() { (void)release(); }
    TerminalCapture(const TerminalCapture&) = delete;
    TerminalCapture& operator=(const TerminalCapture&) = delete;

    // Puts the terminal back; what was written meanwhile.
    std::string release() {
        if (savedOut_ < 0) return {};
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut_, 1);
        ::dup2(savedErr_, 2);
        ::close(savedOut_);
        ::close(savedErr_);
        savedOut_ = savedErr_ = -1;
        std::ifstream in(file_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    fs::path file_;
    int savedOut_ = -1;
    int savedErr_ = -1;
};

class DesktopOpenerTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "desktop-opener-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "bin");
        const char* path = std::getenv("PATH");
        savedPath_ = path ? std::optional<std::string>(path) : std::nullopt;
        const std::string ours =
            (root_ / "bin").string() + ":" + savedPath_.value_or("/usr/bin:/bin");
        ASSERT_EQ(::setenv("PATH", ours.c_str(), 1), 0);
        ::unsetenv("VANTOR_NO_OPENER");
        URLOpener::shared().clearForTesting();
        URLOpener::shared().setLaunchesSystemOpener(true);
    }
    void TearDown() override {
        URLOpener::shared().setLaunchesSystemOpener(false);
        URLOpener::shared().clearForTesting();
        if (savedPath_)
            ::setenv("PATH", savedPath_->c_str(), 1);
        else
            ::unsetenv("PATH");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // The fake opener: a shell script body after "#!/bin/sh".
    void installOpener(const std::string& body) const {
        const fs::path program = root_ / "bin" / "xdg-open";
        std::ofstream(program) << "#!/bin/sh\n" << body;
        fs::permissions(program, fs::perms::owner_all);
    }

    // Opens with a completion; its answer once it comes, nullopt when none
    // does within the limit.
    static std::optional<bool> openAndWait(const std::string& text) {
        std::optional<bool> answer;
        URLOpener::shared().open(*core::URL::create(text), false,
                                 [&](bool opened) { answer = opened; });
        (void)core::RunLoop::main().runUntil([&] { return answer.has_value(); }, kLimit);
        return answer;
    }

    testsupport::ManualClockScope clock_;
    fs::path root_;
    std::optional<std::string> savedPath_;
};

// Lines on both of its outputs, as a desktop without a browser prints them.
constexpr const char* kComplaining = R"(echo "xdg-open: no method available for opening '$1'"
echo "/usr/bin/xdg-open: 882: www-browser: not found" >&2
echo "/usr/bin/xdg-open: 882: links2: not found" >&2
printf 'a last line without its end'
exit 3
)";

TEST_F(DesktopOpenerTest, AnOpenerThatFailsIsHeardInTheConsoleOnlyAndAnswersNotOpened) {
    installOpener(kComplaining);
    const core::Console::Capture console;
    TerminalCapture terminal(root_ / "terminal");
    const std::optional<bool> answer = openAndWait("https://photos.example/@ada");
    const std::string printed = terminal.release();

    ASSERT_TRUE(answer.has_value()) << "no answer from the completion";
    EXPECT_FALSE(*answer);
    EXPECT_EQ(printed, "") << "the opener's lines reached the terminal";
    // Every line, by the time the answer comes, the unfinished one too.
    EXPECT_TRUE(console.contains("no method available for opening 'https://photos.example/@ada'"));
    EXPECT_TRUE(console.contains("www-browser: not found"));
    EXPECT_TRUE(console.contains("links2: not found"));
    EXPECT_TRUE(console.contains("a last line without its end"));
    EXPECT_TRUE(console.contains("(exit status 3)"));
    ASSERT_EQ(URLOpener::shared().requests().size(), 1u);
    EXPECT_FALSE(URLOpener::shared().requests()[0].opened);

    // The synchronous form cannot wait: it answers that the opener started,
    // and the record says otherwise once it has failed.
    EXPECT_TRUE(URLOpener::shared().open(*core::URL::create("https://photos.example/@bob")));
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [] { return !URLOpener::shared().requests().at(1).opened; }, kLimit));
    EXPECT_TRUE(URLOpener::shared().openedURLs().empty());
}

TEST_F(DesktopOpenerTest, AnOpenerThatSucceedsAnswersOpenedAndAMissingOneNot) {
    installOpener("echo \"opening $1\"\nexit 0\n");
    const core::Console::Capture console;
    TerminalCapture terminal(root_ / "terminal");
    EXPECT_EQ(openAndWait("https://photos.example/licence?x=1&y=2"), std::optional<bool>(true));
    EXPECT_EQ(terminal.release(), "");
    EXPECT_TRUE(console.contains("xdg-open: opening https://photos.example/licence?x=1&y=2"))
        << "the URL is one argument, untouched by a shell";

    // No opener on the path: it cannot start, and neither form says opened.
    ASSERT_EQ(::setenv("PATH", (root_ / "bin" / "none").c_str(), 1), 0);
    EXPECT_FALSE(URLOpener::shared().open(*core::URL::create("https://photos.example/a")));
    EXPECT_EQ(openAndWait("https://photos.example/b"), std::optional<bool>(false));
    EXPECT_TRUE(console.contains("cannot start xdg-open for 'https://photos.example/a'"));
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 1u);
    EXPECT_EQ(URLOpener::shared().refusedURLs().size(), 2u);
}

// An opener that keeps running (a browser it started in its place) has
// found a browser: it counts as opened once it has run for the limit.
TEST_F(DesktopOpenerTest, AnOpenerStillRunningAtTheLimitCountsAsOpened) {
    const fs::path started = root_ / "started";
    const fs::path go = root_ / "go";
    const fs::path finished = root_ / "finished";
    // It gives up by itself should the test fail before letting it go.
    installOpener("touch '" + started.string() + "'\nn=0\nwhile [ ! -e '" + go.string() +
                  "' ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done\ntouch '" +
                  finished.string() + "'\nexit 0\n");
    std::optional<bool> answer;
    URLOpener::shared().open(*core::URL::create("https://photos.example/slow"), false,
                             [&](bool opened) { answer = opened; });
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return fs::exists(started); }, kLimit));
    core::RunLoop::main().runOnce();
    EXPECT_FALSE(answer.has_value()) << "answered while the opener runs, before the limit";

    clock_.advance(URLOpener::kOpenerAnswerSeconds - 0.1);
    core::RunLoop::main().runOnce();
    EXPECT_FALSE(answer.has_value());
    clock_.advance(0.2);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return answer.has_value(); }, kLimit));
    EXPECT_TRUE(*answer);
    std::ofstream(go) << "go";
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return fs::exists(finished); }, kLimit));
    EXPECT_EQ(URLOpener::shared().openedURLs().size(), 1u);
}

}  // namespace
