#include "gfx/Resampler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/Image.h"

namespace {

using gfx::Resampler;
using Pixels = std::vector<std::uint32_t>;

Pixels shrink(const Pixels& src, int width, int height, int toWidth, int toHeight) {
    Pixels out(static_cast<size_t>(toWidth) * toHeight, 0xDEADBEEF);
    Resampler::shrink(src.data(), width, height, out.data(), toWidth, toHeight);
    return out;
}

std::uint32_t channel(std::uint32_t pixel, int index) {
    return (pixel >> (8 * index)) & 0xFF;
}

TEST(ResamplerTest, AFlatColourStaysExactAtAnyFactor) {
    struct Case {
        int width, height, toWidth, toHeight;
    };
    const Case cases[] = {{7, 5, 3, 2},     {400, 600, 375, 562}, {16, 16, 1, 1},
                          {1000, 10, 3, 7}, {9, 9, 9, 4},         {750, 500, 375, 250}};
    const std::uint32_t colour = 0xC0603010;  // premultiplied, alpha 0xC0
    for (const Case& c : cases) {
        const Pixels out = shrink(Pixels(size_t(c.width) * c.height, colour), c.width, c.height,
                                  c.toWidth, c.toHeight);
        for (const std::uint32_t pixel : out)
            ASSERT_EQ(pixel, colour)
                << c.width << "x" << c.height << " -> " << c.toWidth << "x" << c.toHeight;
    }
}

TEST(ResamplerTest, EveryPixelCountsByTheShareItCovers) {
    // A checkerboard of single pixels halves to even grey.
    Pixels checker(16);
    for (int i = 0; i < 16; ++i) checker[i] = ((i / 4 + i % 4) % 2) ? 0xFFFFFFFF : 0xFF000000;
    for (const std::uint32_t pixel : shrink(checker, 4, 4, 2, 2)) {
        EXPECT_EQ(pixel, 0xFF808080u);
    }
    // One white column among 15 black ones still shows at 16 to 1: far past
    // what a sampling filter would keep.
    Pixels line(16 * 4, 0xFF000000);
    for (int y = 0; y < 4; ++y) line[size_t(y) * 16 + 5] = 0xFFFFFFFF;
    EXPECT_EQ(channel(shrink(line, 16, 4, 1, 1)[0], 0), 16u);  // 255 / 16, rounded
    // Three to two: the middle pixel is split half and half.
    const Pixels row{0xFF000000, 0xFFFFFFFF, 0xFF000000};
    const Pixels halves = shrink(row, 3, 1, 2, 1);
    EXPECT_NEAR(channel(halves[0], 1), 85, 1);
    EXPECT_NEAR(channel(halves[1], 1), 85, 1);
}

TEST(ResamplerTest, ExactHalvesAreTheRoundedMeanOfEachBlock) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{2, 2}, Case{6, 4}, Case{750, 2}, Case{2, 500}, Case{30, 18}}) {
        Pixels src(size_t(c.width) * c.height);
        std::uint32_t state = 11;
        for (auto& pixel : src) pixel = state = state * 1664525u + 1013904223u;
        const int w = c.width / 2, h = c.height / 2;
        const Pixels out = shrink(src, c.width, c.height, w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const auto at = [&](int dx, int dy, int k) {
                    return channel(src[size_t(2 * y + dy) * c.width + 2 * x + dx], k);
                };
                for (int k = 0; k < 4; ++k) {
                    const std::uint32_t mean =
                        (at(0, 0, k) + at(1, 0, k) + at(0, 1, k) + at(1, 1, k) + 2) / 4;
                    ASSERT_EQ(channel(out[size_t(y) * w + x], k), mean)
                        << c.width << "x" << c.height << " at " << x << "," << y << " channel "
                        << k;
                }
            }
        }
    }
}

TEST(ResamplerTest, PremultipliedChannelsNeverPassTheirAlpha) {
    Pixels src(64 * 64);
    std::uint32_t state = 7;
    for (auto& pixel : src) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t alpha = state >> 24;
        const std::uint32_t value = alpha * ((state >> 8) & 0xFF) / 255;
        pixel = alpha << 24 | value << 16 | (value / 2) << 8 | value / 3;
    }
    for (const std::uint32_t pixel : shrink(src, 64, 64, 13, 9)) {
        for (int c = 0; c < 3; ++c) ASSERT_LE(channel(pixel, c), channel(pixel, 3));
    }
}

TEST(ImageDecodeOptionsTest, TheCoveringSizeKeepsTheAspectAndCoversTheBox) {
    struct Case {
        int width, height;
        gfx::Size box;
        gfx::Size wanted;
        bool scales;
    };
    const Case cases[] = {
        {6000, 4000, {375, 250}, {375, 250}, true},  // the box exactly
        {4000, 6000, {375, 250}, {375, 563}, true},  // portrait: covers the width
        {6000, 4000, {250, 375}, {563, 375}, true},  // landscape in a tall box
        {400, 600, {375, 562}, {375, 563}, false},   // within the slack: left as is
        {300, 200, {375, 250}, {300, 200}, false},   // never enlarged
        {1000, 1000, {}, {1000, 1000}, false},       // no box: full size
    };
    for (const Case& c : cases) {
        gfx::ImageDecodeOptions options;
        options.coverPixelSize = c.box;
        EXPECT_EQ(options.wantedSize(c.width, c.height), c.wanted) << c.width << "x" << c.height;
        EXPECT_EQ(options.wantsScaling(c.width, c.height), c.scales) << c.width << "x" << c.height;
    }
    // An exact target wins over the box and is always met.
    gfx::ImageDecodeOptions exact;
    exact.coverPixelSize = {10, 10};
    exact.targetPixelSize = {40, 30};
    EXPECT_EQ(exact.wantedSize(400, 300), (gfx::Size{40, 30}));
    EXPECT_TRUE(exact.wantsScaling(400, 300));
}

TEST(ImageDecodeOptionsTest, AJpegDecodesAtTheSizeThatCoversTheBox) {
    gfx::Image::Pixels pixels(1600 * 1200);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | (i % 1600 < 800 ? 0xFF : 0xFF00);
    const auto bytes = gfx::Image::create(1600, 1200, std::move(pixels))->encodeJpeg(0.9);
    struct Case {
        gfx::Size box;
        int width, height;
    };
    // 1/8 scale then a shrink; 1/4 scale left as decoded; the full size.
    const Case cases[] = {{{150, 150}, 200, 150}, {{380, 285}, 400, 300}, {{}, 1600, 1200}};
    for (const Case& c : cases) {
        gfx::ImageDecodeOptions options;
        options.coverPixelSize = c.box;
        const auto image = gfx::Image::decode(bytes, nullptr, options);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), c.width);
        EXPECT_EQ(image->pixelHeight(), c.height);
        // The left half stays blue, the right half green.
        EXPECT_GT(image->pixelAt(c.width / 4, c.height / 2).blue, 0.9);
        EXPECT_GT(image->pixelAt(3 * c.width / 4, c.height / 2).green, 0.9);
    }
}

}  // namespace
