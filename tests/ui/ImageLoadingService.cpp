#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>

#include "ImageLibraryTesting.h"
#include "ui/ImageLoading.h"
#include "ui/ImageView.h"

using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using imagetest::Delivery;
using imagetest::Latch;
using imagetest::recorder;
using imagetest::solidImage;
using imagetest::waitUntil;
using ui::CacheType;
using ui::ImageError;
using ui::ImageView;

namespace {

const gfx::Color kRed = gfx::Color::fromRGB(0xFF0000);
const gfx::Color kGreen = gfx::Color::fromRGB(0x00FF00);
const gfx::Color kBlue = gfx::Color::fromRGB(0x0000FF);

// A real PNG whose header claims 10000 x 10000 pixels.
std::string hugePngHeader() {
    std::string png = imagetest::pngOf(kRed, 4);
    // Width and height, big-endian, inside the IHDR chunk.
    for (size_t at : {16u, 20u}) {
        for (int i = 0; i < 4; ++i) png[at + i] = char(10000 >> (24 - 8 * i));
    }
    const auto* ihdr = reinterpret_cast<const Bytef*>(png.data() + 12);
    const auto crc = std::uint32_t(crc32(0, ihdr, 17));
    for (int i = 0; i < 4; ++i) png[29 + i] = char(crc >> (24 - 8 * i));
    return png;
}

class ImageLoadingService : public imagetest::ImageLibraryFixture {
protected:
    // Sets the image of a new view and waits for the completion.
    std::shared_ptr<Delivery> load(ImageView& view, const core::URL& url,
                                   ui::ImageOptions options) {
        auto delivery = std::make_shared<Delivery>();
        ui::setImage(view, url, placeholder_, std::move(options), {}, recorder(delivery));
        EXPECT_TRUE(waitUntil([&] { return delivery->done(); })) << url.absoluteString();
        return delivery;
    }
    std::shared_ptr<Delivery> load(ImageView& view, const core::URL& url) {
        return load(view, url, options());
    }

    [[nodiscard]] static std::shared_ptr<ImageView> makeView() {
        return std::make_shared<ImageView>(gfx::Rect(0, 0, 8, 8));
    }

    const gfx::ImagePtr placeholder_ = solidImage(kBlue);
};

TEST_F(ImageLoadingService, ShowsTheDownloadedImage) {
    const auto url = servePng("/red.png", kRed);
    const auto view = makeView();
    auto delivery = std::make_shared<Delivery>();
    ui::setImage(*view, url, placeholder_, options(), {}, recorder(delivery));
    EXPECT_EQ(view->image(), placeholder_) << "the placeholder shows at once";
    EXPECT_EQ(delivery->calls, 0);

    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    EXPECT_FALSE(delivery->error);
    EXPECT_EQ(delivery->cacheType, CacheType::none);
    EXPECT_EQ(delivery->url, url);
    EXPECT_TRUE(delivery->onMainThread);
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image(), delivery->image);
    EXPECT_EQ(view->image()->pixelAt(3, 3), kRed);
    EXPECT_EQ(ui::imageURL(*view), url);
}

TEST_F(ImageLoadingService, TheSecondLoadIsAMemoryHitAndTheThirdADiskHit) {
    const auto url = servePng("/red.png", kRed);
    const auto first = makeView();
    ASSERT_EQ(load(*first, url)->cacheType, CacheType::none);

    const auto second = makeView();
    auto delivery = std::make_shared<Delivery>();
    ui::setImage(*second, url, placeholder_, options(), {}, recorder(delivery));
    EXPECT_EQ(delivery->calls, 1);
    EXPECT_EQ(delivery->cacheType, CacheType::memory);
    EXPECT_EQ(second->image(), first->image());

    (void)diskSize();
    cache().clearMemoryCache();
    const auto third = makeView();
    const auto fromDisk = load(*third, url);
    EXPECT_EQ(fromDisk->cacheType, CacheType::disk);
    ASSERT_TRUE(third->image());
    EXPECT_EQ(third->image()->pixelAt(0, 0), kRed);
    EXPECT_EQ(requestsTo("/red.png"), 1u);
    EXPECT_EQ(cache().cacheType(url), CacheType::memory) << "a disk hit is kept in memory";
}

TEST_F(ImageLoadingService, ForceRefreshSkipsTheCaches) {
    const auto url = servePng("/red.png", kRed);
    const auto view = makeView();
    (void)load(*view, url);
    auto options = this->options();
    options.forceRefresh = true;
    EXPECT_EQ(load(*view, url, options)->cacheType, CacheType::none);
    EXPECT_EQ(requestsTo("/red.png"), 2u);
}

