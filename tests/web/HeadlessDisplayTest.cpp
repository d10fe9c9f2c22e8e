// The display web views draw on when none is set: an Xvfb of the process's
// own that only clients with its cookie may use, or a clear failure when
// there is no Xvfb to start.

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/FileManager.h"
#include "support/ProcessTree.h"
#include "support/TestEnvironment.h"
#include "web/HeadlessDisplay.h"

namespace {

// Sets or unsets variables for the test's lifetime.
class Environment {
public:
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const char* value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Starts a server of this process's own, whatever the environment names.
std::string startOwnDisplay(Environment& environment) {
    if (web::HeadlessDisplay::startedDisplay().empty()) {
        environment.set("DISPLAY", nullptr);
        environment.set("WAYLAND_DISPLAY", nullptr);
    }
    std::string error;
    EXPECT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    return web::HeadlessDisplay::startedDisplay();
}

// The cookie of an authority file of one entry: its last field.
std::string cookieIn(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    std::string bytes = contents.str();
    size_t at = 2;  // after the family
    std::string field;
    for (int i = 0; i < 4 && at + 2 <= bytes.size(); ++i) {
        const size_t size = (size_t(std::uint8_t(bytes[at])) << 8) | std::uint8_t(bytes[at + 1]);
        field = bytes.substr(at + 2, size);
        at += 2 + size;
    }
    return field;
}

// Opens a connection to the display's socket as an X client does and
// answers the server's first reply byte: 1 accepted, 0 refused, -1 no reply.
int connectionAnswer(const std::string& display, const std::string& protocol,
                     const std::string& cookie) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + display.substr(1);
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    const auto padded = [](std::string text) {
        text.resize((text.size() + 3) / 4 * 4, '\0');
        return text;
    };
    // Little-endian set-up: protocol 11.0 and the authorization offered.
    std::string setup = {'l', 0, 11, 0, 0, 0};
    setup += char(protocol.size() & 0xff);
    setup += char(protocol.size() >> 8);
    setup += char(cookie.size() & 0xff);
    setup += char(cookie.size() >> 8);
    setup += std::string(2, '\0');
    setup += padded(protocol) + padded(cookie);
    char answer = -1;
    if (write(fd, setup.data(), setup.size()) != ssize_t(setup.size()) || read(fd, &answer, 1) != 1)
        answer = -1;
    close(fd);
    return answer;
}

}  // namespace

TEST(HeadlessDisplayTest, WithoutXvfbItFailsWithAMessage) {
    if (!web::HeadlessDisplay::startedDisplay().empty()) GTEST_SKIP() << "a server runs already";
    Environment environment;
    environment.set("DISPLAY", nullptr);
    environment.set("WAYLAND_DISPLAY", nullptr);
    environment.set("PATH", "/nonexistent");
    std::string error;
    EXPECT_FALSE(web::HeadlessDisplay::ensure(&error));
    EXPECT_NE(error.find("Xvfb is not installed"), std::string::npos) << error;
}

TEST(HeadlessDisplayTest, WithoutADisplayItStartsItsOwnServer) {
    Environment environment;
    const std::string display = startOwnDisplay(environment);
    ASSERT_FALSE(display.empty());
    EXPECT_EQ(std::getenv("DISPLAY"), display);
    EXPECT_TRUE(std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1)));
}

