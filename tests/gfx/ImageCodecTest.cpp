#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "GeometryPrinting.h"
#include "gfx/Image.h"
#include "gfx/JpegCodec.h"

using gfx::Color;
using gfx::Image;
using gfx::Size;
using Bytes = std::vector<std::uint8_t>;

namespace {

int byte(double component) {
    return static_cast<int>(std::lround(component * 255));
}

void expectColor(const Image& image, int x, int y, std::uint32_t rgb, int alpha, int tolerance) {
    const Color c = image.pixelAt(x, y);
    SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_NEAR(byte(c.red), int(rgb >> 16 & 0xFF), tolerance);
    EXPECT_NEAR(byte(c.green), int(rgb >> 8 & 0xFF), tolerance);
    EXPECT_NEAR(byte(c.blue), int(rgb & 0xFF), tolerance);
    EXPECT_NEAR(byte(c.alpha), alpha, tolerance);
}

// Four opaque quadrants: red, green / blue, white.
std::shared_ptr<const Image> quadrants(int width, int height) {
    Image::Pixels pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            pixels.push_back(bottom ? (right ? 0xFFFFFFFF : 0xFF0000FF)
                                    : (right ? 0xFF00FF00 : 0xFFFF0000));
        }
    }
    return Image::create(width, height, std::move(pixels));
}

void expectQuadrants(const Image& image, int tolerance) {
    const int w = image.pixelWidth();
    const int h = image.pixelHeight();
    expectColor(image, w / 4, h / 4, 0xFF0000, 255, tolerance);
    expectColor(image, 3 * w / 4, h / 4, 0x00FF00, 255, tolerance);
    expectColor(image, w / 4, 3 * h / 4, 0x0000FF, 255, tolerance);
    expectColor(image, 3 * w / 4, 3 * h / 4, 0xFFFFFF, 255, tolerance);
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    const auto be32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(std::uint8_t(v >> shift));
    };
    be32(static_cast<std::uint32_t>(data.size()));
    const size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    be32(static_cast<std::uint32_t>(crc32(0, png.data() + typeAt, uInt(data.size() + 4))));
}

// A PNG written byte by byte: `rows` are the raw scanlines without filter
// bytes; `extra` chunks (PLTE, tRNS) go before the image data.
Bytes pngFile(std::uint32_t width, std::uint32_t height, int depth, int colorType,
              const std::vector<Bytes>& rows,
              const std::vector<std::pair<const char*, Bytes>>& extra = {}) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    for (std::uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(std::uint8_t(v >> shift));
    }
    header.insert(header.end(), {std::uint8_t(depth), std::uint8_t(colorType), 0, 0, 0});
    appendChunk(png, "IHDR", header);
    for (const auto& [type, data] : extra) appendChunk(png, type, data);
    Bytes raw;
    for (const Bytes& row : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes compressed(size);
    compress(compressed.data(), &size, raw.data(), uLong(raw.size()));
    compressed.resize(size);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}

std::shared_ptr<const Image> decode(const Bytes& bytes, std::string* error = nullptr) {
    return Image::decode(bytes, error);
}

TEST(ImageCodecTest, JpegRoundTripKeepsSizeAndColours) {
    const auto original = quadrants(64, 48);
    const Bytes jpeg = original->encodeJpeg(0.9);
    ASSERT_FALSE(jpeg.empty());
    std::string error;
    const auto decoded = decode(jpeg, &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->pixelWidth(), 64);
    EXPECT_EQ(decoded->pixelHeight(), 48);
    expectQuadrants(*decoded, 12);
}

TEST(ImageCodecTest, LowerJpegQualityGivesSmallerFiles) {
    const auto busy = quadrants(80, 60)->blurred(3);
    EXPECT_LT(busy->encodeJpeg(0.1).size(), busy->encodeJpeg(1).size());
}

TEST(ImageCodecTest, PngRoundTripKeepsTranslucentPixels) {
    const Image::Pixels pixels = {0xFFFF0000, 0x80400000, 0x00000000, 0x40004020};
    const auto original = Image::create(2, 2, pixels, 2);
    const auto decoded = decode(original->encodePng());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelWidth(), 2);
    EXPECT_EQ(decoded->scale(), 1);
    for (int i = 0; i < 4; ++i) {
        const Color a = original->pixelAt(i % 2, i / 2);
        const Color b = decoded->pixelAt(i % 2, i / 2);
        EXPECT_NEAR(byte(a.red), byte(b.red), 1) << i;
        EXPECT_NEAR(byte(a.green), byte(b.green), 1) << i;
        EXPECT_NEAR(byte(a.blue), byte(b.blue), 1) << i;
        EXPECT_EQ(byte(a.alpha), byte(b.alpha)) << i;
    }
}

