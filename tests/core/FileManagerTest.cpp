#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "ScopedEnvironment.h"
#include "core/FileHandle.h"
#include "core/FileManager.h"
#include "support/TestEnvironment.h"

using core::FileManager;
using core::Folder;

namespace {

// A new empty folder for the running test.
std::string testFolder() {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string path = testsupport::testHome() + "/files/" + test->name();
    (void)FileManager::removeItem(path);
    EXPECT_TRUE(FileManager::createDirectory(path, true));
    return path;
}

// The permission bits of path.
mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Lets the modes asked for show as they are for the test's lifetime.
class NoUmask {
public:
    NoUmask() : saved_(::umask(0)) {}
    ~NoUmask() { ::umask(saved_); }
    NoUmask(const NoUmask&) = delete;
    NoUmask& operator=(const NoUmask&) = delete;

private:
    mode_t saved_;
};

std::vector<std::string> listing(const std::string& folder) {
    auto names = FileManager::contentsOfDirectory(folder);
    EXPECT_TRUE(names) << names.error();
    return names ? names.value() : std::vector<std::string>();
}

}  // namespace

TEST(FileManagerHome, FollowsTheEnvironmentAtEachCall) {
    testsupport::ScopedEnvironment environment;
    environment.set("VANTOR_HOME", "/srv/home-a").set("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(FileManager::homeDirectory(), "/srv/home-a");
    EXPECT_EQ(FileManager::folderPath(Folder::Caches), "/srv/home-a/Library/Caches");

    environment.set("VANTOR_HOME", std::nullopt);
    EXPECT_EQ(FileManager::homeDirectory(), "/srv/data/vantor");

    environment.set("XDG_DATA_HOME", "relative/ignored").set("HOME", "/home/someone");
    EXPECT_EQ(FileManager::homeDirectory(), "/home/someone/.local/share/vantor");
    environment.set("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(FileManager::homeDirectory(), "/home/someone/.local/share/vantor");
}

TEST(FileManagerHome, NamesEveryFolderAndCreatesOnRequest) {
    const std::string home = testsupport::testHome();
    EXPECT_EQ(FileManager::folderPath(Folder::Documents), home + "/Documents");
    EXPECT_EQ(FileManager::folderPath(Folder::Preferences), home + "/Library/Preferences");
    EXPECT_EQ(FileManager::folderPath(Folder::Temporary), home + "/tmp");
    EXPECT_EQ(FileManager::folderPath(Folder::Album), home + "/Album");

    const auto created = FileManager::createFolder(Folder::Caches);
    ASSERT_TRUE(created) << created.error();
    EXPECT_EQ(created.value(), home + "/Library/Caches");
    EXPECT_TRUE(FileManager::isDirectory(created.value()));
}

TEST(FileManagerFolders, CreateIsIdempotentButRefusesAFileInTheWay) {
    const std::string root = testFolder();
    EXPECT_TRUE(FileManager::createDirectory(root + "/a/b/c", true));
    EXPECT_TRUE(FileManager::isDirectory(root + "/a/b/c"));
    EXPECT_TRUE(FileManager::createDirectory(root + "/a/b/c", false));
    EXPECT_TRUE(FileManager::createDirectory(root + "/a/b/c", true));

    const auto missingParent = FileManager::createDirectory(root + "/x/y", false);
    EXPECT_FALSE(missingParent);
    EXPECT_EQ(missingParent.errorNumber(), ENOENT);

    ASSERT_TRUE(FileManager::writeAtomically(root + "/file", "x"));
    for (bool intermediates : {false, true}) {
        const auto blocked = FileManager::createDirectory(root + "/file", intermediates);
        EXPECT_FALSE(blocked);
        EXPECT_NE(blocked.error().find(root + "/file"), std::string::npos) << blocked.error();
    }
    EXPECT_FALSE(FileManager::createDirectory(root + "/file/below", true));
}

TEST(FileManagerFolders, RemoveIsRecursiveAndReportsAMissingPath) {
    const std::string root = testFolder();
    ASSERT_TRUE(FileManager::createDirectory(root + "/tree/deep", true));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/tree/deep/leaf", "leaf"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/tree/top", "top"));

    EXPECT_TRUE(FileManager::removeItem(root + "/tree"));
    EXPECT_FALSE(FileManager::fileExists(root + "/tree"));

    const auto missing = FileManager::removeItem(root + "/tree");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.errorNumber(), ENOENT);
    EXPECT_NE(missing.error().find(root + "/tree"), std::string::npos);
    EXPECT_NE(missing.error().find("No such file"), std::string::npos) << missing.error();
}

