// The photo album folder: numbered JPEGs written whole, completions on the
// main queue, and refusals and write failures reported, never success.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "store/PhotoAlbum.h"
#include "support/DecodedFile.h"

using store::AlbumError;
using store::PhotoAlbum;
using testsupport::decodeFile;

namespace {

class PhotoAlbumTest : public testing::Test {
protected:
    void SetUp() override { (void)core::FileManager::removeItem(PhotoAlbum::folderPath()); }
    void TearDown() override {
        PhotoAlbum::setFolderOverride({});
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

// A photo-like image: smooth gradients with some structure.
gfx::ImagePtr gradient(int width, int height) {
    gfx::Image::Pixels pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(gfx::Color::fromRGB(std::uint32_t((x * 255 / width) << 16 |
                                                               (y * 255 / height) << 8 |
                                                               ((x + y) % 64) * 2))
                                 .premultipliedARGB());
    return gfx::Image::create(width, height, std::move(pixels));
}

mode_t permissions(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 0777;
}

// The desktop window saves into the desktop's pictures folder: made when
// missing, readable by the person's other programs, the whole picture, and a
// second save of the same picture gets a name of its own.
TEST_F(PhotoAlbumTest, AFolderSetInPlaceOfTheHomeGetsTheWholePictureUnderFreeNames) {
    const std::string pictures =
        (std::filesystem::path(testing::TempDir()) / ("album-pictures-" + std::to_string(getpid())))
            .string();
    (void)core::FileManager::removeItem(pictures);
    const std::string folder = pictures + "/Vantor";
    PhotoAlbum::setFolderOverride(folder);
    EXPECT_EQ(PhotoAlbum::folderPath(), folder);

    const auto picture = gradient(120, 80);
    EXPECT_FALSE(write(picture).error);
    EXPECT_FALSE(write(picture).error);
    ASSERT_EQ(PhotoAlbum::imagePaths(),
              (std::vector<std::string>{folder + "/IMG_0001.jpg", folder + "/IMG_0002.jpg"}));
    EXPECT_EQ(core::FileManager::contentsOfDirectory(folder).value().size(), 2u);
    EXPECT_FALSE(core::FileManager::fileExists(core::FileManager::folderPath(core::Folder::Album)))
        << "nothing goes to the home's album";

    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(permissions(folder), 0755 & ~mask);
    EXPECT_EQ(permissions(folder + "/IMG_0001.jpg"), 0644 & ~mask);

    const auto saved = decodeFile(folder + "/IMG_0002.jpg");
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->pixelSize(), picture->pixelSize());
    double difference = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            const gfx::Color a = saved->pixelAt(x, y);
            const gfx::Color b = picture->pixelAt(x, y);
            difference += std::fabs(a.red - b.red) + std::fabs(a.green - b.green) +
                          std::fabs(a.blue - b.blue);
        }
    EXPECT_LT(difference / (120 * 80 * 3), 0.02) << "the saved file shows the picture";

    // Back to the home: its album files stay the owner's alone.
    PhotoAlbum::setFolderOverride({});
    EXPECT_EQ(PhotoAlbum::folderPath(), core::FileManager::folderPath(core::Folder::Album));
    EXPECT_FALSE(write(picture).error);
    ASSERT_EQ(PhotoAlbum::imagePaths().size(), 1u);
    EXPECT_EQ(permissions(PhotoAlbum::imagePaths()[0]), 0600);
    (void)core::FileManager::removeItem(pictures);
}

}  // namespace
