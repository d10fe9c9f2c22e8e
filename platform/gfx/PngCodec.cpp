#include "gfx/PngCodec.h"

#include <cairo.h>
#include <png.h>

#include <cstdio>
#include <cstring>

namespace gfx {

namespace {

constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Reached from libpng's callbacks, between setjmp and longjmp: plain data only.
struct ReadState {
    const std::uint8_t* data;
    size_t size;
    size_t offset;
    char message[160];
};

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    size_t rowBytes;
};

void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onRead(png_structp png, png_bytep out, size_t length) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > state->size - state->offset) png_error(png, "truncated data");
    std::memcpy(out, state->data + state->offset, length);
    state->offset += length;
}

// The two functions below hold the setjmp points. A longjmp skips
// destructors, so they keep only trivially destructible locals.
bool readHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
    const bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (hasTransparency) png_set_tRNS_to_alpha(png);
    png_set_scale_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTransparency) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool readRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void premultiply(Image::Pixels& pixels) {
    for (std::uint32_t& p : pixels) {
        const std::uint32_t a = p >> 24;
        if (a == 0xFF) continue;
        const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        p = a << 24 | mul((p >> 16) & 0xFF) << 16 | mul((p >> 8) & 0xFF) << 8 | mul(p & 0xFF);
    }
}

// Writing: screenshots and shared pictures, written often and read rarely.
// zlib's level 2 over the "up" filter alone is about four times quicker
// than its default level with libpng's adaptive filter choice, for files
// about 1.4 times larger.
constexpr int kCompressionLevel = 2;
constexpr int kFilters = PNG_FILTER_UP;

struct WriteState {
    std::vector<std::uint8_t>* out;
    char message[160];
};

