// The photo album folder: numbered JPEGs written whole, completions on the
// main queue, and refusals and write failures reported, never success.

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "store/PhotoAlbum.h"

using store::AlbumError;
using store::PhotoAlbum;

namespace {

class PhotoAlbumTest : public testing::Test {
protected:
    void SetUp() override { (void)core::FileManager::removeItem(PhotoAlbum::folderPath()); }
    void TearDown() override {
        PhotoAlbum::shared().setRefusalForTesting(std::nullopt);
        (void)core::FileManager::removeItem(PhotoAlbum::folderPath());
    }

    static gfx::ImagePtr solid(int width, int height, std::uint32_t rgb) {
        return gfx::Image::create(width, height,
                                  gfx::Image::Pixels(size_t(width) * size_t(height),
                                                     gfx::Color::fromRGB(rgb).premultipliedARGB()));
    }

    struct Answer {
        bool called = false;
        bool onMainThread = false;
        std::optional<AlbumError> error;
    };

    // Writes and waits (real time: the encoding and the file run on the
    // album's queue) for the completion.
    Answer write(gfx::ImagePtr image) {
        Answer answer;
        const auto mainThread = std::this_thread::get_id();
        PhotoAlbum::shared().writeImage(
            std::move(image), [&answer, mainThread](const std::optional<AlbumError>& error) {
                answer.called = true;
                answer.onMainThread = std::this_thread::get_id() == mainThread;
                answer.error = error;
            });
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return answer.called; }, 10));
        return answer;
    }

    static gfx::ImagePtr decodeFile(const std::string& path) {
        const auto bytes = core::FileManager::readFile(path);
        if (!bytes) return nullptr;
        return gfx::Image::decode(std::span(
            reinterpret_cast<const std::uint8_t*>(bytes.value().data()), bytes.value().size()));
    }
};

TEST_F(PhotoAlbumTest, WritesNumberedJpegsOfTheImageSizeAndAnswersOnTheMainQueue) {
    const auto first = write(solid(40, 30, 0x3366CC));
    EXPECT_TRUE(first.onMainThread);
    EXPECT_FALSE(first.error);
    const auto second = write(solid(7, 9, 0xCC3300));
    EXPECT_FALSE(second.error);

    const std::string folder = PhotoAlbum::folderPath();
    EXPECT_EQ(folder, core::FileManager::folderPath(core::Folder::Album));
    ASSERT_EQ(PhotoAlbum::imagePaths(),
              (std::vector<std::string>{folder + "/IMG_0001.jpg", folder + "/IMG_0002.jpg"}));
    // Nothing else is left in the folder: no temporary file.
    EXPECT_EQ(core::FileManager::contentsOfDirectory(folder).value().size(), 2u);

    const auto image = decodeFile(folder + "/IMG_0001.jpg");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 40);
    EXPECT_EQ(image->pixelHeight(), 30);
    const gfx::Color colour = image->pixelAt(20, 15);
    EXPECT_NEAR(colour.red, 0x33 / 255.0, 0.03);
    EXPECT_NEAR(colour.blue, 0xCC / 255.0, 0.03);
    const auto small = decodeFile(folder + "/IMG_0002.jpg");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelSize(), (gfx::Size{7, 9}));
}

TEST_F(PhotoAlbumTest, NumberingContinuesAfterTheHighestNameAndIgnoresOtherFiles) {
    const std::string folder = core::FileManager::createFolder(core::Folder::Album).value();
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/IMG_0041.jpg", std::string("x")));
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/IMG_9999.png", std::string("x")));
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/notes.txt", std::string("x")));
    EXPECT_FALSE(write(solid(2, 2, 0)).error);
    EXPECT_TRUE(core::FileManager::fileExists(folder + "/IMG_0042.jpg"));
    const auto old = core::FileManager::readFile(folder + "/IMG_0041.jpg");
    EXPECT_EQ(old.value(), "x") << "an existing image is never replaced";
}

TEST_F(PhotoAlbumTest, ARefusalIsReportedAndWritesNothing) {
    PhotoAlbum::shared().setRefusalForTesting(AlbumError::accessDenied());
    const auto answer = write(solid(4, 4, 0xFFFFFF));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(*answer.error, AlbumError::accessDenied());
    EXPECT_FALSE(answer.error->description.empty());
    EXPECT_TRUE(PhotoAlbum::imagePaths().empty());

    PhotoAlbum::shared().setRefusalForTesting(std::nullopt);
    EXPECT_FALSE(write(solid(4, 4, 0xFFFFFF)).error);
    EXPECT_EQ(PhotoAlbum::imagePaths().size(), 1u);
}

TEST_F(PhotoAlbumTest, AFolderThatCannotBeWrittenAndAMissingImageAreErrors) {
    // A file where the album folder belongs.
    ASSERT_TRUE(core::FileManager::writeAtomically(PhotoAlbum::folderPath(), std::string("x")));
    const auto blocked = write(solid(4, 4, 0));
    ASSERT_TRUE(blocked.error);
    EXPECT_EQ(blocked.error->code, AlbumError::Code::WriteFailed);
    EXPECT_NE(blocked.error->description.find(PhotoAlbum::folderPath()), std::string::npos)
        << blocked.error->description;
    (void)core::FileManager::removeItem(PhotoAlbum::folderPath());

    const auto missing = write(nullptr);
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->code, AlbumError::Code::InvalidImage);
    EXPECT_TRUE(PhotoAlbum::imagePaths().empty());
}

}  // namespace