// A D-Bus client under the display of our own finds no session bus at once
// and starts none: a launcher on the path would leave a mark.
TEST(HeadlessDisplayTest, ItsClientsLaunchNoSessionBus) {
    Environment environment;
    environment.set("DBUS_SESSION_BUS_ADDRESS", nullptr);
    environment.set("XDG_RUNTIME_DIR", nullptr);
    const std::string display = startOwnDisplay(environment);
    ASSERT_FALSE(display.empty());
    const std::filesystem::path folder =
        std::filesystem::path(testsupport::testHome()) / "launcher";
    std::filesystem::create_directories(folder);
    const std::filesystem::path mark = folder / "launched";
    std::filesystem::remove(mark);
    {
        std::ofstream launcher(folder / "dbus-launch");
        launcher << "#!/bin/sh\ntouch '" << mark.string() << "'\nexit 1\n";
    }
    std::filesystem::permissions(folder / "dbus-launch", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    environment.set("PATH", (folder.string() + ":" + (path ? path : "")).c_str());

    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    EXPECT_EQ(bus, nullptr);
    if (bus) g_object_unref(bus);
    g_clear_error(&error);
    EXPECT_FALSE(std::filesystem::exists(mark));
}

TEST(HeadlessDisplayTest, OnlyClientsHoldingTheCookieMayConnect) {
    Environment environment;
    const std::string display = startOwnDisplay(environment);
    ASSERT_FALSE(display.empty());
    const std::string authority = web::HeadlessDisplay::authorityFile();
    ASSERT_FALSE(authority.empty());
    EXPECT_EQ(std::getenv("XAUTHORITY"), authority);
    struct stat info {};
    ASSERT_EQ(stat(authority.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(std::filesystem::path(authority).parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const std::string cookie = cookieIn(authority);
    ASSERT_EQ(cookie.size(), 16u);
    std::string wrong = cookie;
    wrong[0] = char(wrong[0] ^ 1);
    EXPECT_EQ(connectionAnswer(display, "", ""), 0);
    EXPECT_EQ(connectionAnswer(display, "MIT-MAGIC-COOKIE-1", wrong), 0);
    EXPECT_EQ(connectionAnswer(display, "MIT-MAGIC-COOKIE-1", cookie), 1);
}

TEST(HeadlessDisplayTest, TheCookieFolderOfACrashedProcessGoesAtTheNextStart) {
    if (!web::HeadlessDisplay::startedDisplay().empty()) GTEST_SKIP() << "a server runs already";
    Environment environment;
    environment.set("DISPLAY", nullptr);
    environment.set("WAYLAND_DISPLAY", nullptr);
    // A runtime folder of the test's own, so that nothing else is in it.
    const std::string runtime = testsupport::testHome() + "/run-display";
    ASSERT_TRUE(core::FileManager::createDirectory(runtime, true));
    environment.set("XDG_RUNTIME_DIR", runtime.c_str());

    const std::string left = testsupport::answerOfKilledChild([] {
        if (!web::HeadlessDisplay::ensure(nullptr)) return std::string();
        return std::filesystem::path(web::HeadlessDisplay::authorityFile()).parent_path().string();
    });
    ASSERT_TRUE(left.starts_with(runtime + "/")) << left;
    ASSERT_TRUE(core::FileManager::isDirectory(left));

    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    EXPECT_FALSE(core::FileManager::fileExists(left));
    EXPECT_TRUE(web::HeadlessDisplay::authorityFile().starts_with(runtime + "/"));
}

// Processes that start their servers at the same moment each get a display
// of their own, which takes its own cookie and no other.
TEST(HeadlessDisplayTest, ServersStartedAtOnceNeverCross) {
    if (!web::HeadlessDisplay::startedDisplay().empty()) GTEST_SKIP() << "a server runs already";
    Environment environment;
    environment.set("DISPLAY", nullptr);
    environment.set("WAYLAND_DISPLAY", nullptr);
    constexpr int kProcesses = 4;
    int go[2], done[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(done), 0);
    struct Child {
        pid_t pid;
        int answer;
    };
    std::vector<Child> children;
    for (int i = 0; i < kProcesses; ++i) {
        int answer[2];
        ASSERT_EQ(pipe(answer), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(answer[0]);
            close(go[1]);
            close(done[1]);  // so that the parent's close ends the wait below
            char byte;
            if (read(go[0], &byte, 1) != 1) _exit(1);
            std::string line;
            if (web::HeadlessDisplay::ensure(nullptr))
                line = web::HeadlessDisplay::startedDisplay() + " " +
                       web::HeadlessDisplay::authorityFile();
            line += "\n";
            if (write(answer[1], line.data(), line.size()) < 0) _exit(1);
            // Holds the server until the parent has looked.
            if (read(done[0], &byte, 1) < 0) _exit(1);
            _exit(0);
        }
        close(answer[1]);
        children.push_back({pid, answer[0]});
    }
    const std::string bytes(kProcesses, 'g');
    ASSERT_EQ(write(go[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    std::vector<std::pair<std::string, std::string>> started;
    for (const Child& child : children) {
        std::string line;
        char c;
        while (read(child.answer, &c, 1) == 1 && c != '\n') line += c;
        close(child.answer);
        const size_t space = line.find(' ');
        ASSERT_NE(space, std::string::npos) << "a process did not start its server";
        started.emplace_back(line.substr(0, space), cookieIn(line.substr(space + 1)));
    }
    for (size_t i = 0; i < started.size(); ++i) {
        for (size_t j = 0; j < started.size(); ++j) {
            if (i != j) {
                EXPECT_NE(started[i].first, started[j].first);
            }
            EXPECT_EQ(connectionAnswer(started[i].first, "MIT-MAGIC-COOKIE-1", started[j].second),
                      i == j ? 1 : 0)
                << started[i].first << " with the cookie of " << started[j].first;
        }
    }
    close(done[1]);
    for (const Child& child : children) {
        int status = 0;
        waitpid(child.pid, &status, 0);
    }
    close(go[0]);
    close(go[1]);
    close(done[0]);
}
