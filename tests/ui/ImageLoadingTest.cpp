#include <gtest/gtest.h>

#include <memory>

#include "ImageLibraryTesting.h"
#include "ui/ImageLoading.h"
#include "ui/ImageView.h"

using imagetest::Delivery;
using imagetest::recorder;
using imagetest::solidImage;
using imagetest::waitUntil;
using ui::CacheType;
using ui::ImageError;
using ui::ImageView;

namespace {

const gfx::Color kBlue = gfx::Color::fromRGB(0x0000FF);
const gfx::Color kGreen = gfx::Color::fromRGB(0x00FF00);
// Nothing listens there: a load that reaches the network fails.
const core::URL kCached = *core::URL::create("http://127.0.0.1:9/cached.png");
const core::URL kElsewhere = *core::URL::create("http://127.0.0.1:9/elsewhere.png");

class ImageLoadingTest : public imagetest::ImageLibraryFixture {
protected:
    ImageLoadingTest() { cache().store(kCached, cachedImage_, {}); }

    const gfx::ImagePtr placeholder_ = solidImage(kBlue);
    const gfx::ImagePtr cachedImage_ = solidImage(kGreen);
    const std::shared_ptr<ImageView> view_ = std::make_shared<ImageView>(gfx::Rect(0, 0, 8, 8));
};

TEST_F(ImageLoadingTest, WithoutAURLShowsThePlaceholderAndReportsAtOnce) {
    auto delivery = std::make_shared<Delivery>();
    view_->setImage(cachedImage_);
    ui::setImage(*view_, std::nullopt, placeholder_, options(), {}, recorder(delivery));
    EXPECT_EQ(view_->image(), placeholder_);
    ASSERT_EQ(delivery->calls, 1);
    EXPECT_EQ(delivery->code(), ImageError::Code::noURL);
    EXPECT_FALSE(delivery->url);
    EXPECT_FALSE(ui::imageURL(*view_));
}

TEST_F(ImageLoadingTest, AMemoryHitShowsTheImageBeforeReturning) {
    auto delivery = std::make_shared<Delivery>();
    auto options = this->options();
    options.transition = ui::ImageTransition::fade(0.3);
    ui::setImage(*view_, kCached, placeholder_, options, {}, recorder(delivery));
    EXPECT_EQ(view_->image(), cachedImage_);
    ASSERT_EQ(delivery->calls, 1);
    EXPECT_EQ(delivery->cacheType, CacheType::memory);
    EXPECT_EQ(ui::imageURL(*view_), kCached);
    EXPECT_FALSE(ui::imageTransition(*view_)) << "cached images appear without a transition";
    EXPECT_EQ(view_->alpha(), 1);
}

TEST_F(ImageLoadingTest, ANewLoadCancelsThePreviousOne) {
    auto first = std::make_shared<Delivery>();
    auto second = std::make_shared<Delivery>();
    ui::setImage(*view_, kElsewhere, placeholder_, options(), {}, recorder(first));
    EXPECT_EQ(view_->image(), placeholder_);
    ui::setImage(*view_, kCached, placeholder_, options(), {}, recorder(second));
    EXPECT_EQ(view_->image(), cachedImage_);
    ASSERT_TRUE(waitUntil([&] { return first->done(); }));
    EXPECT_EQ(first->code(), ImageError::Code::cancelled);
    EXPECT_EQ(first->url, kElsewhere);
    EXPECT_EQ(view_->image(), cachedImage_);
    EXPECT_EQ(ui::imageURL(*view_), kCached);
    EXPECT_EQ(second->calls, 1);
}

TEST_F(ImageLoadingTest, ALoadEndsWithItsView) {
    auto delivery = std::make_shared<Delivery>();
    auto view = std::make_shared<ImageView>();
    ui::setImage(*view, kElsewhere, placeholder_, options(), {}, recorder(delivery));
    view.reset();
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    EXPECT_EQ(delivery->code(), ImageError::Code::cancelled);
}

TEST_F(ImageLoadingTest, CancellingWithoutALoadChangesNothing) {
    ui::setImage(*view_, kCached, placeholder_, options());
    ui::cancelDownloadTask(*view_);
    EXPECT_EQ(view_->image(), cachedImage_);
    EXPECT_EQ(ui::imageURL(*view_), kCached);
    ImageView fresh;
    ui::cancelDownloadTask(fresh);
    EXPECT_FALSE(ui::imageURL(fresh));
}

TEST_F(ImageLoadingTest, SharedManagerDefaults) {
    auto& shared = ui::ImageManager::shared();
    EXPECT_EQ(&shared, ui::ImageManager::sharedPointer().get());
    EXPECT_EQ(shared.downloader().downloadTimeout(), 15);
    EXPECT_EQ(shared.cache().maxDiskCacheSize(), 0u);
    EXPECT_EQ(shared.cache().maxCachePeriodInSecond(), 7 * 24 * 3600);
    EXPECT_EQ(shared.cache().maxMemoryCost(), 200u * 1024 * 1024);
    EXPECT_EQ(shared.cache().diskCachePath(),
              core::FileManager::folderPath(core::Folder::Caches) + "/ImageCache");
}

}  // namespace
