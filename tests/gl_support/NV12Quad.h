#pragma once
// Test support for the GL pipeline: an NV12 frame in memory
// and a small program that draws one over the whole viewport (a textured
// quad converting video-range BT.601 YUV to RGB). The SDK brings its own
// programs; this one proves the platform's pieces end to end. Use it where
// a GL context is current.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/GLTexture.h"
#include "media/TextureCache.h"

namespace testsupport {

using YUV = std::array<std::uint8_t, 3>;

// Luma rows, then interleaved chroma rows at half size (rounded up), each
// row `padding` bytes longer than its pixels.
struct NV12Frame {
    int width = 0;
    int height = 0;
    int lumaBytesPerRow = 0;
    int chromaBytesPerRow = 0;
    std::vector<std::uint8_t> luma;
    std::vector<std::uint8_t> chroma;

    // Chroma comes from the top-left pixel of each 2x2 block.
    [[nodiscard]] static NV12Frame make(int width, int height, int padding,
                                        const std::function<YUV(int x, int y)>& colourAt);
    [[nodiscard]] int chromaWidth() const { return (width + 1) / 2; }
    [[nodiscard]] int chromaHeight() const { return (height + 1) / 2; }
    [[nodiscard]] media::TexturePlane lumaPlane() const;
    [[nodiscard]] media::TexturePlane chromaPlane() const;
};

class NV12Quad {
public:
    // nullptr with the compiler's or linker's message.
    [[nodiscard]] static std::unique_ptr<NV12Quad> create(std::string* error);
    ~NV12Quad();
    NV12Quad(const NV12Quad&) = delete;
    NV12Quad& operator=(const NV12Quad&) = delete;

    // Makes the frame's two textures (GL_RED luma on unit 0, GL_RG chroma on
    // unit 1); false with the cache's error, keeping the previous textures.
    [[nodiscard]] bool upload(media::TextureCache& cache, const NV12Frame& frame,
                              std::string* error);
    // Draws the current textures over the viewport.
    void draw() const;

    // The 8-bit colour the program gives a YUV triple.
    [[nodiscard]] static std::array<int, 3> expectedRGB(YUV yuv);

private:
    NV12Quad() = default;

    unsigned program_ = 0;
    unsigned vertexBuffer_ = 0;
    std::shared_ptr<media::GLTexture> luma_;
    std::shared_ptr<media::GLTexture> chroma_;
};

}  // namespace testsupport
