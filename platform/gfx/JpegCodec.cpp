#include "gfx/JpegCodec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

#include "gfx/Resampler.h"

namespace gfx {

namespace {

struct HandleDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleDeleter>;

// A decoding thread keeps its buffer up to this size for the next image.
constexpr size_t kRetainedBufferPixels = 4u << 20;

std::string errorOf(tjhandle handle) {
    return std::string("JPEG: ") + tjGetErrorStr2(handle);
}

}  // namespace

bool JpegCodec::matches(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Size JpegCodec::decodeSize(int width, int height, Size target) {
    Size best{double(width), double(height)};
    if (target.isEmpty()) return best;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        const int w = TJSCALED(width, f);
        const int h = TJSCALED(height, f);
        if (w >= std::lround(target.width) && h >= std::lround(target.height) &&
            double(w) * h < best.width * best.height) {
            best = {double(w), double(h)};
        }
    }
    return best;
}

std::shared_ptr<const Image> JpegCodec::decode(std::span<const std::uint8_t> bytes,
                                               const Image::DecodeOptions& options,
                                               std::string& error) {
    const Handle handle(tjInitDecompress());
    if (!handle) {
        error = "JPEG: cannot create a decoder";
        return nullptr;
    }
    const unsigned char* data = bytes.data();
    const auto size = static_cast<unsigned long>(bytes.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colorspace) !=
        0) {
        error = errorOf(handle.get());
        return nullptr;
    }
    if (width <= 0 || height <= 0) {
        error = "JPEG: invalid size";
        return nullptr;
    }
    if (std::int64_t(width) * height > options.maxPixels) {
        error = "JPEG: " + std::to_string(width) + "x" + std::to_string(height) +
                " exceeds the pixel limit";
        return nullptr;
    }
    const Size wanted = options.wantedSize(width, height);
    const Size decoded = decodeSize(width, height, wanted);
    const int w = static_cast<int>(decoded.width);
    const int h = static_cast<int>(decoded.height);
    if (w > Image::kMaxDimension || h > Image::kMaxDimension) {
        error = "JPEG: too large";
        return nullptr;
    }
    const int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    const auto decompress = [&](std::uint32_t* into) {
        if (tjDecompress2(handle.get(), data, size, reinterpret_cast<unsigned char*>(into), w,
                          w * 4, h, TJPF_BGRA, flags) == 0)
            return true;
        error = errorOf(handle.get());
        return false;
    };
    const bool shrink = options.wantsScaling(w, h) && wanted.width <= w && wanted.height <= h;
    if (!shrink) {
        Image::Pixels pixels(static_cast<size_t>(w) * h);
        if (!decompress(pixels.data())) return nullptr;
        return Image::create(w, h, std::move(pixels), options.scale);
    }
    // Decoded into this thread's buffer, shrunk into the image's own pixels.
    thread_local Image::Pixels buffer;
    buffer.resize(static_cast<size_t>(w) * h);
    const bool ok = decompress(buffer.data());
    const int outWidth = static_cast<int>(wanted.width);
    const int outHeight = static_cast<int>(wanted.height);
    Image::Pixels pixels;
    if (ok) {
        pixels.resize(static_cast<size_t>(outWidth) * outHeight);
        Resampler::shrink(buffer.data(), w, h, pixels.data(), outWidth, outHeight);
    }
    if (buffer.capacity() > kRetainedBufferPixels) Image::Pixels().swap(buffer);
    if (!ok) return nullptr;
    return Image::create(outWidth, outHeight, std::move(pixels), options.scale);
}

std::vector<std::uint8_t> JpegCodec::encode(const Image& image, double quality) {
    const Handle handle(tjInitCompress());
    if (!handle) return {};
    const int q = static_cast<int>(std::clamp<long>(std::lround(quality * 100), 1, 100));
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const auto* src = reinterpret_cast<const unsigned char*>(image.pixels().data());
    const int result =
        tjCompress2(handle.get(), src, image.pixelWidth(), image.pixelWidth() * 4,
                    image.pixelHeight(), TJPF_BGRX, &out, &outSize, TJSAMP_420, q, 0);
    std::vector<std::uint8_t> bytes;
    if (result == 0) bytes.assign(out, out + outSize);
    tjFree(out);
    return bytes;
}

}  // namespace gfx
