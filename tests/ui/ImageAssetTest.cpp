#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Bundle.h"
#include "core/FileManager.h"
#include "gfx/GeometryPrinting.h"
#include "support/TestEnvironment.h"
#include "ui/ImageAsset.h"

using core::FileManager;
using gfx::Size;
using ui::imageNamed;

namespace {

// A resources folder of its own per test, with PNGs of 12 x 12 pixels
// under images/.
class ImageAssetTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        root_ = testsupport::testHome() + "/image-assets/" + test->name();
        (void)FileManager::removeItem(root_);
        ASSERT_TRUE(FileManager::createDirectory(root_ + "/images", true));
    }

    void writeImage(const std::string& file) {
        const auto image = gfx::Image::create(12, 12, gfx::Image::Pixels(144, 0xFF336699u));
        ASSERT_TRUE(FileManager::writeAtomically(root_ + "/images/" + file, image->encodePng()));
    }

    [[nodiscard]] std::shared_ptr<core::Bundle> bundle() const {
        return core::Bundle::create(root_);
    }

    std::string root_;
};

TEST_F(ImageAssetTest, DeviceScaleFileWinsAndSetsTheScale) {
    writeImage("close@2x.png");
    writeImage("close@3x.png");
    writeImage("close.png");
    const auto image = imageNamed("close", *bundle());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), (Size{6, 6}));
}

TEST_F(ImageAssetTest, FallsBackThroughOtherScalesToThePlainFile) {
    writeImage("share@3x.png");
    writeImage("logo.png");
    const auto share = imageNamed("share", *bundle());
    ASSERT_TRUE(share);
    EXPECT_EQ(share->size(), (Size{4, 4}));
    const auto logo = imageNamed("logo.png", *bundle());
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->scale(), 1);
    EXPECT_FALSE(imageNamed("missing", *bundle()));
}

TEST_F(ImageAssetTest, UndecodableFileIsMissing) {
    ASSERT_TRUE(FileManager::writeAtomically(root_ + "/images/broken@2x.png", "not a png"));
    EXPECT_FALSE(imageNamed("broken", *bundle()));
}

TEST_F(ImageAssetTest, CachesFoundImagesButNotMisses) {
    EXPECT_FALSE(imageNamed("badge", *bundle()));
    writeImage("badge@2x.png");
    const auto first = imageNamed("badge", *bundle());
    ASSERT_TRUE(first);
    ASSERT_TRUE(FileManager::removeItem(root_ + "/images/badge@2x.png"));
    EXPECT_EQ(imageNamed("badge", *bundle()), first);
}

TEST_F(ImageAssetTest, ThreadsShareOneImage) {
    writeImage("star@2x.png");
    const auto shared = bundle();
    std::vector<gfx::ImagePtr> results(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, &shared, i] { results[i] = imageNamed("star", *shared); });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(results[0]);
    for (const auto& result : results) EXPECT_EQ(result, results[0]);
}

TEST_F(ImageAssetTest, MainBundleImagesComeFromItsImagesFolder) {
    writeImage("wallpaper@2x.png");
    const char* previous = std::getenv("VANTOR_RESOURCES");
    const std::string saved = previous ? previous : "";
    setenv("VANTOR_RESOURCES", root_.c_str(), 1);
    const auto image = imageNamed("wallpaper");
    if (previous) {
        setenv("VANTOR_RESOURCES", saved.c_str(), 1);
    } else {
        unsetenv("VANTOR_RESOURCES");
    }
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (Size{6, 6}));
}

}  // namespace