void onWriteError(png_structp png, png_const_charp message) {
    auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWrite(png_structp png, png_bytep data, size_t length) {
    auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
    state->out->insert(state->out->end(), data, data + length);
}

void onFlush(png_structp) {}

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// One row of premultiplied ARGB32 as the file's bytes: RGB, or straight
// RGBA rounded as Cairo's writer does (so files written before and after
// decode to the same pixels).
void convertRow(const std::uint32_t* in, int width, bool alpha, std::uint8_t* out) {
    if (!alpha) {
        for (int x = 0; x < width; ++x, out += 3) {
            const std::uint32_t p = in[x];
            out[0] = std::uint8_t(p >> 16);
            out[1] = std::uint8_t(p >> 8);
            out[2] = std::uint8_t(p);
        }
        return;
    }
    for (int x = 0; x < width; ++x, out += 4) {
        const std::uint32_t p = in[x];
        const std::uint32_t a = p >> 24;
        if (a == 0) {
            out[0] = out[1] = out[2] = out[3] = 0;
        } else if (a == 0xFF) {
            out[0] = std::uint8_t(p >> 16);
            out[1] = std::uint8_t(p >> 8);
            out[2] = std::uint8_t(p);
            out[3] = 0xFF;
        } else {
            out[0] = std::uint8_t((((p >> 16) & 0xFF) * 255 + a / 2) / a);
            out[1] = std::uint8_t((((p >> 8) & 0xFF) * 255 + a / 2) / a);
            out[2] = std::uint8_t(((p & 0xFF) * 255 + a / 2) / a);
            out[3] = std::uint8_t(a);
        }
    }
}

// Holds the setjmp point: trivially destructible locals only.
bool writeRows(png_structp png, png_infop info, const std::uint8_t* pixels, int width,
               int height, size_t stride, bool alpha, std::uint8_t* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        convertRow(reinterpret_cast<const std::uint32_t*>(pixels + size_t(y) * stride), width,
                   alpha, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

bool opaque(const std::uint8_t* pixels, int width, int height, size_t stride) {
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(pixels + size_t(y) * stride);
        std::uint32_t all = 0xFF000000;
        for (int x = 0; x < width; ++x) all &= row[x];
        if (all != 0xFF000000) return false;
    }
    return true;
}

}  // namespace

bool PngCodec::matches(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

std::shared_ptr<const Image> PngCodec::decode(std::span<const std::uint8_t> bytes,
                                              const Image::DecodeOptions& options,
                                              std::string& error) {
    ReadState state{bytes.data(), bytes.size(), 0, {}};
    Reader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (reader.png) reader.info = png_create_info_struct(reader.png);
    if (!reader.info) {
        error = "PNG: cannot create a decoder";
        return nullptr;
    }
    png_set_read_fn(reader.png, &state, onRead);
    // Only the image and its transparency are used. libpng allocates a text,
    // palette-suggestion or calibration chunk's declared length before it
    // reads the data, so a 48-byte file could cost 2 GB: skip every
    // ancillary chunk unread but tRNS.
    png_set_keep_unknown_chunks(reader.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static constexpr png_byte kTransparency[] = "tRNS";
    png_set_keep_unknown_chunks(reader.png, PNG_HANDLE_CHUNK_AS_DEFAULT, kTransparency, 1);
    Header header{};
    if (!readHeader(reader.png, reader.info, &header)) {
        error = std::string("PNG: ") + state.message;
        return nullptr;
    }
    const int width = static_cast<int>(header.width);
    const int height = static_cast<int>(header.height);
    if (std::int64_t(header.width) * header.height > options.maxPixels) {
        error = "PNG: " + std::to_string(header.width) + "x" + std::to_string(header.height) +
                " exceeds the pixel limit";
        return nullptr;
    }
    if (width > Image::kMaxDimension || height > Image::kMaxDimension) {
        error = "PNG: too large";
        return nullptr;
    }
    if (header.rowBytes != static_cast<size_t>(width) * 4) {
        error = "PNG: unexpected row layout";
        return nullptr;
    }
    Image::Pixels pixels(static_cast<size_t>(width) * height);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows[y] = reinterpret_cast<png_bytep>(pixels.data() + static_cast<size_t>(y) * width);
    }
    if (!readRows(reader.png, reader.info, rows.data())) {
        error = std::string("PNG: ") + state.message;
        return nullptr;
    }
    premultiply(pixels);
    return Image::create(width, height, std::move(pixels), options.scale);
}

std::vector<std::uint8_t> PngCodec::encode(const Image& image) {
    return encode(reinterpret_cast<const std::uint8_t*>(image.pixels().data()),
                  image.pixelWidth(), image.pixelHeight(),
                  size_t(image.pixelWidth()) * sizeof(std::uint32_t), true);
}

std::vector<std::uint8_t> PngCodec::encode(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return {};
    return encode(cairo_image_surface_get_data(surface), cairo_image_surface_get_width(surface),
                  cairo_image_surface_get_height(surface),
                  size_t(cairo_image_surface_get_stride(surface)), format == CAIRO_FORMAT_ARGB32);
}

std::vector<std::uint8_t> PngCodec::encode(const std::uint8_t* pixels, int width, int height,
                                           size_t stride, bool hasAlpha) {
    if (!pixels || width <= 0 || height <= 0) return {};
    // An image without a translucent pixel is written without alpha.
    const bool alpha = hasAlpha && !opaque(pixels, width, height, stride);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size_t(width) * size_t(height) / 2 + 1024);
    WriteState state{&bytes, {}};
    Writer writer;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onWriteError, onWarning);
    if (writer.png) writer.info = png_create_info_struct(writer.png);
    if (!writer.info) return {};
    png_set_write_fn(writer.png, &state, onWrite, onFlush);
    std::vector<std::uint8_t> row(size_t(width) * (alpha ? 4 : 3));
    if (!writeRows(writer.png, writer.info, pixels, width, height, stride, alpha, row.data()))
        return {};
    return bytes;
}

}  // namespace gfx
