#pragma once
// Helpers for the image library tests: generated image bytes, a recorder for
// completions, and a fixture with a loopback server and a manager whose disk
// cache lives in a folder of its own under the test home.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "gfx/Color.h"
#include "gfx/Image.h"
#include "support/TestEnvironment.h"
#include "ui/ImageManager.h"

namespace imagetest {

inline constexpr double kNetworkLimit = 10.0;

[[nodiscard]] inline bool waitUntil(const std::function<bool()>& predicate,
                                    double limit = kNetworkLimit) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

[[nodiscard]] inline gfx::ImagePtr solidImage(gfx::Color color, int side = 8) {
    return gfx::Image::create(side, side,
                              gfx::Image::Pixels(size_t(side) * side, color.premultipliedARGB()));
}

[[nodiscard]] inline std::string toString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

[[nodiscard]] inline std::string pngOf(gfx::Color color, int side = 8) {
    return toString(solidImage(color, side)->encodePng());
}

// Pixels that do not compress, so that the PNG is about 4 * side * side bytes.
[[nodiscard]] inline std::string noisyPng(int side, std::uint32_t seed = 12345) {
    gfx::Image::Pixels pixels;
    std::uint32_t state = seed;
    for (int i = 0; i < side * side; ++i) {
        state = state * 1664525u + 1013904223u;
        pixels.push_back(0xFF000000u | (state >> 8));
    }
    return toString(gfx::Image::create(side, side, std::move(pixels))->encodePng());
}

// Blocks server handlers until released (or for at most ten seconds).
class Latch {
public:
    void release() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

struct Delivery {
    int calls = 0;
    bool onMainThread = true;
    gfx::ImagePtr image;
    std::optional<ui::ImageError> error;
    ui::CacheType cacheType = ui::CacheType::none;
    std::optional<core::URL> url;

    [[nodiscard]] bool done() const { return calls > 0; }
    [[nodiscard]] std::optional<ui::ImageError::Code> code() const {
        return error ? std::optional(error->code) : std::nullopt;
    }
};

[[nodiscard]] inline ui::ImageCompletionHandler recorder(
    const std::shared_ptr<Delivery>& delivery) {
    return [delivery](gfx::ImagePtr image, std::optional<ui::ImageError> error,
                      ui::CacheType cacheType, std::optional<core::URL> url) {
        ++delivery->calls;
        delivery->onMainThread = delivery->onMainThread && core::RunLoop::isMainThread();
        delivery->image = std::move(image);
        delivery->error = std::move(error);
        delivery->cacheType = cacheType;
        delivery->url = std::move(url);
    };
}

class ImageLibraryFixture : public testing::Test {
protected:
    ImageLibraryFixture()
        : folder_(testsupport::testHome() + "/image-cache-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name()),
          manager_(std::make_shared<ui::ImageManager>(ui::ImageCache::create(folder_))) {
        (void)core::FileManager::removeItem(folder_);
    }

    // Serves a PNG of one colour at path.
    core::URL servePng(const std::string& path, gfx::Color color, int side = 8) {
        const std::string body = pngOf(color, side);
        server_.on("GET", path, [body](const fixtures::LoopbackRequest&) {
            return fixtures::LoopbackResponse::bytes(body, "image/png");
        });
        return server_.url(path);
    }

    [[nodiscard]] ui::ImageOptions options() const {
        ui::ImageOptions options;
        options.manager = manager_;
        return options;
    }

    [[nodiscard]] ui::ImageCache& cache() const { return manager_->cache(); }

    // Retrieves through the manager and waits for the completion.
    std::shared_ptr<Delivery> retrieve(const core::URL& url, ui::ImageOptions options = {}) {
        auto delivery = std::make_shared<Delivery>();
        (void)manager_->retrieveImage(url, options, {}, recorder(delivery));
        EXPECT_TRUE(waitUntil([&] { return delivery->done(); })) << url.absoluteString();
        return delivery;
    }

    // Waits until the disk work queued before has run; answers the disk size.
    std::uint64_t diskSize() {
        std::optional<std::uint64_t> size;
        cache().calculateDiskCacheSize([&](std::uint64_t bytes) { size = bytes; });
        EXPECT_TRUE(waitUntil([&] { return size.has_value(); }));
        return size.value_or(0);
    }

    [[nodiscard]] std::vector<std::string> cacheFiles() const {
        auto names = core::FileManager::contentsOfDirectory(folder_);
        return names ? names.value() : std::vector<std::string>{};
    }

    [[nodiscard]] size_t requestsTo(const std::string& path) const {
        return server_.requestsTo(path).size();
    }

    fixtures::LoopbackServer server_;
    const std::string folder_;
    std::shared_ptr<ui::ImageManager> manager_;
};

}  // namespace imagetest
