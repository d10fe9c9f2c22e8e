#include "media/GLTexture.h"

#include <utility>

#include "media/TextureCache.h"

namespace media {

GLTexture::GLTexture(Token, std::shared_ptr<TextureCache> cache, unsigned name, unsigned target,
                     int width, int height)
    : cache_(std::move(cache)), name_(name), target_(target), width_(width), height_(height) {}

GLTexture::~GLTexture() {
    cache_->release(name_);
}

}  // namespace media
