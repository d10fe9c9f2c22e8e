#include <cairo.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/Image.h"
#include "gfx/PngCodec.h"

using gfx::Image;
using gfx::PngCodec;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Decoded {
    int width = 0;
    int height = 0;
    int colorType = -1;
    Bytes rgba;  // straight, as the file holds it
};

// What any reader of the file gets: straight RGBA through libpng's own
// simplified reader, independent of our decoder's premultiplication.
Decoded read(const Bytes& file) {
    Decoded out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return out;
    out.colorType = (image.format & PNG_FORMAT_FLAG_ALPHA) ? PNG_COLOR_TYPE_RGB_ALPHA
                                                            : PNG_COLOR_TYPE_RGB;
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) return {};
    out.width = int(image.width);
    out.height = int(image.height);
    return out;
}

Bytes cairoWriter(cairo_surface_t* surface) {
    Bytes bytes;
    cairo_surface_flush(surface);
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<Bytes*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

// Premultiplied pixels of every kind: clear, opaque and translucent at
// random levels, colours never above their alpha.
Image::Pixels mixed(int width, int height, bool opaqueOnly, unsigned seed) {
    std::mt19937 random(seed);
    Image::Pixels pixels(size_t(width) * height);
    for (auto& p : pixels) {
        const std::uint32_t kind = random() % 4;
        std::uint32_t a = opaqueOnly || kind == 0 ? 0xFF : kind == 1 ? 0 : random() % 256;
        const auto c = [&] { return a == 0 ? 0u : std::uint32_t(random() % (a + 1)); };
        p = a << 24 | c() << 16 | c() << 8 | c();
    }
    return pixels;
}

}  // namespace

// Files written before (Cairo's writer) and now must read back to the very
// same bytes, translucent pixels' rounding included.
TEST(PngWriteTest, PixelsMatchCairosWriterForTranslucentImages) {
    const int width = 67;
    const int height = 41;
    const auto image = Image::create(width, height, mixed(width, height, false, 7));
    cairo_surface_t* surface = image->createSurface();
    const Decoded before = read(cairoWriter(surface));
    Image::releaseSurface(surface);
    const Decoded now = read(PngCodec::encode(*image));
    ASSERT_EQ(now.width, width);
    ASSERT_EQ(now.height, height);
    EXPECT_EQ(now.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    ASSERT_EQ(before.rgba.size(), now.rgba.size());
    EXPECT_TRUE(before.rgba == now.rgba);
}

TEST(PngWriteTest, OpaqueImagesAreWrittenWithoutAlphaAndTheSamePixels) {
    const int width = 120;
    const int height = 30;
    const auto image = Image::create(width, height, mixed(width, height, true, 11));
    cairo_surface_t* surface = image->createSurface();
    const Decoded before = read(cairoWriter(surface));
    Image::releaseSurface(surface);
    const Bytes file = PngCodec::encode(*image);
    const Decoded now = read(file);
    EXPECT_EQ(now.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_TRUE(before.rgba == now.rgba);
    // And our own reader gives back the pixels exactly.
    std::string error;
    const auto decoded = PngCodec::decode(file, {}, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_TRUE(std::equal(decoded->pixels().begin(), decoded->pixels().end(),
                           image->pixels().begin()));
}

// A surface whose rows are padded (a sub-surface's stride, say) and one
// without alpha: rows are read at the stride, the padding never shows.
TEST(PngWriteTest, PaddedRowsAndRGB24SurfacesKeepTheirPixels) {
    const int width = 33;
    const int height = 17;
    const int stride = width * 4 + 28;
    for (const cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
        SCOPED_TRACE(format == CAIRO_FORMAT_ARGB32 ? "ARGB32" : "RGB24");
        std::vector<std::uint8_t> data(size_t(stride) * height, 0xAB);
        const auto pixels = mixed(width, height, format == CAIRO_FORMAT_RGB24, 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(&data[size_t(y) * stride], &pixels[size_t(y) * width], size_t(width) * 4);
        cairo_surface_t* surface =
            cairo_image_surface_create_for_data(data.data(), format, width, height, stride);
        const Decoded before = read(cairoWriter(surface));
        const Decoded now = read(PngCodec::encode(surface));
        cairo_surface_destroy(surface);
        ASSERT_EQ(now.width, width);
        ASSERT_FALSE(now.rgba.empty());
        EXPECT_TRUE(before.rgba == now.rgba);
    }
}