TEST(FileManagerFolders, ListsEntriesSortedWithoutDotEntries) {
    const std::string root = testFolder();
    for (const char* name : {"b", "a", ".hidden"}) {
        ASSERT_TRUE(FileManager::writeAtomically(root + "/" + name, name));
    }
    ASSERT_TRUE(FileManager::createDirectory(root + "/c", false));
    EXPECT_EQ(listing(root), (std::vector<std::string>{".hidden", "a", "b", "c"}));
    EXPECT_FALSE(FileManager::contentsOfDirectory(root + "/none"));
}

TEST(FileManagerFiles, AtomicWriteReplacesContentsAndLeavesNoTemporaryFiles) {
    const std::string root = testFolder();
    const std::string path = root + "/store";
    for (int round = 0; round < 5; ++round) {
        const std::string contents(1000 * (5 - round), static_cast<char>('a' + round));
        ASSERT_TRUE(FileManager::writeAtomically(path, contents));
        const auto read = FileManager::readFile(path);
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(read.value(), contents);
    }
    EXPECT_EQ(listing(root), std::vector<std::string>{"store"});

    const auto failed = FileManager::writeAtomically(root + "/missing/store", "x");
    EXPECT_FALSE(failed);
    EXPECT_NE(failed.error().find(root + "/missing/store"), std::string::npos) << failed.error();
    EXPECT_EQ(listing(root), std::vector<std::string>{"store"});
}

TEST(FileManagerFiles, ConcurrentAtomicWritesNeverMixContents) {
    const std::string root = testFolder();
    const std::string path = root + "/shared";
    auto contentsOf = [](int writer) {
        return std::string(50000 * static_cast<size_t>(writer + 1),
                           static_cast<char>('A' + writer));
    };
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 6; ++writer) {
        writers.emplace_back([&, writer] {
            for (int round = 0; round < 20; ++round) {
                EXPECT_TRUE(FileManager::writeAtomically(path, contentsOf(writer)));
                const auto read = FileManager::readFile(path);
                ASSERT_TRUE(read);
                ASSERT_FALSE(read.value().empty());
                EXPECT_EQ(read.value(), contentsOf(read.value().front() - 'A'));
            }
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(listing(root), std::vector<std::string>{"shared"});
}

TEST(FileManagerFiles, RemovesOnlyTemporaryFilesOfDeadWriters) {
    const std::string root = testFolder();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    for (const std::string& name : {".store.tmp-" + dead + "-1-0", ".store.tmp-" + alive + "-1-0",
                                    ".other.tmp-" + dead + "-1-0", std::string("store")}) {
        ASSERT_TRUE(FileManager::createExclusively(root + "/" + name, "partial"));
    }
    EXPECT_EQ(FileManager::removeAbandonedTemporaryFiles(root + "/store"), 1u);
    EXPECT_EQ(listing(root), (std::vector<std::string>{".other.tmp-" + dead + "-1-0",
                                                       ".store.tmp-" + alive + "-1-0", "store"}));
}

TEST(FileManagerFiles, ExclusiveCreateFailsTheSecondTime) {
    const std::string path = testFolder() + "/lock";
    ASSERT_TRUE(FileManager::createExclusively(path, "first"));
    const auto second = FileManager::createExclusively(path, "second");
    EXPECT_FALSE(second);
    EXPECT_EQ(second.errorNumber(), EEXIST);
    EXPECT_EQ(FileManager::readFile(path).value(), "first");
}

TEST(FileManagerFiles, ReadsBinaryContentsAndSizes) {
    const std::string root = testFolder();
    const std::vector<std::uint8_t> bytes = {0, 1, 0, 255, 10, 13, 0};
    ASSERT_TRUE(FileManager::writeAtomically(root + "/binary", bytes));
    const auto read = FileManager::readFile(root + "/binary");
    ASSERT_TRUE(read);
    EXPECT_EQ(std::vector<std::uint8_t>(read.value().begin(), read.value().end()), bytes);
    EXPECT_EQ(FileManager::fileSize(root + "/binary").value(), bytes.size());

    EXPECT_EQ(FileManager::readFile(root + "/absent").errorNumber(), ENOENT);
    EXPECT_EQ(FileManager::readFile(root).errorNumber(), EISDIR);
    EXPECT_FALSE(FileManager::fileSize(root + "/absent"));
    EXPECT_TRUE(FileManager::fileExists(root + "/binary"));
    EXPECT_FALSE(FileManager::isDirectory(root + "/binary"));
}

TEST(FileManagerFiles, CreationTimeIsWholeSecondsOfNow) {
    const std::string path = testFolder() + "/created";
    const auto before = static_cast<std::int64_t>(::time(nullptr));
    ASSERT_TRUE(FileManager::writeAtomically(path, "x"));
    const auto created = FileManager::creationTime(path);
    ASSERT_TRUE(created) << created.error();
    EXPECT_GE(created.value(), before - 1);
    EXPECT_LE(created.value(), static_cast<std::int64_t>(::time(nullptr)));
    EXPECT_EQ(FileManager::creationTime(path + "-absent").errorNumber(), ENOENT);
}

TEST(FileManagerFiles, ReportsTheSpaceOfTheVolume) {
    const auto space = FileManager::volumeSpace(testFolder());
    ASSERT_TRUE(space) << space.error();
    EXPECT_GT(space.value().totalBytes, 0u);
    EXPECT_LE(space.value().freeBytes, space.value().totalBytes);
    EXPECT_FALSE(FileManager::volumeSpace(testsupport::testHome() + "/no/such/folder"));
}

TEST(FileHandle, AppendsAndReadsRangesWithoutReadingPastTheEnd) {
    const std::string path = testFolder() + "/growing.bin";
    EXPECT_FALSE(core::FileHandle::openForWriting(path));  // never creates
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("abc")));
    {
        auto opened = core::FileHandle::openForWriting(path);
        ASSERT_TRUE(opened) << opened.error();
        core::FileHandle writer = std::move(opened).value();
        ASSERT_EQ(writer.seekToEnd().value(), 3u);
        const std::string more = "defgh";
        ASSERT_TRUE(
            writer.write({reinterpret_cast<const std::uint8_t*>(more.data()), more.size()}));
    }
    auto opened = core::FileHandle::openForReading(path);
    ASSERT_TRUE(opened);
    core::FileHandle reader = std::move(opened).value();
    struct Case {
        std::uint64_t offset;
        std::uint64_t length;
        std::string expected;
    };
    for (const Case& c :
         {Case{0, 3, "abc"}, Case{6, UINT64_MAX, "gh"}, Case{8, 10, ""}, Case{100, 1, ""}}) {
        SCOPED_TRACE(c.offset);
        ASSERT_TRUE(reader.seek(c.offset));
        const auto bytes = reader.read(c.length);
        ASSERT_TRUE(bytes) << bytes.error();
        EXPECT_EQ(std::string(bytes.value().begin(), bytes.value().end()), c.expected);
    }
    EXPECT_FALSE(core::FileHandle::openForReading(testFolder()));  // a folder
}

