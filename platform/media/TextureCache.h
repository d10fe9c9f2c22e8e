#pragma once
// Makes GL textures from the planes of decoded video frames (an NV12
// frame's luma plane as GL_RED, its chroma plane as GL_RG) for one context:
// one glTexImage2D per plane, rows read one byte aligned and bytesPerRow
// apart, linear filters, clamped to the edges. A texture that GL refuses is
// deleted again and the error returned. Textures handed back (GLTexture's
// release) are deleted at the next flush() or texture creation.
//
// Use it on a thread where its context is current; the cache checks.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/GLTexture.h"

namespace media {

class GLContext;

// One plane of a picture: height rows of width texels, bytesPerRow apart.
struct TexturePlane {
    const std::uint8_t* bytes = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
};

class TextureCache : public std::enable_shared_from_this<TextureCache> {
    struct Token {};

public:
    // nullptr with the reason when there is no context.
    [[nodiscard]] static std::shared_ptr<TextureCache> create(std::shared_ptr<GLContext> context,
                                                              std::string* error = nullptr);

    TextureCache(Token, std::shared_ptr<GLContext> context);
    ~TextureCache();
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // A GL_TEXTURE_2D of the plane's size from its unsigned bytes, with
    // `format` as internal and external format (GL_RED, GL_RG, GL_RGBA...),
    // left bound to the active texture unit; nullptr with the error when the
    // plane does not fit the format, the context is not current, or GL
    // reports an error.
    [[nodiscard]] std::shared_ptr<GLTexture>
    createTexture(const TexturePlane& plane, unsigned format, std::string* error = nullptr);
    // Deletes the textures handed back since the last flush.
    void flush();

    [[nodiscard]] const std::shared_ptr<GLContext>& context() const { return context_; }

private:
    friend class GLTexture;

    void release(unsigned name);

    const std::shared_ptr<GLContext> context_;
    std::mutex mutex_;
    std::vector<unsigned> released_;
};

}  // namespace media
