#include "media/PixelBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "gfx/Image.h"
#include "media/ItemTimebase.h"
#include "media/VideoOutput.h"
#include "support/ManualClockScope.h"

namespace {

using media::ColorMatrix;
using media::PixelBuffer;
using RGB = std::array<std::uint8_t, 3>;

int distance(RGB a, RGB b) {
    int most = 0;
    for (int index = 0; index < 3; ++index) most = std::max(most, std::abs(a[index] - b[index]));
    return most;
}

TEST(PixelBufferTest, ConvertsBetweenRGBAndVideoRangeYCbCrByItsMatrix) {
    struct Case {
        RGB rgb;
        ColorMatrix matrix;
        std::array<std::uint8_t, 3> yCbCr;
    };
    // Reference values of the two standards, video range.
    const Case cases[] = {
        {{255, 0, 0}, ColorMatrix::itu709, {63, 102, 240}},
        {{255, 0, 0}, ColorMatrix::itu601, {81, 90, 240}},
        {{0, 255, 0}, ColorMatrix::itu709, {173, 42, 26}},
        {{0, 255, 0}, ColorMatrix::itu601, {145, 54, 34}},
        {{255, 255, 255}, ColorMatrix::itu709, {235, 128, 128}},
        {{0, 0, 0}, ColorMatrix::untagged, {16, 128, 128}},
    };
    for (const auto& c : cases) {
        const auto yCbCr = PixelBuffer::toYCbCr(c.rgb, c.matrix);
        EXPECT_LE(distance(yCbCr, c.yCbCr), 1)
            << int(c.rgb[0]) << "," << int(c.rgb[1]) << "," << int(c.rgb[2]);
        EXPECT_LE(distance(PixelBuffer::toRGB(yCbCr, c.matrix), c.rgb), 2);
    }
    // The wrong matrix shows a saturated colour visibly off.
    const auto red709 = PixelBuffer::toYCbCr({255, 0, 0}, ColorMatrix::itu709);
    EXPECT_GT(distance(PixelBuffer::toRGB(red709, ColorMatrix::itu601), {255, 0, 0}), 20);
    EXPECT_EQ(PixelBuffer::toRGB(red709, ColorMatrix::untagged),
              PixelBuffer::toRGB(red709, ColorMatrix::itu601));
}

TEST(PixelBufferTest, OddSizesRoundTheChromaPlaneUpAndRowsAreAligned) {
    const auto buffer = PixelBuffer::filled(161, 91, {0, 0, 255}, ColorMatrix::itu601);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->chromaWidth(), 81);
    EXPECT_EQ(buffer->chromaHeight(), 46);
    EXPECT_EQ(buffer->bytesPerRow(0) % PixelBuffer::kRowAlignment, 0u);
    EXPECT_GE(buffer->bytesPerRow(1), 162u);
    EXPECT_LE(distance(buffer->rgbAt(160, 90), {0, 0, 255}), 2);
    EXPECT_EQ(buffer->yCbCrAt(500, -3), buffer->yCbCrAt(160, 0));
    EXPECT_EQ(PixelBuffer::create(0, 10, ColorMatrix::untagged), nullptr);
    EXPECT_EQ(PixelBuffer::create(100000, 10, ColorMatrix::untagged), nullptr);
    EXPECT_EQ(PixelBuffer::create(2, 2, ColorMatrix::untagged)->yCbCrAt(1, 1),
              (std::array<std::uint8_t, 3>{16, 128, 128}));
}

TEST(PixelBufferTest, AnImageOfTheFrameHasEveryPixelAsRGBAtConvertsIt) {
    for (const ColorMatrix matrix : {ColorMatrix::untagged, ColorMatrix::itu601, ColorMatrix::itu709}) {
        SCOPED_TRACE(static_cast<int>(matrix));
        // Odd sides, and a different colour in each 2x2 block and row.
        const auto buffer = PixelBuffer::create(7, 5, matrix);
        ASSERT_TRUE(buffer);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 7; ++x)
                buffer->mutableBaseAddress(0)[y * buffer->bytesPerRow(0) + x] =
                    static_cast<std::uint8_t>(16 + 30 * x + 7 * y);
        }
        for (int y = 0; y < buffer->chromaHeight(); ++y) {
            for (int x = 0; x < buffer->chromaWidth(); ++x) {
                std::uint8_t* pair = buffer->mutableBaseAddress(1) + y * buffer->bytesPerRow(1) + 2 * x;
                pair[0] = static_cast<std::uint8_t>(40 + 50 * x);
                pair[1] = static_cast<std::uint8_t>(220 - 60 * y);
            }
        }
        const auto image = buffer->toImage(2);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), 7);
        EXPECT_EQ(image->pixelHeight(), 5);
        EXPECT_EQ(image->scale(), 2);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 7; ++x) {
                const gfx::Color color = image->pixelAt(x, y);
                const RGB drawn = {static_cast<std::uint8_t>(std::lround(color.red * 255)),
                                   static_cast<std::uint8_t>(std::lround(color.green * 255)),
                                   static_cast<std::uint8_t>(std::lround(color.blue * 255))};
                EXPECT_LE(distance(drawn, buffer->rgbAt(x, y)), 1) << x << "," << y;
                EXPECT_EQ(color.alpha, 1);
            }
        }
    }
}

TEST(VideoOutputTest, HandsOutTheNewestDueFrameOnceAndDropsOlderOnes) {
    testsupport::ManualClockScope clock;
    auto timebase = std::make_shared<media::ItemTimebase>();
    auto output = media::VideoOutput::create();
    const auto frame = [](std::uint8_t shade) {
        return PixelBuffer::filled(2, 2, {shade, shade, shade}, ColorMatrix::untagged);
    };
    output->push(frame(1), 0);
    EXPECT_FALSE(output->hasNewPixelBufferForItemTime(media::Time::zero()));  // not on an item
    output->attach(timebase);
    for (int index = 0; index < 4; ++index)
        output->push(frame(static_cast<std::uint8_t>(10 * index)), 0.1 * index);

    media::Time shown;
    auto due = output->copyPixelBufferForItemTime(media::Time::seconds(0.25), &shown);
    ASSERT_NE(due, nullptr);
    EXPECT_NEAR(shown.toSeconds(), 0.2, 1e-9);
    EXPECT_EQ(due->rgbAt(0, 0),
              PixelBuffer::toRGB(frame(20)->yCbCrAt(0, 0), ColorMatrix::untagged));
    EXPECT_EQ(output->copyPixelBufferForItemTime(media::Time::seconds(0.25)), nullptr);
    EXPECT_TRUE(output->hasNewPixelBufferForItemTime(media::Time::seconds(0.35)));

    // A frame before the newest queued starts over (a seek); the queue is bounded.
    output->push(frame(99), 0.05);
    EXPECT_FALSE(output->hasNewPixelBufferForItemTime(media::Time::seconds(0.04)));
    for (int index = 0; index < 20; ++index) output->push(frame(1), 1 + index);
    EXPECT_NE(output->copyPixelBufferForItemTime(media::Time::seconds(100), &shown), nullptr);
    EXPECT_DOUBLE_EQ(shown.toSeconds(), 20);

    timebase->set(2, 1, 3);
    const double now = clock->monotonicSeconds();
    EXPECT_NEAR(output->itemTimeForHostTime(now + 0.5).toSeconds(), 2.5, 1e-9);
    EXPECT_NEAR(output->itemTimeForHostTime(now + 5).toSeconds(), 3, 1e-9);
}

}  // namespace