TEST(FileManagerFolders, ResolvedPathFollowsLinksAndDots) {
    const std::string folder = testFolder();
    ASSERT_TRUE(FileManager::createDirectory(folder + "/real/deep", true));
    ASSERT_EQ(::symlink((folder + "/real").c_str(), (folder + "/link").c_str()), 0);
    EXPECT_EQ(FileManager::resolvedPath(folder + "/link/deep/../deep/.").value(),
              FileManager::resolvedPath(folder + "/real/deep").value());
    EXPECT_FALSE(FileManager::resolvedPath(folder + "/link/absent"));
}

TEST(FileManagerFiles, WhatItCreatesIsTheOwnersAloneUnlessMadeForEveryone) {
    const NoUmask noUmask;
    const std::string root = testFolder();
    ASSERT_TRUE(FileManager::createDirectory(root + "/own/inner", true));
    EXPECT_EQ(modeOf(root + "/own"), 0700u);
    EXPECT_EQ(modeOf(root + "/own/inner"), 0700u);
    ASSERT_TRUE(FileManager::writeAtomically(root + "/own/defaults", "{}"));
    EXPECT_EQ(modeOf(root + "/own/defaults"), 0600u);
    ASSERT_TRUE(FileManager::createExclusively(root + "/own/flag", ""));
    EXPECT_EQ(modeOf(root + "/own/flag"), 0600u);

    // A file that others could read is replaced by one they cannot.
    ASSERT_TRUE(FileManager::writeAtomically(root + "/own/old", "x", core::Visibility::everyone));
    EXPECT_EQ(modeOf(root + "/own/old"), 0644u);
    ASSERT_TRUE(FileManager::writeAtomically(root + "/own/old", "y"));
    EXPECT_EQ(modeOf(root + "/own/old"), 0600u);

    ASSERT_TRUE(
        FileManager::createDirectory(root + "/shared/pictures", true, core::Visibility::everyone));
    EXPECT_EQ(modeOf(root + "/shared"), 0755u);
    EXPECT_EQ(modeOf(root + "/shared/pictures"), 0755u);
    ASSERT_TRUE(FileManager::writeAtomically(root + "/shared/pictures/page.png", "png",
                                             core::Visibility::everyone));
    EXPECT_EQ(modeOf(root + "/shared/pictures/page.png"), 0644u);
    // An existing folder keeps what it has.
    ASSERT_TRUE(FileManager::createDirectory(root + "/shared", true));
    EXPECT_EQ(modeOf(root + "/shared"), 0755u);
}

