#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ImageLibraryTesting.h"
#include "core/ThreadPool.h"
#include "fixtures/ResponseGate.h"
#include "support/ManualClockScope.h"

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using imagetest::Delivery;
using imagetest::Latch;
using imagetest::recorder;
using imagetest::waitUntil;
using ui::CacheType;
using ui::ImageError;

namespace {

const gfx::Color kRed = gfx::Color::fromRGB(0xFF0000);

class ImageManagerService : public imagetest::ImageLibraryFixture {
protected:
    // Serves a red PNG at path once the latch is released.
    core::URL serveHeld(const std::string& path) {
        server_.on("GET", path,
                   [latch = latch_, body = imagetest::pngOf(kRed)](const LoopbackRequest&) {
                       latch->wait();
                       return LoopbackResponse::bytes(body, "image/png");
                   });
        return server_.url(path);
    }

    ~ImageManagerService() override { latch_->release(); }

    // Shared with the handlers, which may still be waking when the test ends.
    const std::shared_ptr<Latch> latch_ = std::make_shared<Latch>();
};

TEST_F(ImageManagerService, ConcurrentRequestsForOneURLShareOneDownload) {
    const auto url = serveHeld("/shared.png");
    auto first = std::make_shared<Delivery>();
    auto second = std::make_shared<Delivery>();
    const auto firstTask = manager_->retrieveImage(url, {}, {}, recorder(first));
    const auto secondTask = manager_->retrieveImage(url, {}, {}, recorder(second));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/shared.png") == 1; }));
    ASSERT_TRUE(waitUntil([&] { return manager_->downloader().activeDownloadCount() == 1; }));
    latch_->release();

    ASSERT_TRUE(waitUntil([&] { return first->done() && second->done(); }));
    for (const auto& delivery : {first, second}) {
        ASSERT_TRUE(delivery->image);
        EXPECT_EQ(delivery->image->pixelAt(1, 1), kRed);
        EXPECT_EQ(delivery->cacheType, CacheType::none);
    }
    EXPECT_EQ(first->image, second->image) << "decoded once";
    EXPECT_EQ(requestsTo("/shared.png"), 1u);
    EXPECT_EQ(manager_->downloader().activeDownloadCount(), 0u);
    EXPECT_TRUE(firstTask->isFinished());
    EXPECT_FALSE(firstTask->isCancelled());
}

TEST_F(ImageManagerService, CancellingOneSharerLeavesTheOtherItsImage) {
    const auto url = serveHeld("/shared.png");
    auto cancelled = std::make_shared<Delivery>();
    auto kept = std::make_shared<Delivery>();
    const auto cancelledTask = manager_->retrieveImage(url, {}, {}, recorder(cancelled));
    const auto keptTask = manager_->retrieveImage(url, {}, {}, recorder(kept));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/shared.png") == 1; }));
    ASSERT_TRUE(waitUntil([&] { return manager_->downloader().activeDownloadCount() == 1; }));
    cancelledTask->cancel();
    latch_->release();

    ASSERT_TRUE(waitUntil([&] { return cancelled->done() && kept->done(); }));
    EXPECT_EQ(cancelled->code(), ImageError::Code::cancelled);
    EXPECT_FALSE(cancelled->image);
    EXPECT_TRUE(kept->image);
    EXPECT_EQ(cache().cacheType(url), CacheType::memory);
}

TEST_F(ImageManagerService, CancellingTheOnlyCallerStopsTheDownload) {
    const auto url = serveHeld("/alone.png");
    auto delivery = std::make_shared<Delivery>();
    const auto task = manager_->retrieveImage(url, {}, {}, recorder(delivery));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/alone.png") == 1; }));
    ASSERT_TRUE(waitUntil([&] { return manager_->downloader().activeDownloadCount() == 1; }));
    task->cancel();
    EXPECT_EQ(manager_->downloader().activeDownloadCount(), 0u);
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    EXPECT_EQ(delivery->code(), ImageError::Code::cancelled);

    // A later request for the URL starts a download of its own.
    latch_->release();
    EXPECT_TRUE(retrieve(url)->image);
    EXPECT_EQ(requestsTo("/alone.png"), 2u);
}

TEST_F(ImageManagerService, ProgressFollowsTheBodyOnMain) {
    const std::string body = imagetest::noisyPng(64);
    server_.on("GET", "/slow.png", [body](const LoopbackRequest&) {
        auto response = LoopbackResponse::bytes(body, "image/png");
        response.chunkSize = body.size() / 6 + 1;
        response.chunkDelayMs = 60;
        return response;
    });
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    bool progressOnMain = true;
    bool progressAfterCompletion = false;
    auto delivery = std::make_shared<Delivery>();
    (void)manager_->retrieveImage(
        server_.url("/slow.png"), {},
        [&](std::int64_t received, std::int64_t expected) {
            progressOnMain = progressOnMain && core::RunLoop::isMainThread();
            progressAfterCompletion = progressAfterCompletion || delivery->done();
            reports.emplace_back(received, expected);
        },
        recorder(delivery));
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    ASSERT_TRUE(delivery->image);
    EXPECT_TRUE(progressOnMain);
    EXPECT_FALSE(progressAfterCompletion);
    ASSERT_GE(reports.size(), 3u);
    for (size_t i = 1; i < reports.size(); ++i) {
        EXPECT_LT(reports[i - 1].first, reports[i].first) << "report " << i;
    }
    for (const auto& [received, expected] : reports) {
        EXPECT_EQ(expected, std::int64_t(body.size()));
    }
    EXPECT_EQ(reports.back().first, std::int64_t(body.size()));
}

TEST_F(ImageManagerService, DownloadsTimeOutAfterTheDownloadTimeout) {
    testsupport::ManualClockScope clock;
    manager_->downloader().setDownloadTimeout(180);
    EXPECT_EQ(manager_->downloader().downloadTimeout(), 180);
    const auto url = serveHeld("/silent.png");
    auto delivery = std::make_shared<Delivery>();
    (void)manager_->retrieveImage(url, {}, {}, recorder(delivery));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/silent.png") == 1; }));

    clock.advance(179);
    EXPECT_FALSE(waitUntil([&] { return delivery->done(); }, 0.2));
    clock.advance(1);
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    ASSERT_TRUE(delivery->error);
    EXPECT_EQ(delivery->error->code, ImageError::Code::network);
    ASSERT_TRUE(delivery->error->networkError);
    EXPECT_EQ(delivery->error->networkError->code, core::NetworkError::Code::timedOut);
}

// A JPEG padded with comment segments to at least size bytes, as large as
// a full-size photo without the cost of one.
std::string paddedJpeg(size_t size) {
    const auto bytes = imagetest::solidImage(kRed, 1)->scaled({40, 30})->encodeJpeg(0.9);
    const std::string jpeg = imagetest::toString(bytes);
    std::string padded = jpeg.substr(0, 2);  // start of image
    const std::string comment = "\xFF\xFE\xFF\xFF" + std::string(0xFFFF - 2, 'c');
    while (padded.size() + jpeg.size() < size) padded += comment;
    return padded + jpeg.substr(2);
}

TEST_F(ImageManagerService, PhotosLargerThanTheMaximumFailUnlessItIsRaised) {
    constexpr std::int64_t kDefault = core::URLSessionConfiguration::kDefaultMaximumResponseBytes;
    EXPECT_EQ(manager_->downloader().maximumDownloadBytes(), kDefault);
    const std::string photo = paddedJpeg(static_cast<size_t>(kDefault) + 1);
    server_.on("GET", "/large.jpg", [photo](const LoopbackRequest&) {
        return LoopbackResponse::bytes(photo, "image/jpeg");
    });
    const auto refused = retrieve(server_.url("/large.jpg"));
    ASSERT_EQ(refused->code(), ImageError::Code::network);
    ASSERT_TRUE(refused->error->networkError);
    EXPECT_EQ(refused->error->networkError->code,
              core::NetworkError::Code::dataLengthExceedsMaximum);

    manager_->downloader().setMaximumDownloadBytes(64 * 1024 * 1024);
    const auto loaded = retrieve(server_.url("/large.jpg"));
    ASSERT_TRUE(loaded->image) << (loaded->error ? loaded->error->message : "");
    EXPECT_EQ(loaded->image->size(), (gfx::Size{40, 30}));
}

TEST_F(ImageManagerService, DownloadsEndWhenBytesComeTooSlowly) {
    testsupport::ManualClockScope clock;
    manager_->downloader().setDownloadTimeout(180);
    auto gate = fixtures::ResponseGate::make();
    server_.on("GET", "/trickle.png", [gate](const LoopbackRequest&) {
        return LoopbackResponse::bytes(imagetest::noisyPng(64), "image/png").meteredBy(gate);
    });
    auto delivery = std::make_shared<Delivery>();
    bool flowing = false;
    (void)manager_->retrieveImage(
        server_.url("/trickle.png"), {}, [&](std::int64_t, std::int64_t) { flowing = true; },
        recorder(delivery));
    gate->openTo(1000);
    ASSERT_TRUE(waitUntil([&] { return flowing; }));

    clock.advance(ui::ImageDownloader::kLowSpeedTime - 1);
    EXPECT_FALSE(waitUntil([&] { return delivery->done(); }, 0.3));
    clock.advance(1);
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    gate->release();
    ASSERT_EQ(delivery->code(), ImageError::Code::network);
    ASSERT_TRUE(delivery->error->networkError);
    EXPECT_EQ(delivery->error->networkError->code, core::NetworkError::Code::timedOut);
}

}  // namespace