TEST(ImageCodecTest, PngColourTypesAndDepthsBecomePremultipliedArgb) {
    // 1-bit grey: alternating white and black.
    const auto grey = decode(pngFile(8, 1, 1, 0, {{0b10100000}}));
    ASSERT_TRUE(grey);
    expectColor(*grey, 0, 0, 0xFFFFFF, 255, 0);
    expectColor(*grey, 1, 0, 0x000000, 255, 0);

    // Palette with transparency: half-transparent red, opaque green.
    const auto palette = decode(
        pngFile(2, 1, 8, 3, {{0, 1}}, {{"PLTE", {255, 0, 0, 0, 255, 0}}, {"tRNS", {0x80, 0xFF}}}));
    ASSERT_TRUE(palette);
    expectColor(*palette, 0, 0, 0xFF0000, 0x80, 1);
    EXPECT_EQ(palette->pixels()[0], 0x80800000u);
    expectColor(*palette, 1, 0, 0x00FF00, 255, 0);

    // 16-bit RGBA scales to 8 bits.
    const auto deep = decode(pngFile(1, 1, 16, 6, {{0xFF, 0xFF, 0, 0, 0x80, 0x00, 0xFF, 0xFF}}));
    ASSERT_TRUE(deep);
    expectColor(*deep, 0, 0, 0xFF0080, 255, 0);

    // Grey with alpha, and RGB without.
    const auto greyAlpha = decode(pngFile(2, 1, 8, 4, {{0xFF, 0x00, 0x40, 0xFF}}));
    ASSERT_TRUE(greyAlpha);
    EXPECT_EQ(greyAlpha->pixels()[0], 0u);
    expectColor(*greyAlpha, 1, 0, 0x404040, 255, 0);
    const auto rgb = decode(pngFile(1, 1, 8, 2, {{1, 2, 3}}));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixels()[0], 0xFF010203u);
}

TEST(ImageCodecTest, DecodeKeepsTheRequestedScale) {
    Image::DecodeOptions options;
    options.scale = 3;
    const auto image = Image::decode(quadrants(30, 30)->encodePng(), nullptr, options);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->size(), (Size{10, 10}));
}