TEST(FileManagerHome, ANewHomeAndItsFoldersAreTheOwnersAlone) {
    const NoUmask noUmask;
    testsupport::ScopedEnvironment environment;
    const std::string home = testFolder() + "/home";
    environment.set("VANTOR_HOME", home);
    for (const Folder folder : {Folder::Caches, Folder::Album, Folder::Temporary}) {
        const auto created = FileManager::createFolder(folder);
        ASSERT_TRUE(created) << created.error();
        EXPECT_EQ(modeOf(created.value()), 0700u) << created.value();
    }
    EXPECT_EQ(modeOf(home), 0700u);
    EXPECT_EQ(modeOf(home + "/Library"), 0700u);
}

TEST(FileManagerFolders, ProcessFoldersLeftByEndedProcessesGoAtTheNextStart) {
    const std::string root = testFolder();
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Ends without cleaning up, as a crash would.
        const auto made = FileManager::createProcessFolder(root, "sock-");
        const std::string path = made ? made.value() : "";
        (void)!write(channel[1], path.data(), path.size());
        _exit(0);
    }
    close(channel[1]);
    char buffer[512] = {};
    const ssize_t got = read(channel[0], buffer, sizeof buffer - 1);
    close(channel[0]);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    ASSERT_GT(got, 0);
    const std::string abandoned(buffer, size_t(got));
    ASSERT_TRUE(FileManager::isDirectory(abandoned));
    EXPECT_EQ(modeOf(abandoned), 0700u);

    const auto mine = FileManager::createProcessFolder(root, "sock-");
    ASSERT_TRUE(mine) << mine.error();
    EXPECT_FALSE(FileManager::fileExists(abandoned));
    EXPECT_EQ(modeOf(mine.value()), 0700u);
    const std::string mineName = mine.value().substr(root.size() + 1);
    EXPECT_TRUE(mineName.starts_with("sock-" + std::to_string(getpid()) + ".")) << mineName;

    const std::vector<std::string> kept = {"sock-1.1-abcdef",  // not a folder
                                           "sock-notes", "sockets-2.2-abcdef", "other",
                                           // no lock to tell whether its process ended
                                           "sock-3.3-abcdef"};
    ASSERT_TRUE(FileManager::createExclusively(root + "/" + kept[0], ""));
    for (size_t i = 1; i < kept.size(); ++i)
        ASSERT_TRUE(FileManager::createDirectory(root + "/" + kept[i], false));
    // This process runs, but nobody holds the folder's lock: the pid in its
    // name was another's, since ended.
    const std::string reused = root + "/sock-" + std::to_string(getpid()) + ".1-uvwxyz";
    ASSERT_TRUE(FileManager::createDirectory(reused, false));
    ASSERT_TRUE(FileManager::createExclusively(reused + "/.lock", ""));
    ASSERT_EQ(symlink(root.c_str(), (root + "/sock-2.2-linked").c_str()), 0);

    const auto second = FileManager::createProcessFolder(root, "sock-");
    ASSERT_TRUE(second) << second.error();
    EXPECT_NE(second.value(), mine.value());
    auto expected = kept;
    expected.insert(expected.end(),
                    {mineName, second.value().substr(root.size() + 1), "sock-2.2-linked"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listing(root), expected);
}

// A process of another PID namespace sharing the folder names a pid this one
// cannot see (here, one above any pid): its folder stays while it runs, as
// it holds the folder's lock, and goes at the next start once it ended.
TEST(FileManagerFolders, ALiveProcessKeepsItsFolderWhateverPidItsNameCarries) {
    const std::string root = testFolder();
    int made[2];
    int release[2];
    ASSERT_EQ(pipe(made), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(release[1]);
        const auto folder = FileManager::createProcessFolder(root, "sock-");
        const std::string path = folder ? folder.value() : "";
        (void)!write(made[1], path.data(), path.size());
        char byte = 0;
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    close(made[1]);
    close(release[0]);
    char buffer[512] = {};
    const ssize_t got = read(made[0], buffer, sizeof buffer - 1);
    close(made[0]);
    ASSERT_GT(got, 0);
    const std::string path(buffer, size_t(got));
    const std::string elsewhere = root + "/sock-4194999." + path.substr(path.find('.') + 1);
    ASSERT_EQ(rename(path.c_str(), elsewhere.c_str()), 0);

    const auto mine = FileManager::createProcessFolder(root, "sock-");
    ASSERT_TRUE(mine) << mine.error();
    EXPECT_TRUE(FileManager::isDirectory(elsewhere));

    close(release[1]);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const auto next = FileManager::createProcessFolder(root, "sock-");
    ASSERT_TRUE(next) << next.error();
    EXPECT_FALSE(FileManager::fileExists(elsewhere));
    EXPECT_TRUE(FileManager::isDirectory(mine.value()));
}
