#pragma once
// A texture made by a TextureCache from one plane of a picture. Releasing
// the last reference hands the texture back to its cache, which deletes it
// at its next flush. Use it on the thread its context is current on.

#include <memory>

namespace media {

class TextureCache;

class GLTexture {
    struct Token {};

public:
    GLTexture(Token, std::shared_ptr<TextureCache> cache, unsigned name, unsigned target, int width,
              int height);
    ~GLTexture();
    GLTexture(const GLTexture&) = delete;
    GLTexture& operator=(const GLTexture&) = delete;

    [[nodiscard]] unsigned name() const { return name_; }
    [[nodiscard]] unsigned target() const { return target_; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }

private:
    friend class TextureCache;

    const std::shared_ptr<TextureCache> cache_;
    const unsigned name_;
    const unsigned target_;
    const int width_;
    const int height_;
};

}  // namespace media