TEST(ImageCodecTest, NonImagesAreRefusedWithAMessage) {
    for (const std::string& text :
         {std::string(), std::string("hello"), std::string("GIF89a\x01\x00\x01\x00"),
          std::string("\xFF\xD8")}) {
        std::string error;
        EXPECT_FALSE(decode(Bytes(text.begin(), text.end()), &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

// Peak resident memory of the process, in megabytes.
long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A chunk that declares 2 GiB - 1 of data and ends after a few bytes: the
// decoder must fail without allocating what the length claims, wherever the
// chunk sits. Text chunks are never used; a valid one is skipped.
TEST(ImageCodecTest, PngChunkLengthsCostNoMemoryBeyondTheInput) {
    const Bytes image = pngFile(2, 1, 8, 2, {{1, 2, 3, 4, 5, 6}});
    const size_t iend = image.size() - 12;
    const Bytes bomb = {0x7F, 0xFF, 0xFF, 0xFF};
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL"}) {
        for (const bool afterImageData : {false, true}) {
            // Before the image data: right after IHDR; after it: before IEND.
            Bytes png(image.begin(), image.begin() + (afterImageData ? long(iend) : 33));
            png.insert(png.end(), bomb.begin(), bomb.end());
            png.insert(png.end(), type, type + 4);
            png.insert(png.end(), {'k', 0, 'v', 0, 0, 0, 0});
            const long before = peakMegabytes();
            std::string error;
            EXPECT_FALSE(decode(png, &error)) << type;
            EXPECT_LT(peakMegabytes() - before, 64)
                << type << " after image data " << afterImageData;
        }
    }
    Bytes texted(image.begin(), image.begin() + 33);
    appendChunk(texted, "tEXt", {'k', 0, 'v'});
    texted.insert(texted.end(), image.begin() + 33, image.end());
    const auto decoded = decode(texted);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels()[1], 0xFF040506u);
}

TEST(ImageCodecTest, EveryTruncationIsAnErrorNotACrash) {
    for (const Bytes& full : {quadrants(40, 30)->encodeJpeg(0.8), quadrants(40, 30)->encodePng()}) {
        for (size_t length = 0; length < full.size(); length += 3) {
            std::string error;
            const auto image = decode(Bytes(full.begin(), full.begin() + length), &error);
            EXPECT_FALSE(image) << "prefix of " << length << " of " << full.size();
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(ImageCodecTest, CorruptDataIsAnError) {
    Bytes png = quadrants(40, 30)->encodePng();
    png[png.size() - 20] ^= 0x5A;  // inside the image data: its checksum fails
    std::string error;
    EXPECT_FALSE(decode(png, &error));
    EXPECT_NE(error.find("PNG"), std::string::npos);

    Bytes jpeg = quadrants(40, 30)->encodeJpeg(0.8);
    for (size_t i = 20; i < jpeg.size() - 2; ++i) jpeg[i] = 0xFF;
    error.clear();
    EXPECT_FALSE(decode(jpeg, &error));
    EXPECT_NE(error.find("JPEG"), std::string::npos);
}

TEST(ImageCodecTest, PixelLimitRefusesFromTheHeader) {
    // Ten thousand squared, with one row of data: the header alone decides.
    std::string error;
    EXPECT_FALSE(decode(pngFile(10000, 10000, 8, 2, {Bytes(30000, 0)}), &error));
    EXPECT_NE(error.find("pixel limit"), std::string::npos) << error;

    Bytes jpeg = quadrants(16, 16)->encodeJpeg(0.8);
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header
            jpeg[i + 5] = 10000 >> 8, jpeg[i + 6] = 10000 & 0xFF;
            jpeg[i + 7] = 10000 >> 8, jpeg[i + 8] = 10000 & 0xFF;
            break;
        }
    }
    error.clear();
    EXPECT_FALSE(decode(jpeg, &error));
    EXPECT_NE(error.find("10000x10000 exceeds the pixel limit"), std::string::npos) << error;

    Image::DecodeOptions options;
    options.maxPixels = 99;
    const Bytes small = quadrants(10, 10)->encodePng();
    EXPECT_FALSE(Image::decode(small, &error, options));
    options.maxPixels = 100;
    EXPECT_TRUE(Image::decode(small, &error, options));
}

TEST(ImageCodecTest, JpegDecodeSizeIsTheSmallestScalingFactorCoveringTheTarget) {
    using gfx::JpegCodec;
    EXPECT_EQ(JpegCodec::decodeSize(4000, 3000, {500, 375}), (Size{500, 375}));     // 1/8
    EXPECT_EQ(JpegCodec::decodeSize(4000, 3000, {501, 375}), (Size{1000, 750}));    // 1/4
    EXPECT_EQ(JpegCodec::decodeSize(4000, 3000, {1200, 100}), (Size{1500, 1125}));  // 3/8
    EXPECT_EQ(JpegCodec::decodeSize(4000, 3000, {3900, 10}), (Size{4000, 3000}));
    // libjpeg rounds scaled sides up.
    EXPECT_EQ(JpegCodec::decodeSize(1001, 750, {126, 94}), (Size{126, 94}));
    // Never larger than the image, and the full size without a target.
    EXPECT_EQ(JpegCodec::decodeSize(100, 80, {400, 300}), (Size{100, 80}));
    EXPECT_EQ(JpegCodec::decodeSize(100, 80, {}), (Size{100, 80}));
}

TEST(ImageCodecTest, TargetSizeDecodeGivesExactlyThatSize) {
    Image::DecodeOptions options;
    options.targetPixelSize = {40, 30};
    for (const Bytes& bytes :
         {quadrants(256, 192)->encodeJpeg(0.9), quadrants(256, 192)->encodePng()}) {
        std::string error;
        const auto image = Image::decode(bytes, &error, options);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->pixelWidth(), 40);
        EXPECT_EQ(image->pixelHeight(), 30);
        expectQuadrants(*image, 16);
    }
}

}  // namespace
