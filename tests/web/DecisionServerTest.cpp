// The navigation socket's folder: the user's alone, and not left behind for
// good by a process that crashed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/FileManager.h"
#include "support/ProcessTree.h"
#include "support/TestEnvironment.h"
#include "web/DecisionServer.h"

namespace {

TEST(DecisionServerTest, TheSocketFolderOfACrashedProcessGoesAtTheNextStart) {
    const std::string runtime = testsupport::testHome() + "/run-web";
    ASSERT_TRUE(core::FileManager::createDirectory(runtime, true));
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    const std::string left = testsupport::answerOfKilledChild([] {
        const web::DecisionServer* server = web::DecisionServer::shared(nullptr);
        return server ? server->folder() : std::string();
    });
    ASSERT_FALSE(left.empty());
    ASSERT_TRUE(core::FileManager::isDirectory(left));
    const web::DecisionServer* server = web::DecisionServer::shared(nullptr);
    if (saved)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(server);
    if (!left.starts_with(runtime + "/")) GTEST_SKIP() << "this process made its socket earlier";
    ASSERT_TRUE(server->folder().starts_with(runtime + "/")) << server->folder();

    EXPECT_FALSE(core::FileManager::fileExists(left));
    struct stat info {};
    ASSERT_EQ(stat(server->folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(lstat(server->socketPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
}

}  // namespace