namespace {

// A 400x300 JPEG at path, and the image options asking for a box of pixels.
class SizedImageService : public imagetest::ImageLibraryFixture {
protected:
    // With a gate, the answer waits until the test releases it.
    core::URL serveJpeg(const std::string& path,
                        std::shared_ptr<fixtures::ResponseGate> gate = nullptr) {
        const auto bytes = imagetest::solidImage(kRed, 1)->scaled({400, 300})->encodeJpeg(0.9);
        server_.on("GET", path,
                   [body = imagetest::toString(bytes), gate](const LoopbackRequest&) {
                       auto response = LoopbackResponse::bytes(body, "image/jpeg");
                       if (gate) response.heldBy(gate);
                       return response;
                   });
        return server_.url(path);
    }
    [[nodiscard]] ui::ImageOptions sized(gfx::Size pixels) const {
        ui::ImageOptions asked = options();
        asked.targetPixelSize = pixels;
        return asked;
    }
};

TEST_F(SizedImageService, EachSizeGetsItsOwnDecodeAndALargerOneStaysSharp) {
    const auto url = serveJpeg("/photo.jpg");
    const auto small = retrieve(url, sized({100, 75}));
    ASSERT_TRUE(small->image);
    EXPECT_EQ(small->image->pixelSize(), (gfx::Size{100, 75}));
    EXPECT_EQ(small->cacheType, CacheType::none);

    // The same size again: the memory copy.
    const auto again = retrieve(url, sized({100, 75}));
    EXPECT_EQ(again->cacheType, CacheType::memory);
    EXPECT_EQ(again->image, small->image);

    // The full size decodes the stored bytes afresh, not the small copy.
    (void)diskSize();
    const auto full = retrieve(url, sized({}));
    ASSERT_TRUE(full->image);
    EXPECT_EQ(full->image->pixelSize(), (gfx::Size{400, 300}));
    EXPECT_EQ(full->cacheType, CacheType::disk);
    // A full-size image in memory serves any smaller size.
    const auto other = retrieve(url, sized({200, 150}));
    EXPECT_EQ(other->cacheType, CacheType::memory);
    EXPECT_EQ(other->image, full->image);
    EXPECT_EQ(requestsTo("/photo.jpg"), 1u);
}

TEST_F(SizedImageService, CallersOfOneDownloadGetTheSizesTheyAskedFor) {
    // The answer is held until both callers have asked, so they share one download.
    const auto answer = fixtures::ResponseGate::make();
    const auto url = serveJpeg("/shared.jpg", answer);
    auto small = std::make_shared<Delivery>();
    auto full = std::make_shared<Delivery>();
    (void)manager_->retrieveImage(url, sized({40, 30}), {}, recorder(small));
    (void)manager_->retrieveImage(url, sized({}), {}, recorder(full));
    // Both disk lookups are done once the pool is idle; the second then joins the download.
    ASSERT_TRUE(waitUntil([&] {
        return answer->heldCount() > 0 && core::ThreadPool::shared().pendingJobCount() == 0;
    }));
    answer->release();
    ASSERT_TRUE(waitUntil([&] { return small->done() && full->done(); }));
    ASSERT_TRUE(small->image && full->image);
    EXPECT_EQ(small->image->pixelSize(), (gfx::Size{40, 30}));
    EXPECT_EQ(full->image->pixelSize(), (gfx::Size{400, 300}));
    EXPECT_EQ(requestsTo("/shared.jpg"), 1u);
}

}  // namespace
