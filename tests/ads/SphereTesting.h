#pragma once
// Shared by the 360-degree video tests: a synthetic equirectangular NV12
// frame, the colours the spherical program gives for a pixel's Y, U and V,
// and the device attitude that makes the view matrix the identity.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "gfx/Color.h"
#include "media/MotionManager.h"
#include "media/PixelBuffer.h"

namespace spheretesting {

using YUV = std::array<std::uint8_t, 3>;
using RGB = std::array<int, 3>;

// Eight longitude bands centred on u = 0, 1/8, ... 7/8, a sky above
// v = 0.25 and a ground below v = 0.75.
constexpr YUV kBands[8] = {{60, 100, 160},  {90, 160, 100},  {120, 90, 90},  {150, 170, 140},
                           {100, 140, 180}, {170, 110, 130}, {80, 180, 120}, {130, 120, 70}};
constexpr YUV kSky = {200, 150, 110};
constexpr YUV kGround = {40, 110, 150};

inline YUV sceneAt(int x, int y, int width, int height) {
    if (y < height / 4) return kSky;
    if (y >= height * 3 / 4) return kGround;
    const int bandWidth = width / 8;
    return kBands[((x + bandWidth / 2) / bandWidth) % 8];
}

inline std::shared_ptr<media::PixelBuffer> scene(media::ColorMatrix matrix, int width = 256,
                                                 int height = 128) {
    auto buffer = media::PixelBuffer::create(width, height, matrix);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const YUV yuv = sceneAt(x, y, width, height);
            buffer->mutableBaseAddress(0)[y * buffer->bytesPerRow(0) + x] = yuv[0];
            if (x % 2 == 0 && y % 2 == 0) {
                std::uint8_t* pair =
                    buffer->mutableBaseAddress(1) + (y / 2) * buffer->bytesPerRow(1) + x;
                pair[0] = yuv[1];
                pair[1] = yuv[2];
            }
        }
    }
    return buffer;
}

// The Y, U and V a frame holds at a pixel.
inline YUV yuvAt(const media::PixelBuffer& buffer, int x, int y) {
    const std::uint8_t* pair = buffer.baseAddress(1) + (y / 2) * buffer.bytesPerRow(1) + (x / 2) * 2;
    return {buffer.baseAddress(0)[y * buffer.bytesPerRow(0) + x], pair[0], pair[1]};
}

// The colour the program gives: the frame's matrix applied to the luma as
// it is and to the chroma less one half.
inline RGB expectedRGB(YUV yuv, media::ColorMatrix matrix) {
    const double y = yuv[0] / 255.0;
    const double u = yuv[1] / 255.0 - 0.5;
    const double v = yuv[2] / 255.0 - 0.5;
    const bool bt601 = matrix == media::ColorMatrix::itu601;
    const double rgb[3] = {1.164 * y + (bt601 ? 1.596 : 1.793) * v,
                           1.164 * y - (bt601 ? 0.392 : 0.213) * u - (bt601 ? 0.813 : 0.533) * v,
                           1.164 * y + (bt601 ? 2.017 : 2.112) * u};
    RGB out{};
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<int>(std::lround(std::clamp(rgb[i], 0.0, 1.0) * 255));
    return out;
}

inline RGB rgbOf(gfx::Color colour) {
    return {int(std::lround(colour.red * 255)), int(std::lround(colour.green * 255)),
            int(std::lround(colour.blue * 255))};
}

inline void expectColour(RGB actual, RGB expected, const std::string& where) {
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 3) << where << " channel " << i;
}

inline bool nearColour(RGB actual, RGB expected) {
    for (size_t i = 0; i < 3; ++i)
        if (std::abs(actual[i] - expected[i]) > 3) return false;
    return true;
}

// The device turned -90 degrees about x: with it the view matrix starts as
// the identity, looking at u = 0.5 on the horizon.
constexpr media::RotationMatrix kUpright{1, 0, 0, 0, 0, 1, 0, -1, 0};

}  // namespace spheretesting
