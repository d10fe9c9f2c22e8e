// make_bench_photo <file.jpg> [width height]: writes a photo-like JPEG at
// quality 85 for the image benchmarks, 6000x4000 by default: a sky, hills
// and foliage from layered value noise with fine grain, so that it carries
// the detail (and about the bytes) of a real 24-megapixel photo rather than
// the smooth shapes that compress to almost nothing.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/FileManager.h"
#include "gfx/Image.h"

namespace {

std::uint32_t hash(std::int64_t x, std::int64_t y, std::uint32_t seed) {
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ seed;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return static_cast<std::uint32_t>(h);
}

double lattice(std::int64_t x, std::int64_t y, std::uint32_t seed) {
    return (hash(x, y, seed) & 0xFFFF) / 65535.0;
}

// Smooth noise in 0...1 with features `cell` pixels apart.
double valueNoise(double x, double y, double cell, std::uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const auto x0 = static_cast<std::int64_t>(std::floor(fx));
    const auto y0 = static_cast<std::int64_t>(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double top = lattice(x0, y0, seed) * (1 - sx) + lattice(x0 + 1, y0, seed) * sx;
    const double bottom = lattice(x0, y0 + 1, seed) * (1 - sx) + lattice(x0 + 1, y0 + 1, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

double fractal(double x, double y, double cell, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += valueNoise(x, y, cell, seed + i) * weight;
        total += weight;
        weight *= 0.5;
        cell /= 2;
    }
    return sum / total;
}

std::uint32_t pack(double r, double g, double b) {
    const auto channel = [](double v) {
        return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0));
    };
    return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
}

gfx::ImagePtr drawPhoto(int width, int height) {
    gfx::Image::Pixels pixels(static_cast<size_t>(width) * height);
    const double scale = width / 6000.0;
    for (int x = 0; x < width; ++x) {
        // The skyline: hills from broad noise, about 45% down.
        const double ridge = height * (0.38 + 0.14 * fractal(x, 0, 1400 * scale, 4, 7));
        for (int y = 0; y < height; ++y) {
            const double grain = (static_cast<int>(hash(x, y, 99) & 0xFF) - 128) / 128.0 * 14;
            double r, g, b;
            if (y < ridge) {
                const double t = y / ridge;
                const double cloud = fractal(x, y, 700 * scale, 6, 11);
                const double lift = std::max(0.0, cloud - 0.45) * 260;
                r = 70 + 90 * t + lift;
                g = 120 + 70 * t + lift;
                b = 200 + 30 * t + lift * 0.8;
            } else {
                const double depth = (y - ridge) / (height - ridge);
                const double leaves = fractal(x, y, 40 * scale, 5, 23);
                const double shade = fractal(x, y, 600 * scale, 3, 31);
                r = 40 + 70 * leaves + 50 * shade * (1 - depth);
                g = 70 + 110 * leaves * (0.6 + 0.4 * shade);
                b = 30 + 40 * leaves * depth;
            }
            pixels[static_cast<size_t>(y) * width + x] = pack(r + grain, g + grain, b + grain);
        }
    }
    return gfx::Image::create(width, height, std::move(pixels));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: make_bench_photo <file.jpg> [width height]\n");
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 6000;
    const int height = argc == 4 ? std::atoi(argv[3]) : 4000;
    const auto photo = drawPhoto(width, height);
    if (!photo) {
        std::fprintf(stderr, "make_bench_photo: size out of range\n");
        return 1;
    }
    const auto jpeg = photo->encodeJpeg(0.85);
    if (jpeg.empty()) {
        std::fprintf(stderr, "make_bench_photo: JPEG encoding failed\n");
        return 1;
    }
    if (const auto written =
            core::FileManager::writeAtomically(argv[1], jpeg, core::Visibility::everyone);
        !written) {
        std::fprintf(stderr, "make_bench_photo: %s\n", written.error().c_str());
        return 1;
    }
    std::printf("make_bench_photo: %s, %dx%d, %zu bytes\n", argv[1], width, height, jpeg.size());
    return 0;
}
