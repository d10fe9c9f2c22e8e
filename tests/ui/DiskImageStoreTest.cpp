#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/FileManager.h"
#include "support/TestEnvironment.h"
#include "ui/DiskImageStore.h"

using core::FileManager;
using ui::DiskImageStore;

namespace {

constexpr double kDay = 24 * 3600;
constexpr double kStart = 1'700'000'000;

std::vector<std::uint8_t> bytesOf(size_t count, char fill) {
    return std::vector<std::uint8_t>(count, std::uint8_t(fill));
}

class DiskImageStoreTest : public testing::Test {
protected:
    DiskImageStoreTest()
        : folder_(testsupport::testHome() + "/disk-store-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name()),
          store_(folder_) {
        (void)FileManager::removeItem(folder_);
    }

    void put(const std::string& key, size_t size, double time) {
        ASSERT_TRUE(store_.store(key, bytesOf(size, key[0]), time)) << key;
    }

    [[nodiscard]] std::vector<std::string> files() const {
        auto names = FileManager::contentsOfDirectory(folder_);
        return names ? names.value() : std::vector<std::string>{};
    }

    const std::string folder_;
    DiskImageStore store_;
};

TEST_F(DiskImageStoreTest, NamesFilesByTheHashOfTheKey) {
    const std::string key = "http://example.com/photos/a.jpg?w=200";
    const std::string name = DiskImageStore::fileName(key);
    EXPECT_EQ(name.size(), 64u);
    EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    }));
    EXPECT_NE(name, DiskImageStore::fileName(key + "&"));
    // SHA-256 of "abc".
    EXPECT_EQ(DiskImageStore::fileName("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    put(key, 10, kStart);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    EXPECT_EQ(store_.pathFor(key), folder_ + "/" + name);
}

TEST_F(DiskImageStoreTest, ReadsBackWhatWasStoredWhileNotExpired) {
    put("a", 100, kStart);
    const auto bytes = store_.read("a", kStart + 6 * kDay, 7 * kDay);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, bytesOf(100, 'a'));
    // That read was an access: seven days from it the entry still counts.
    EXPECT_TRUE(store_.contains("a", kStart + 13 * kDay, 7 * kDay));
    EXPECT_FALSE(store_.read("a", kStart + 13.5 * kDay, 7 * kDay));
    EXPECT_TRUE(store_.read("a", kStart + 100 * kDay, 0)) << "no age limit";
    EXPECT_FALSE(store_.read("missing", kStart, 7 * kDay));
}

TEST_F(DiskImageStoreTest, RemovesExpiredEntries) {
    put("old", 10, kStart);
    put("new", 10, kStart + 5 * kDay);
    EXPECT_EQ(store_.removeExpired(kStart + 8 * kDay, 7 * kDay), 1u);
    EXPECT_FALSE(store_.contains("old", kStart + 8 * kDay, 0));
    EXPECT_TRUE(store_.contains("new", kStart + 8 * kDay, 7 * kDay));
    EXPECT_EQ(files(), std::vector<std::string>{DiskImageStore::fileName("new")});
    EXPECT_EQ(store_.removeExpired(kStart + 100 * kDay, 0), 0u) << "no age limit";
}

TEST_F(DiskImageStoreTest, TrimsLeastRecentlyAccessedDownToHalfTheLimit) {
    put("a", 100, kStart + 1);
    put("b", 100, kStart + 2);
    put("c", 100, kStart + 3);
    put("d", 100, kStart + 4);
    put("e", 100, kStart + 5);
    ASSERT_TRUE(store_.read("a", kStart + 6, 0));
    EXPECT_EQ(store_.trim(500), 0u) << "at the limit is not over it";
    EXPECT_EQ(store_.trim(0), 0u) << "no limit";
    EXPECT_EQ(store_.trim(450), 3u);
    for (const char* key : {"b", "c", "d"}) EXPECT_FALSE(store_.contains(key, kStart, 0)) << key;
    EXPECT_TRUE(store_.contains("a", kStart, 0));
    EXPECT_TRUE(store_.contains("e", kStart, 0));
    EXPECT_EQ(store_.totalSize(), 200u);
    EXPECT_EQ(files().size(), 2u);
}

TEST_F(DiskImageStoreTest, EqualAccessTimesEvictInAccessOrder) {
    put("a", 100, kStart);
    put("b", 100, kStart);
    put("c", 100, kStart);
    EXPECT_EQ(store_.trim(250), 2u);
    EXPECT_TRUE(store_.contains("c", kStart, 0));
}

TEST_F(DiskImageStoreTest, ANewStoreRecoversSizesAndAccessTimesFromTheFolder) {
    put("a", 100, kStart + 30);
    put("b", 150, kStart + 10);
    put("c", 200, kStart + 20);
    DiskImageStore reopened(folder_);
    EXPECT_EQ(reopened.totalSize(), 450u);
    EXPECT_TRUE(reopened.contains("b", kStart + 10 + 7 * kDay, 7 * kDay));
    EXPECT_FALSE(reopened.contains("b", kStart + 11 + 7 * kDay, 7 * kDay));
    // b then c are the oldest.
    EXPECT_EQ(reopened.trim(449), 2u);
    EXPECT_TRUE(reopened.contains("a", kStart, 0));
    EXPECT_EQ(reopened.totalSize(), 100u);
}

TEST_F(DiskImageStoreTest, ReplacingAnEntryCountsOnlyTheNewBytes) {
    put("a", 100, kStart);
    put("a", 30, kStart + 1);
    ASSERT_TRUE(store_.read("a", kStart + 1, 0));
    EXPECT_EQ(store_.read("a", kStart + 1, 0)->size(), 30u);
    EXPECT_EQ(store_.totalSize(), 30u);
}

TEST_F(DiskImageStoreTest, RemoveAllEmptiesTheFolder) {
    put("a", 10, kStart);
    ASSERT_TRUE(FileManager::writeAtomically(folder_ + "/stray.txt", std::string_view("x")));
    store_.removeAll();
    EXPECT_TRUE(files().empty());
    EXPECT_FALSE(store_.contains("a", kStart, 0));
    EXPECT_EQ(store_.totalSize(), 0u);
    put("b", 10, kStart);
    EXPECT_TRUE(store_.read("b", kStart, 0));
}

TEST_F(DiskImageStoreTest, AFileRemovedBehindItsBackIsAMiss) {
    put("a", 10, kStart);
    ASSERT_TRUE(FileManager::removeItem(store_.pathFor("a")));
    EXPECT_FALSE(store_.read("a", kStart, 0));
    EXPECT_FALSE(store_.contains("a", kStart, 0));
}

TEST_F(DiskImageStoreTest, AMissingFolderIsAnEmptyStore) {
    EXPECT_EQ(store_.totalSize(), 0u);
    EXPECT_FALSE(store_.read("a", kStart, 0));
    EXPECT_EQ(store_.trim(1), 0u);
    EXPECT_FALSE(FileManager::fileExists(folder_));
}

}  // namespace
