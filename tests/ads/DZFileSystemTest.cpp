#include <gtest/gtest.h>
#include <unistd.h>

#include "ads/foundation/DZBoolCache.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHashing.h"
#include "core/FileManager.h"

using namespace ads;
using core::FileManager;

namespace {

std::string cachesPath() {
    return FileManager::folderPath(core::Folder::Caches);
}

}  // namespace

TEST(DZFileSystem, CacheFolderIsVuRazInTheCachesFolderCreatedOnDemand) {
    Error error;
    const auto folder = DZCacheDirectoryPath(std::nullopt, &error);
    ASSERT_TRUE(folder) << error.message;
    EXPECT_TRUE(folder->isFileURL());
    EXPECT_EQ(folder->fileSystemPath(), cachesPath() + "/VuRaz");
    EXPECT_TRUE(FileManager::isDirectory(cachesPath() + "/VuRaz"));

    const auto sub = DZCacheDirectoryPath("Precache/deep", &error);
    ASSERT_TRUE(sub);
    EXPECT_TRUE(FileManager::isDirectory(cachesPath() + "/VuRaz/Precache/deep"));
    // Asking again for an existing folder succeeds.
    EXPECT_EQ(DZCacheDirectoryPath("Precache/deep", nullptr), sub);
}

TEST(DZFileSystem, CacheFolderFailureCarriesTheFileSystemError) {
    ASSERT_TRUE(DZCacheDirectoryPath(std::nullopt, nullptr));
    const std::string blocker = cachesPath() + "/VuRaz/blocked";
    ASSERT_TRUE(FileManager::writeAtomically(blocker, std::string_view("file")));
    Error error;
    EXPECT_FALSE(DZCacheDirectoryPath("blocked", &error));
    EXPECT_EQ(error.domain, "core.file");
    EXPECT_NE(error.code, 0);
    EXPECT_NE(error.message.find("blocked"), std::string::npos) << error.message;
    EXPECT_FALSE(DZCacheDirectoryPath("blocked", nullptr));  // no error asked for
    (void)FileManager::removeItem(blocker);
}

TEST(DZFileSystem, TemporaryFolderIsCreatedOnlyWhenAsked) {
    const std::string path = FileManager::folderPath(core::Folder::Temporary) + "/VuRazTemp";
    (void)FileManager::removeItem(path);
    Error error;
    const auto named = DZCreateTemporaryDirectory(false, &error);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->fileSystemPath(), path);
    EXPECT_FALSE(FileManager::fileExists(path));

    ASSERT_TRUE(DZCreateTemporaryDirectory(true, &error)) << error.message;
    EXPECT_TRUE(FileManager::isDirectory(path));

    ASSERT_TRUE(FileManager::removeItem(path));
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("not a folder")));
    EXPECT_FALSE(DZCreateTemporaryDirectory(true, &error));
    EXPECT_EQ(error.domain, "core.file");
    (void)FileManager::removeItem(path);
}

TEST(DZFileSystem, DiskSpaceOfTheDocumentsVolume) {
    Error error;
    const auto info = DZDiskSpaceInfo(&error);
    ASSERT_TRUE(info) << error.message;
    EXPECT_EQ(info->keys(), (std::vector<std::string>{"disk_free_bytes", "disk_total_bytes"}));
    EXPECT_TRUE((*info)["disk_total_bytes"].isInteger());
    EXPECT_GT((*info)["disk_total_bytes"].uintValue(), 0u);
    EXPECT_LE((*info)["disk_free_bytes"].uintValue(), (*info)["disk_total_bytes"].uintValue());
}

TEST(DZBoolCache, MarkerFileIsNamedByTheMD5OfTheFlag) {
    EXPECT_EQ(DZBoolCachePath("init_delay"),
              cachesPath() + "/VuRaz/DZBoolCache_" + *DZMD5HexString("init_delay"));
    EXPECT_FALSE(DZBoolCachePath(std::nullopt));
}

TEST(DZBoolCache, SettingCreatesAndRemovesTheMarker) {
    const std::string path = *DZBoolCachePath("flag-set");
    EXPECT_FALSE(DZBoolCacheGet("flag-set"));
    DZBoolCacheSet("flag-set", true);
    EXPECT_TRUE(DZBoolCacheGet("flag-set"));
    EXPECT_EQ(FileManager::readFile(path).value(), "");
    EXPECT_FALSE(DZBoolCacheGet("flag-other"));

    DZBoolCacheSet("flag-set", false);
    EXPECT_FALSE(DZBoolCacheGet("flag-set"));
    EXPECT_FALSE(FileManager::fileExists(path));
    DZBoolCacheSet("flag-set", false);  // removing twice is harmless
    EXPECT_FALSE(DZBoolCacheGet(std::nullopt));
}

TEST(DZBoolCache, SettingAnExistingMarkerLeavesItUntouched) {
    const std::string path = *DZBoolCachePath("flag-kept");
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("earlier")));
    DZBoolCacheSet("flag-kept", true);
    EXPECT_EQ(FileManager::readFile(path).value(), "earlier");
    DZBoolCacheSet("flag-kept", false);
}

TEST(DZFileSystem, OnlyFilesInsideTheCacheFolderPass) {
    const auto folder = DZCacheDirectoryPath("Inside", nullptr);
    ASSERT_TRUE(folder);
    const std::string inside = *folder->fileSystemPath() + "/file name.bin";
    ASSERT_TRUE(FileManager::writeAtomically(inside, std::string_view("x")));
    const std::string outsideFolder = FileManager::folderPath(core::Folder::Documents);
    ASSERT_TRUE(FileManager::createDirectory(outsideFolder, true));
    const std::string outside = outsideFolder + "/secret.txt";
    ASSERT_TRUE(FileManager::writeAtomically(outside, std::string_view("s")));
    const std::string link = *folder->fileSystemPath() + "/link";
    ASSERT_EQ(::symlink(outside.c_str(), link.c_str()), 0);

    const std::string vuraz = cachesPath() + "/VuRaz";
    struct Case {
        std::string url;
        bool passes;
    };
    const Case cases[] = {
        {"file://" + vuraz + "/Inside/file%20name.bin", true},
        {"file://" + vuraz + "/Inside/../Inside/file%20name.bin", true},
        {"file://" + vuraz + "/Inside/../../../Documents/secret.txt", false},
        {"file://" + vuraz + "/Inside/%2E%2E/%2E%2E/../Documents/secret.txt", false},
        {"file://" + vuraz + "/Inside/link", false},
        {"file://" + vuraz, false},
        {"file://" + vuraz + "/Inside/absent.bin", false},
        {"file:///etc/passwd", false},
        {"https://a.test" + vuraz + "/Inside/file%20name.bin", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const auto url = core::URL::create(c.url);
        ASSERT_TRUE(url);
        const auto resolved = DZPathInsideCacheDirectory(*url);
        EXPECT_EQ(resolved.has_value(), c.passes);
        if (resolved) {
            EXPECT_EQ(*resolved, FileManager::resolvedPath(inside).value());
        }
    }
}

TEST(DZHashing, StringHashIsSixtyFourBitFNV1a) {
    EXPECT_EQ(DZStringHash(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(DZStringHash("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(DZStringHash("foobar"), 0x85944171f73967e8ULL);
    EXPECT_EQ(DZStringHashHex("a"), "af63dc4c8601ec8c");
}