TEST_F(ImageLoadingService, ADownloadedImageFadesIn) {
    const auto url = servePng("/red.png", kRed);
    const auto view = makeView();
    auto options = this->options();
    options.transition = ui::ImageTransition::fade(0.25);
    EXPECT_FALSE(load(*view, url, options)->error);
    EXPECT_EQ(ui::imageTransition(*view), ui::ImageTransition::fade(0.25));
    EXPECT_EQ(view->alpha(), 1);

    options.transition = ui::ImageTransition::flipFromLeft(0.5);
    const auto other = makeView();
    options.forceRefresh = true;
    (void)load(*other, url, options);
    EXPECT_EQ(ui::imageTransition(*other), ui::ImageTransition::flipFromLeft(0.5));
}

TEST_F(ImageLoadingService, ASecondLoadReplacesTheFirstWhichNeverShows) {
    const auto latch = std::make_shared<Latch>();
    const std::string red = imagetest::pngOf(kRed);
    server_.on("GET", "/first.png", [latch, red](const LoopbackRequest&) {
        latch->wait();
        return LoopbackResponse::bytes(red, "image/png");
    });
    const auto secondURL = servePng("/second.png", kGreen);
    const auto view = makeView();
    auto first = std::make_shared<Delivery>();
    ui::setImage(*view, server_.url("/first.png"), placeholder_, options(), {}, recorder(first));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/first.png") == 1; }));

    const auto second = load(*view, secondURL);
    EXPECT_FALSE(second->error);
    ASSERT_TRUE(waitUntil([&] { return first->done(); }));
    EXPECT_EQ(first->code(), ImageError::Code::cancelled);

    latch->release();
    ASSERT_TRUE(waitUntil([&] { return server_.requestsInFlight() == 0; }));
    EXPECT_FALSE(waitUntil([&] { return first->calls > 1; }, 0.2));
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->pixelAt(0, 0), kGreen);
    EXPECT_EQ(manager_->downloader().activeDownloadCount(), 0u);
}

TEST_F(ImageLoadingService, CancellingKeepsThePlaceholder) {
    const auto latch = std::make_shared<Latch>();
    const std::string red = imagetest::pngOf(kRed);
    server_.on("GET", "/slow.png", [latch, red](const LoopbackRequest&) {
        latch->wait();
        return LoopbackResponse::bytes(red, "image/png");
    });
    const auto view = makeView();
    auto delivery = std::make_shared<Delivery>();
    ui::setImage(*view, server_.url("/slow.png"), placeholder_, options(), {}, recorder(delivery));
    ASSERT_TRUE(waitUntil([&] { return requestsTo("/slow.png") == 1; }));
    ui::cancelDownloadTask(*view);
    ASSERT_TRUE(waitUntil([&] { return delivery->done(); }));
    EXPECT_EQ(delivery->code(), ImageError::Code::cancelled);
    EXPECT_FALSE(ui::imageURL(*view));

    latch->release();
    ASSERT_TRUE(waitUntil([&] { return server_.requestsInFlight() == 0; }));
    EXPECT_FALSE(waitUntil([&] { return delivery->calls > 1; }, 0.2));
    EXPECT_EQ(view->image(), placeholder_);
    EXPECT_FALSE(cache().isCached(server_.url("/slow.png")));
}

TEST_F(ImageLoadingService, BadResponsesKeepThePlaceholder) {
    struct Case {
        std::string path;
        LoopbackResponse response;
        ImageError::Code code;
        std::string mentions;
    };
    auto truncated = LoopbackResponse::bytes(imagetest::noisyPng(32), "image/png");
    truncated.closeAfter = 200;
    auto missing = LoopbackResponse::bytes(imagetest::pngOf(kRed), "image/png");
    missing.status = 404;
    const std::vector<Case> cases = {
        {"/text", LoopbackResponse::text("<html>not an image</html>"),
         ImageError::Code::decodingFailed, "/text"},
        {"/empty", LoopbackResponse::bytes("", "image/png"), ImageError::Code::decodingFailed,
         "/empty"},
        {"/missing", missing, ImageError::Code::httpStatus, "404"},
        {"/broken", LoopbackResponse::text("oops", 500), ImageError::Code::httpStatus, "500"},
        {"/cut", truncated, ImageError::Code::network, "/cut"},
        {"/huge", LoopbackResponse::bytes(hugePngHeader(), "image/png"),
         ImageError::Code::decodingFailed, "pixel limit"},
    };
    for (const auto& item : cases) {
        server_.on("GET", item.path,
                   [response = item.response](const LoopbackRequest&) { return response; });
    }
    for (const auto& item : cases) {
        SCOPED_TRACE(item.path);
        const auto url = server_.url(item.path);
        const auto view = makeView();
        const auto delivery = load(*view, url);
        ASSERT_TRUE(delivery->error);
        EXPECT_EQ(delivery->error->code, item.code);
        EXPECT_NE(delivery->error->message.find(item.mentions), std::string::npos)
            << delivery->error->message;
        EXPECT_FALSE(delivery->image);
        EXPECT_EQ(view->image(), placeholder_);
        EXPECT_FALSE(cache().isCached(url));
    }
    EXPECT_EQ(manager_->downloader().activeDownloadCount(), 0u);
    EXPECT_EQ(diskSize(), 0u);
}

}  // namespace
