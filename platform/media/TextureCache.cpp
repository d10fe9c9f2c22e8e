#include "media/TextureCache.h"

#include <GLES3/gl3.h>

#include <cstdio>
#include <utility>

#include "media/GLContext.h"
#include "media/GLError.h"

namespace media {

namespace {

int bytesPerTexel(unsigned format) {
    switch (format) {
    case GL_RED:
    case GL_ALPHA:
    case GL_LUMINANCE:
        return 1;
    case GL_RG:
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
        return 3;
    case GL_RGBA:
        return 4;
    default:
        return 0;
    }
}

std::string describe(const TexturePlane& plane, unsigned format) {
    char text[96];
    std::snprintf(text, sizeof text, "a %dx%d plane of format 0x%X", plane.width, plane.height,
                  format);
    return text;
}

// Why the plane cannot be uploaded as format; empty when it can.
std::string planeProblem(const TexturePlane& plane, unsigned format) {
    const int texel = bytesPerTexel(format);
    if (texel == 0) return "unsupported texture format in " + describe(plane, format);
    if (!plane.bytes || plane.width <= 0 || plane.height <= 0) {
        return "no pixels in " + describe(plane, format);
    }
    if (plane.bytesPerRow < plane.width * texel || plane.bytesPerRow % texel != 0) {
        return std::to_string(plane.bytesPerRow) + " bytes per row do not fit " +
               describe(plane, format);
    }
    return {};
}

}  // namespace

std::shared_ptr<TextureCache> TextureCache::create(std::shared_ptr<GLContext> context,
                                                   std::string* error) {
    if (!context) {
        if (error) *error = "no GL context for the texture cache";
        return nullptr;
    }
    return std::make_shared<TextureCache>(Token{}, std::move(context));
}

TextureCache::TextureCache(Token, std::shared_ptr<GLContext> context)
    : context_(std::move(context)) {}

TextureCache::~TextureCache() {
    // Elsewhere the names stay with the context, which frees them when it goes.
    if (context_->isCurrent()) flush();
}

void TextureCache::release(unsigned name) {
    std::lock_guard lock(mutex_);
    released_.push_back(name);
}

void TextureCache::flush() {
    std::vector<unsigned> names;
    {
        std::lock_guard lock(mutex_);
        if (released_.empty() || !context_->isCurrent()) return;
        names.swap(released_);
    }
    glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

std::shared_ptr<GLTexture> TextureCache::createTexture(const TexturePlane& plane, unsigned format,
                                                       std::string* error) {
    auto fail = [error](std::string message) -> std::shared_ptr<GLTexture> {
        if (error) *error = std::move(message);
        return nullptr;
    };
    if (auto problem = planeProblem(plane, format); !problem.empty()) return fail(problem);
    if (!context_->isCurrent()) return fail("the texture cache's GL context is not current");
    flush();
    (void)takeGLErrors({});  // earlier calls' errors are not this upload's

    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, plane.bytesPerRow / bytesPerTexel(format));
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), plane.width, plane.height, 0, format,
                 GL_UNSIGNED_BYTE, plane.bytes);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (auto failure = takeGLErrors("glTexImage2D of " + describe(plane, format));
        !failure.empty()) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &name);
        return fail(failure);
    }
    return std::make_shared<GLTexture>(GLTexture::Token{}, shared_from_this(), name, GL_TEXTURE_2D,
                                       plane.width, plane.height);
}

}  // namespace media
