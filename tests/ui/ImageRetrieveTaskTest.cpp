#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ImageLibraryTesting.h"
#include "ui/ImageRetrieveTask.h"

using imagetest::Delivery;
using imagetest::recorder;
using imagetest::waitUntil;
using ui::CacheType;
using ui::ImageError;
using ui::ImageRetrieveTask;

namespace {

const core::URL kURL = *core::URL::create("http://127.0.0.1:9/a.png");

TEST(ImageRetrieveTaskTest, FinishDeliversOnceAndAtOnce) {
    auto delivery = std::make_shared<Delivery>();
    const auto task = std::make_shared<ImageRetrieveTask>(kURL, nullptr, recorder(delivery));
    const auto image = imagetest::solidImage(gfx::Color::fromRGB(0x00FF00));
    task->finish(image, std::nullopt, CacheType::disk);
    EXPECT_EQ(delivery->calls, 1);
    EXPECT_EQ(delivery->image, image);
    EXPECT_EQ(delivery->cacheType, CacheType::disk);
    EXPECT_EQ(delivery->url, kURL);
    EXPECT_TRUE(task->isFinished());

    task->finish(nullptr, ImageError::noURL(), CacheType::none);
    task->cancel();
    EXPECT_FALSE(task->isCancelled());
    EXPECT_FALSE(waitUntil([&] { return delivery->calls > 1; }, 0.05));
}

TEST(ImageRetrieveTaskTest, CancelDeliversACancelledErrorLaterOnMain) {
    auto delivery = std::make_shared<Delivery>();
    std::vector<std::int64_t> progress;
    const auto task = std::make_shared<ImageRetrieveTask>(
        kURL, [&](std::int64_t received, std::int64_t) { progress.push_back(received); },
        recorder(delivery));
    task->reportProgress(10, 100);
    task->cancel();
    EXPECT_EQ(delivery->calls, 0) << "not from inside cancel()";
    EXPECT_TRUE(task->isCancelled());

    // What the load produces afterwards is dropped.
    task->reportProgress(50, 100);
    task->finish(imagetest::solidImage(gfx::Color::fromRGB(0x00FF00)), std::nullopt,
                 CacheType::none);
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    EXPECT_EQ(delivery->code(), ImageError::Code::cancelled);
    EXPECT_FALSE(delivery->image);
    EXPECT_TRUE(delivery->onMainThread);
    EXPECT_EQ(progress, std::vector<std::int64_t>{10});
    EXPECT_FALSE(waitUntil([&] { return delivery->calls > 1; }, 0.05));
}

TEST(ImageRetrieveTaskTest, NetworkCancellationReadsAsCancelled) {
    const auto error = ImageError::network(
        core::NetworkError::make(core::NetworkError::Code::cancelled, kURL.absoluteString(), "x"));
    EXPECT_TRUE(error.isCancelled());
    const auto lost = ImageError::network(core::NetworkError::make(
        core::NetworkError::Code::networkConnectionLost, kURL.absoluteString(), "lost"));
    EXPECT_EQ(lost.code, ImageError::Code::network);
    ASSERT_TRUE(lost.networkError);
    EXPECT_EQ(lost.networkError->code, core::NetworkError::Code::networkConnectionLost);
}

}  // namespace
